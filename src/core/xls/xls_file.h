// Reading and writing whole .xls files: container, encryption and records.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/sheet/workbook.h"
#include "core/xls/cfb.h"
#include "core/xls/errors.h"

namespace gp::xls {

// Something the reader had to mend or leave out to read a workbook that other
// readers open too (a record shorter than its layout, a string table announcing
// more strings than it holds...), with how many times it happened. A rewrite
// of the model never repeats the fault.
struct Repair {
    std::string what;
    size_t count = 0;
};

// A workbook as read from a file, with what a rewrite must carry along.
struct XlsDocument {
    std::unique_ptr<sheet::Workbook> workbook;
    CompoundFile container; // every other stream and storage of the file (Workbook, Book removed)
    sheet::Encryption encryption = sheet::Encryption::None; // as the file was protected
    bool defaultPassword = false;                           // opened with the built-in password, without asking
    std::string password;                                   // the password it opened with ("" when not encrypted)
    std::vector<Repair> repairs;                            // what reading had to mend (empty for a sound file)
};

// Reads a workbook from the bytes of a file. `password` is used only when the
// file is encrypted (and the built-in default password does not open it).
Result<XlsDocument> readXls(std::span<const uint8_t> bytes, const std::string& password = {});
// The same, releasing the bytes as soon as the container is read (lower peak memory).
Result<XlsDocument> readXls(std::vector<uint8_t>&& bytes, const std::string& password = {});

// Reads the file at `path` (FileMissing / FileUnreadable when it cannot be read).
Result<XlsDocument> readXlsFile(const std::string& path, const std::string& password = {});

// Serialises the document: a fresh Workbook stream from the model, the other
// entries of the container, encrypted with CryptoAPI 4.2 (128 bit, new salt)
// under doc.password when the document was encrypted (under the default
// password when it opened with it), in clear when it was not.
Result<std::vector<uint8_t>> writeXls(const XlsDocument& doc);

// Just the plaintext Workbook stream for the model (with room for a FILEPASS
// of `filepassSize` bytes after the globals BOF when it is not 0).
std::vector<uint8_t> writeWorkbookStream(const sheet::Workbook& wb, size_t filepassSize = 0);

// Parses a plaintext Workbook stream (after decryption) into a model. What had
// to be mended is added to `repairs` when given. A Damaged error carries its
// reason (what was wrong, the record and its offset) in Error::reason.
Result<std::unique_ptr<sheet::Workbook>> parseWorkbookStream(std::span<const uint8_t> stream,
                                                             std::vector<Repair>* repairs = nullptr);

} // namespace gp::xls
