#include "core/ui/session.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"

#include <QDir>

namespace gp::ui {

QString AppContext::path(const QString& fileName) const { return QDir(folder).filePath(fileName); }

host::Book* AppContext::practice() const { return host ? host->workbook(kPracticeFile) : nullptr; }

host::Book* AppContext::deadlines() const { return host ? host->workbook(kDeadlineFile) : nullptr; }

void AppContext::endProgram(int code)
{
    if (ended)
        return;
    ended = true;
    exitCode = code;
    if (host)
        host->closeAll();
    if (navigator) {
        const QStringList names = navigator->loadedForms();
        for (const QString& n : names)
            navigator->unload(n);
    }
    if (onEnd)
        onEnd(code);
}

namespace {

// A save that found the file changed by someone else went to a conflict copy: say so, naming both.
void reportConflictCopy(host::Book* book, QWidget* parent)
{
    const QString notice = book->takeConflictNotice();
    if (!notice.isEmpty())
        msgBox(parent, notice, OkOnly | Exclamation, QStringLiteral("Gestione Pratiche"));
}

} // namespace

bool saveModifiedWorkbooks(AppContext& ctx, QWidget* parent)
{
    if (!ctx.host)
        return true;
    bool allSaved = true;
    for (host::Book* book : ctx.host->workbooks()) {
        if (!book->modified())
            continue;
        try {
            book->save();
            reportConflictCopy(book, parent);
            // Saved, but without its backup or dated copy: the user must know.
            for (const QString& warning : book->saveWarnings())
                msgBox(parent, warning, OkOnly | Exclamation, QStringLiteral("Gestione Pratiche"));
        } catch (const host::HostError& e) {
            allSaved = false;
            msgBox(parent, QStringLiteral("Il file %1 non è stato salvato.\n%2").arg(book->fileName(), e.message()),
                   OkOnly | Critical, QStringLiteral("Gestione Pratiche"));
        }
    }
    return allSaved;
}

bool saveActiveWorkbook(AppContext& ctx, QWidget* parent) { return saveModifiedWorkbooks(ctx, parent); }

bool saveAndQuit(AppContext& ctx, QWidget* parent)
{
    if (!saveModifiedWorkbooks(ctx, parent))
        return false;
    ctx.endProgram(0);
    return true;
}

} // namespace gp::ui
