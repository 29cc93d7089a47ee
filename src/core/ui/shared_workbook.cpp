#include "core/ui/shared_workbook.h"

#include "core/host/lock_file.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/message_box.h"

#include <QMessageBox>
#include <QPushButton>

namespace gp::ui {

namespace {

const QString kTitle = QStringLiteral("Gestione Pratiche");

// The three-way choice; returns the label pressed (Esc and the close box: "Annulla").
QString askInUse(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    // One role for all three, so that they stay in this order.
    QPushButton* readOnly = box.addButton(kReadOnlyChoice, QMessageBox::ActionRole);
    box.addButton(kOpenAnywayChoice, QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(kCancelChoice, QMessageBox::ActionRole);
    box.setDefaultButton(readOnly);
    box.setEscapeButton(cancel);
    box.exec();
    auto* pressed = qobject_cast<QPushButton*>(box.clickedButton());
    return pressed ? pressed->text() : kCancelChoice;
}

} // namespace

QString takeOverQuestion(const QString& holder, const QString& lockTime)
{
    return QStringLiteral("Il blocco è del %1. Se %2 sta ancora lavorando, le modifiche di uno dei due andranno "
                          "perse. Aprire comunque?")
        .arg(lockTime, holder);
}

host::Book* openSharedWorkbook(AppContext& ctx, QWidget* parent, const QString& path, const QString& password)
{
    using Mode = host::SpreadsheetHost::OpenMode;
    try {
        return ctx.host->open(path, password);
    } catch (const host::WorkbookInUse& inUse) {
        for (;;) {
            const QString choice = askInUse(parent, inUse.message());
            if (choice == kReadOnlyChoice)
                return ctx.host->open(path, password, Mode::ReadOnly);
            if (choice != kOpenAnywayChoice)
                throw host::OperationCancelled();
            const QString when = inUse.since().isValid() ? inUse.since().toString(QStringLiteral("dd/MM/yyyy HH:mm"))
                                                         : QStringLiteral("data sconosciuta");
            if (msgBox(parent, takeOverQuestion(host::holderName(inUse.owner()), when),
                       YesNo | Exclamation | DefaultButton2, kTitle)
                == Answer::Yes)
                return ctx.host->open(path, password, Mode::TakeOverLock);
        }
    }
}

QString readOnlyNotice(const AppContext& ctx)
{
    if (!ctx.host)
        return {};
    QStringList lines;
    for (const host::Book* book : ctx.host->workbooks()) {
        const host::LockOwner* holder = book->holder();
        if (!holder)
            continue;
        QString line
            = QStringLiteral("Sola lettura: %1 è in uso da %2").arg(book->fileName(), host::holderName(*holder));
        if (!holder->host.trimmed().isEmpty())
            line += QStringLiteral(" (%1)").arg(holder->host.trimmed());
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace gp::ui
