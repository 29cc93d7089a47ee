// The write-ahead journal of a workbook: what changed since its last save,
// kept on disk beside it so that a crash loses nothing the program confirmed.
//
// Saving a large workbook takes a few hundred milliseconds, too long to do
// after every command. Instead every change the host makes is recorded, and
// the records are appended to ".NAME.journal" and flushed to the disk at each
// commit point (before any message is shown, after every command). The next
// start finds the journal, replays the records on the workbook it was written
// for and saves the result; a save removes the journal.
//
// Nothing in clear reaches the disk: the journal is encrypted with a key
// derived from the workbook's password (PBKDF2-SHA256, a random salt), each
// record with AES-256-CTR and authenticated with HMAC-SHA256, so that a record
// torn by the crash is recognised and dropped with everything after it.
//
// File layout (little endian):
//   header: "GPJOURN1", salt[16], iterations u32, file nonce[16],
//           base digest[32] (SHA-256 of the workbook file the records apply to),
//           HMAC[32] of everything before it
//   record: length u32, ciphertext[length], HMAC[32] of (index u32, length, ciphertext)
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace gp::host {

class Journal {
public:
    // `workbookPath` is the workbook's full path; `password` its password (may be empty).
    Journal(const QString& workbookPath, std::string password);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    static QString pathFor(const QString& workbookPath); // ".../.Pratiche.xls.journal"

    enum class Found { Nothing, Records, Stale, Unreadable };
    struct Recovery {
        Found found = Found::Nothing;
        std::vector<QByteArray> records;
    };
    // Reads the journal left beside the workbook whose file has digest `base`.
    // Records: the complete, authentic records, in order; the journal is kept and
    // later records are appended after them. Stale (written for another version
    // of the file) and Unreadable journals are removed.
    Recovery recover(const QByteArray& base);

    // The saved file the next records apply to (after an open or a save).
    void setBase(const QByteArray& digest);

    void append(const QByteArray& record); // kept in memory until commit()
    // Appends the pending records to the file and flushes them to the disk.
    // Throws HostError (Italian) when it cannot; the records stay pending and the
    // file keeps only complete records.
    void commit();
    // After a save: the records are in the workbook, the file goes.
    void clear();

private:
    bool deriveKeys(const std::array<uint8_t, 16>& salt, uint32_t iterations, const std::array<uint8_t, 16>& nonce);
    QByteArray sealRecord(uint32_t index, const QByteArray& plain) const;
    QByteArray headerBytes() const;
    void startFile();
    void closeFile();

    QString workbookPath_, path_;
    std::string password_;
    QByteArray base_;
    std::array<uint8_t, 16> salt_{}, nonce_{};
    uint32_t iterations_ = 0;
    std::array<uint8_t, 32> master_{}, encKey_{}, macKey_{};
    bool haveMaster_ = false;
    int fd_ = -1;
    qint64 goodSize_ = 0;  // bytes of the file that hold complete records
    uint32_t written_ = 0; // records in the file
    std::vector<QByteArray> pending_;
};

} // namespace gp::host
