// Errors of the file codec: a code and a message for the user, in Italian.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace gp::xls {

enum class ErrorCode {
    FileMissing,    // the file does not exist
    FileUnreadable, // it exists but cannot be read
    NotSpreadsheet, // not a compound file, or no Workbook stream
    OldFormat,      // Excel 5.0/95 (BIFF5) workbook
    Damaged,        // structure broken or truncated
    WrongPassword,
    UnsupportedEncryption,
    WriteFailed,
};

struct Error {
    ErrorCode code;
    std::string message; // Italian, ready to show
    std::string reason;  // for a developer: what exactly was wrong and where ("" when the message says it all)
};

Error makeError(ErrorCode code, const std::string& detail = {});

// A value or an error.
template <class T> class Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}
    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T* operator->() { return &value(); }
    T& operator*() { return value(); }
    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

} // namespace gp::xls
