// Whole .xls files: compound container, "password to open" and the records.
#include "core/xls/xls_file.h"
#include "core/xls/large_buffer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/xls/biff_io.h"
#include "core/xls/crypto.h"

namespace gp::xls {

using namespace gp::sheet;

namespace {

bool nameStartsWith(const std::u16string& name, std::u16string_view prefix)
{
    if (name.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t a = name[i], b = prefix[i];
        if (a >= u'a' && a <= u'z')
            a = char16_t(a - 32);
        if (b >= u'a' && b <= u'z')
            b = char16_t(b - 32);
        if (a != b)
            return false;
    }
    return true;
}

bool sameName(const std::u16string& name, std::u16string_view other)
{
    return name.size() == other.size() && nameStartsWith(name, other);
}

void removeChildren(CfbEntry& storage, std::initializer_list<std::u16string_view> names)
{
    auto& ch = storage.children;
    ch.erase(std::remove_if(ch.begin(), ch.end(),
                            [&](const CfbEntry& e) {
                                for (auto n : names)
                                    if (sameName(e.name, n))
                                        return true;
                                return false;
                            }),
             ch.end());
}

} // namespace

namespace {
Result<XlsDocument> readContainer(CompoundFile&& container, const std::string& password);
}

Result<XlsDocument> readXls(std::span<const uint8_t> bytes, const std::string& password)
{
    auto cf = readCompoundFile(bytes);
    if (!cf)
        return cf.error();
    return readContainer(std::move(cf.value()), password);
}

namespace {

Result<XlsDocument> readContainer(CompoundFile&& container, const std::string& password)
{
    XlsDocument doc;
    doc.container = std::move(container);
    // The workbook stream is "Workbook" (in any capitals), else "Book"; which
    // BIFF version it holds is said by its first BOF record, not by its name.
    CfbEntry* wbEntry = findChild(doc.container.root, u"Workbook");
    bool namedBook = false;
    if (!wbEntry || wbEntry->type != 2) {
        wbEntry = findChild(doc.container.root, u"Book");
        namedBook = true;
        if (!wbEntry || wbEntry->type != 2)
            return makeError(ErrorCode::NotSpreadsheet);
    }
    const std::vector<uint8_t>& s = wbEntry->data;
    const bool bof = s.size() >= 8 && rd16(s.data()) == biff::rBOF && rd16(s.data() + 2) >= 4;
    const uint16_t version = bof ? rd16(s.data() + 4) : 0;
    if (bof ? version < 0x0600 : namedBook)
        return makeError(ErrorCode::OldFormat); // Excel 5.0/95 or older
    std::vector<uint8_t> stream = std::move(wbEntry->data);
    removeChildren(doc.container.root, {u"Workbook", u"Book", u"encryption"});

    auto scheme = detectEncryption(stream);
    if (!scheme)
        return scheme.error();
    if (scheme.value() != Encryption::None) {
        auto outcome = decryptWorkbookStream(stream, password);
        if (!outcome)
            return outcome.error();
        doc.encryption = outcome->scheme;
        doc.defaultPassword = outcome->usedDefaultPassword;
        doc.password = doc.defaultPassword ? std::string(kDefaultPassword) : password;
    }
    auto wb = parseWorkbookStream(stream, &doc.repairs);
    if (!wb)
        return wb.error();
    doc.workbook = std::move(wb.value());
    doc.workbook->encryption = doc.encryption;
    return doc;
}

} // namespace

Result<XlsDocument> readXlsFile(const std::string& path, const std::string& password)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return makeError(errno == ENOENT ? ErrorCode::FileMissing : ErrorCode::FileUnreadable, path);
    // One read into a buffer of the file's size: a register of tens of
    // thousands of rows is tens of megabytes, not worth growing piecewise.
    std::vector<uint8_t> data;
    bool bad = false;
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        data.reserve(size_t(st.st_size));
        adviseLargeBuffer(data.data(), data.capacity());
        data.resize(size_t(st.st_size));
        size_t got = std::fread(data.data(), 1, data.size(), f);
        data.resize(got);
    }
    uint8_t buf[65536];
    size_t n;
    while (!std::ferror(f) && (n = std::fread(buf, 1, sizeof buf, f)) > 0) // grew meanwhile, or not a plain file
        data.insert(data.end(), buf, buf + n);
    bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad)
        return makeError(ErrorCode::FileUnreadable, path);
    return readXls(std::move(data), password);
}

Result<XlsDocument> readXls(std::vector<uint8_t>&& bytes, const std::string& password)
{
    auto cf = readCompoundFile(bytes);
    // The container holds its own copy of every stream: the file's bytes can go.
    std::vector<uint8_t>().swap(bytes);
    if (!cf)
        return cf.error();
    return readContainer(std::move(cf.value()), password);
}

Result<std::vector<uint8_t>> writeXls(const XlsDocument& doc)
{
    if (!doc.workbook)
        return makeError(ErrorCode::WriteFailed);
    const bool encrypt = doc.encryption != Encryption::None || doc.workbook->encryption != Encryption::None;
    std::vector<uint8_t> stream = writeWorkbookStream(*doc.workbook, encrypt ? kCryptoApiFilepassSize : 0);

    CompoundFile out;
    out.root = doc.container.root;
    out.root.type = 5;
    if (out.root.name.empty())
        out.root.name = u"Root Entry";
    removeChildren(out.root, {u"Workbook", u"Book", u"encryption"});

    if (encrypt) {
        std::string password = doc.defaultPassword ? std::string(kDefaultPassword) : doc.password;
        if (password.empty())
            return makeError(ErrorCode::WriteFailed, "password mancante");
        CryptoApiKey key;
        std::vector<uint8_t> filepass = makeCryptoApiFilepass(password, key);
        // FILEPASS sits right after the globals BOF.
        size_t at = 4 + size_t(rd16(stream.data() + 2));
        if (filepass.size() != kCryptoApiFilepassSize || stream.size() < at + 4 + filepass.size()
            || rd16(stream.data() + at) != biff::rFILEPASS)
            return makeError(ErrorCode::WriteFailed);
        std::memcpy(stream.data() + at + 4, filepass.data(), filepass.size());
        encryptWorkbookStream(stream, key);
        // Controls and embedded objects would travel in clear beside the encrypted stream.
        auto& ch = out.root.children;
        ch.erase(std::remove_if(ch.begin(), ch.end(),
                                [](const CfbEntry& e) {
                                    return sameName(e.name, u"Ctls") || (e.type == 1 && nameStartsWith(e.name, u"MBD"));
                                }),
                 ch.end());
    }
    CfbEntry wbEntry;
    wbEntry.name = u"Workbook";
    wbEntry.type = 2;
    wbEntry.data = std::move(stream);
    out.root.children.insert(out.root.children.begin(), std::move(wbEntry));
    return writeCompoundFile(out);
}

} // namespace gp::xls
