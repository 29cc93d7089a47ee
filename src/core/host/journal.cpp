#include "core/host/journal.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <nettle/aes.h>
#include <nettle/ctr.h>
#include <nettle/hmac.h>
#include <nettle/memops.h>
#include <nettle/pbkdf2.h>
#include <nettle/sha2.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "core/host/spreadsheet_host.h"

namespace gp::host {

namespace {

constexpr char kMagic[8] = {'G', 'P', 'J', 'O', 'U', 'R', 'N', '1'};
constexpr uint32_t kIterations = 20000;
constexpr int kHeaderSize = 8 + 16 + 4 + 16 + 32 + 32;
constexpr uint32_t kMaxRecord = 64u * 1024 * 1024;

void putU32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t getU32(const char* p)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(p[i]);
    return v;
}

std::array<uint8_t, 32> hmac(const std::array<uint8_t, 32>& key, const QByteArray& data)
{
    hmac_sha256_ctx ctx;
    hmac_sha256_set_key(&ctx, key.size(), key.data());
    hmac_sha256_update(&ctx, static_cast<size_t>(data.size()), reinterpret_cast<const uint8_t*>(data.constData()));
    std::array<uint8_t, 32> out{};
    hmac_sha256_digest(&ctx, out.size(), out.data());
    return out;
}

template <size_t N> void randomFill(std::array<uint8_t, N>& a)
{
    QRandomGenerator* g = QRandomGenerator::system();
    for (auto& b : a)
        b = static_cast<uint8_t>(g->bounded(256));
}

void syncFolderOf(const QString& path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeAll(int fd, const char* data, qint64 size, qint64 at)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(size), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
        at += n;
    }
    return true;
}

[[noreturn]] void commitFailed(const QString& workbookPath, int err)
{
    const QString why = err == ENOSPC || err == EDQUOT ? QStringLiteral("il disco è pieno")
                                                       : QStringLiteral("il disco non è scrivibile");
    throw HostError(QStringLiteral("Impossibile registrare su disco le ultime modifiche di %1: %2. "
                                   "Le modifiche sono ancora in memoria: liberare spazio e uscire con \"Esci\" "
                                   "per salvarle.")
                        .arg(QFileInfo(workbookPath).fileName(), why));
}

} // namespace

Journal::Journal(const QString& workbookPath, std::string password)
    : workbookPath_(workbookPath), path_(pathFor(workbookPath)), password_(std::move(password))
{}

Journal::~Journal()
{
    closeFile();
    master_.fill(0);
    encKey_.fill(0);
    macKey_.fill(0);
}

QString Journal::pathFor(const QString& workbookPath)
{
    const QFileInfo fi(workbookPath);
    return fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".journal");
}

bool Journal::deriveKeys(const std::array<uint8_t, 16>& salt, uint32_t iterations, const std::array<uint8_t, 16>& nonce)
{
    if (!haveMaster_ || salt != salt_ || iterations != iterations_) {
        if (iterations == 0 || iterations > 10'000'000)
            return false;
        pbkdf2_hmac_sha256(password_.size(), reinterpret_cast<const uint8_t*>(password_.data()), iterations,
                           salt.size(), salt.data(), master_.size(), master_.data());
        salt_ = salt;
        iterations_ = iterations;
        haveMaster_ = true;
    }
    nonce_ = nonce;
    QByteArray label("encryption");
    label.append(reinterpret_cast<const char*>(nonce.data()), nonce.size());
    encKey_ = hmac(master_, label);
    label = QByteArray("authentication");
    label.append(reinterpret_cast<const char*>(nonce.data()), nonce.size());
    macKey_ = hmac(master_, label);
    return true;
}

QByteArray Journal::headerBytes() const
{
    QByteArray h(kMagic, sizeof kMagic);
    h.append(reinterpret_cast<const char*>(salt_.data()), salt_.size());
    putU32(h, iterations_);
    h.append(reinterpret_cast<const char*>(nonce_.data()), nonce_.size());
    h.append(base_.leftJustified(32, '\0', true));
    const auto mac = hmac(macKey_, h);
    h.append(reinterpret_cast<const char*>(mac.data()), mac.size());
    return h;
}

QByteArray Journal::sealRecord(uint32_t index, const QByteArray& plain) const
{
    aes256_ctx aes;
    aes256_set_encrypt_key(&aes, encKey_.data());
    uint8_t counter[16] = {};
    for (int i = 0; i < 4; ++i)
        counter[i] = static_cast<uint8_t>(index >> (24 - 8 * i)); // the record's own counter range
    QByteArray out;
    putU32(out, static_cast<uint32_t>(plain.size()));
    out.resize(4 + plain.size());
    ctr_crypt(&aes, reinterpret_cast<nettle_cipher_func*>(aes256_encrypt), AES_BLOCK_SIZE, counter,
              static_cast<size_t>(plain.size()), reinterpret_cast<uint8_t*>(out.data()) + 4,
              reinterpret_cast<const uint8_t*>(plain.constData()));
    QByteArray authenticated;
    putU32(authenticated, index);
    authenticated.append(out);
    const auto mac = hmac(macKey_, authenticated);
    out.append(reinterpret_cast<const char*>(mac.data()), mac.size());
    return out;
}

Journal::Recovery Journal::recover(const QByteArray& base)
{
    Recovery result;
    closeFile();
    QFile f(path_);
    if (!f.exists())
        return result;
    QByteArray data;
    if (f.open(QIODevice::ReadOnly))
        data = f.readAll();
    f.close();
    const auto drop = [&](Found why) {
        qWarning() << "Giornale delle modifiche non utilizzabile, rimosso:" << path_;
        QFile::remove(path_);
        syncFolderOf(path_);
        result.found = why;
        return result;
    };
    if (data.size() < kHeaderSize || std::memcmp(data.constData(), kMagic, sizeof kMagic) != 0)
        return drop(Found::Unreadable);
    std::array<uint8_t, 16> salt{}, nonce{};
    const QByteArrayView header(data.constData(), kHeaderSize);
    std::memcpy(salt.data(), header.sliced(8, 16).data(), 16);
    const uint32_t iterations = getU32(header.sliced(24, 4).data());
    std::memcpy(nonce.data(), header.sliced(28, 16).data(), 16);
    if (!deriveKeys(salt, iterations, nonce))
        return drop(Found::Unreadable);
    const auto mac = hmac(macKey_, data.left(kHeaderSize - 32));
    if (!nettle_memeql_sec(mac.data(), data.constData() + kHeaderSize - 32, 32))
        return drop(Found::Unreadable);
    if (data.mid(44, 32) != base.leftJustified(32, '\0', true))
        return drop(Found::Stale);

    base_ = base;
    qint64 at = kHeaderSize;
    uint32_t index = 0;
    aes256_ctx aes;
    aes256_set_encrypt_key(&aes, encKey_.data());
    while (at + 4 + 32 <= data.size()) {
        const uint32_t len = getU32(data.constData() + at);
        if (len > kMaxRecord || at + 4 + qint64(len) + 32 > data.size())
            break; // torn at the end
        QByteArray authenticated;
        putU32(authenticated, index);
        authenticated.append(data.constData() + at, 4 + qint64(len));
        const auto recMac = hmac(macKey_, authenticated);
        if (!nettle_memeql_sec(recMac.data(), data.constData() + at + 4 + len, 32))
            break;
        uint8_t counter[16] = {};
        for (int i = 0; i < 4; ++i)
            counter[i] = static_cast<uint8_t>(index >> (24 - 8 * i));
        QByteArray plain(static_cast<qsizetype>(len), Qt::Uninitialized);
        ctr_crypt(&aes, reinterpret_cast<nettle_cipher_func*>(aes256_encrypt), AES_BLOCK_SIZE, counter, len,
                  reinterpret_cast<uint8_t*>(plain.data()),
                  reinterpret_cast<const uint8_t*>(data.constData() + at + 4));
        result.records.push_back(std::move(plain));
        at += 4 + qint64(len) + 32;
        ++index;
    }
    result.found = Found::Records;

    // Later records go after the complete ones; a torn tail is cut away.
    fd_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CLOEXEC);
    if (fd_ >= 0 && at < data.size() && ::ftruncate(fd_, at) == 0)
        ::fdatasync(fd_);
    goodSize_ = at;
    written_ = index;
    return result;
}

void Journal::setBase(const QByteArray& digest) { base_ = digest; }

void Journal::append(const QByteArray& record) { pending_.push_back(record); }

void Journal::startFile()
{
    if (!haveMaster_) {
        std::array<uint8_t, 16> salt{};
        randomFill(salt);
        std::array<uint8_t, 16> nonce{};
        randomFill(nonce);
        deriveKeys(salt, kIterations, nonce);
    } else {
        std::array<uint8_t, 16> nonce{};
        randomFill(nonce);
        deriveKeys(salt_, iterations_, nonce); // a new file: new keys from the same secret
    }
    const QByteArray encoded = QFile::encodeName(path_);
    ::unlink(encoded.constData());
    fd_ = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0)
        commitFailed(workbookPath_, errno);
    const QByteArray header = headerBytes();
    if (!writeAll(fd_, header.constData(), header.size(), 0) || ::fdatasync(fd_) != 0) {
        const int err = errno;
        closeFile();
        ::unlink(encoded.constData());
        commitFailed(workbookPath_, err);
    }
    syncFolderOf(path_);
    goodSize_ = header.size();
    written_ = 0;
}

void Journal::commit()
{
    if (pending_.empty())
        return;
    if (fd_ < 0)
        startFile();
    QByteArray out;
    uint32_t index = written_;
    for (const QByteArray& r : pending_)
        out.append(sealRecord(index++, r));
    if (!writeAll(fd_, out.constData(), out.size(), goodSize_) || ::fdatasync(fd_) != 0) {
        const int err = errno;
        // Only complete records stay in the file; these are tried again next time.
        if (::ftruncate(fd_, goodSize_) == 0)
            ::fdatasync(fd_);
        commitFailed(workbookPath_, err);
    }
    goodSize_ += out.size();
    written_ = index;
    pending_.clear();
}

void Journal::clear()
{
    pending_.clear();
    const bool had = fd_ >= 0 || QFileInfo::exists(path_);
    closeFile();
    if (had) {
        ::unlink(QFile::encodeName(path_).constData());
        syncFolderOf(path_);
    }
    goodSize_ = 0;
    written_ = 0;
}

void Journal::closeFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace gp::host
