#include "core/xls/errors.h"

namespace gp::xls {

Error makeError(ErrorCode code, const std::string& detail)
{
    std::string msg;
    switch (code) {
    case ErrorCode::FileMissing: msg = "Il file non esiste"; break;
    case ErrorCode::FileUnreadable: msg = "Il file non può essere letto"; break;
    case ErrorCode::NotSpreadsheet: msg = "Il file non è una cartella di lavoro di Excel 97-2003"; break;
    case ErrorCode::OldFormat:
        msg = "La cartella di lavoro è nel formato di Excel 5.0/95, non supportato: salvarla come Excel 97-2003";
        break;
    case ErrorCode::Damaged: msg = "Il file è danneggiato o incompleto"; break;
    case ErrorCode::WrongPassword: msg = "La password della cartella di lavoro non è corretta"; break;
    case ErrorCode::UnsupportedEncryption: msg = "Il file è protetto con una cifratura non supportata"; break;
    case ErrorCode::WriteFailed: msg = "Impossibile salvare il file"; break;
    }
    if (!detail.empty())
        msg += ": " + detail;
    return Error{code, msg, {}};
}

} // namespace gp::xls
