// The instructions text file "Istruzioni.txt": read as it is, line by line,
// and written back in the same encoding and with the same line ends.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QPagedPaintDevice;

namespace gp::instructions {

enum class Encoding { Utf8, Windows1252 };

// How the file was written, so that saving keeps it.
struct FileFormat {
    Encoding encoding = Encoding::Windows1252;
    bool bom = false; // UTF-8 with a byte-order mark
    QString lineEnd = QStringLiteral("\r\n");
    bool finalLineEnd = true; // the last line ends with a line end
};

struct LoadedText {
    QString text; // lines joined by "\n", without the file's final line end
    FileFormat format;
};

// Bytes -> text. UTF-8 when the bytes are valid UTF-8, Windows-1252 otherwise.
// The dominant line end (CRLF when there is any, else LF, else CR; CRLF for a
// file without line ends) is remembered; every line end becomes "\n".
LoadedText decodeText(const QByteArray& bytes);
// Text -> bytes in `format`. When Windows-1252 cannot hold a character of the
// text the format changes to UTF-8 (reported through `switchedToUtf8`).
QByteArray encodeText(const QString& text, FileFormat& format, bool* switchedToUtf8 = nullptr);

QString decodeWindows1252(const QByteArray& bytes);
// nullopt when a character has no Windows-1252 byte.
std::optional<QByteArray> encodeWindows1252(const QString& text);

// Reads the file; nullopt (and the reason in `error`) when it is missing or unreadable.
std::optional<LoadedText> readInstructions(const QString& path, QString* error = nullptr);
// Writes the file atomically; false (and the reason in `error`) when it fails.
bool writeInstructions(const QString& path, const QString& text, FileFormat& format, QString* error = nullptr,
                       bool* switchedToUtf8 = nullptr);

// The header line of the printout.
QString printHeader();
// Prints the header line, two empty lines and the text in 8-point "Calibri",
// every line from the left margin (long lines wrap), page after page, on a
// device that is ready to paint (a QPrinter or a QPdfWriter). Returns the pages
// printed, 0 when painting could not start.
int printText(QPagedPaintDevice& device, const QString& text);

} // namespace gp::instructions
