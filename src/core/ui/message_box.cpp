#include "core/ui/message_box.h"

#include "core/host/spreadsheet_host.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace gp::ui {

bool commitChanges(QWidget* parent)
{
    static bool committing = false;
    if (committing)
        return true;
    committing = true;
    const QStringList errors = host::SpreadsheetHost::commitAllJournals();
    if (!errors.isEmpty())
        msgBox(parent, errors.join(QLatin1Char('\n')), OkOnly | Critical, QStringLiteral("Gestione Pratiche"));
    committing = false;
    return errors.isEmpty();
}

Answer msgBox(QWidget* parent, const QString& text, int style, const QString& title)
{
    // What a message confirms must already be on disk. When it cannot be, the
    // user is told, and a plain confirmation is not shown after it.
    if (!commitChanges(parent) && (style & 0x7) == OkOnly && (style & 0x70) != Critical
        && (style & 0x70) != Exclamation)
        return Answer::Ok;

    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(shown);
    box.setWindowTitle(title);

    switch (style & 0x70) {
    case Critical: box.setIcon(QMessageBox::Critical); break;
    case Question: box.setIcon(QMessageBox::Question); break;
    case Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Information: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }

    struct Btn {
        QMessageBox::StandardButton std;
        const char* text;
        Answer answer;
    };
    std::vector<Btn> buttons;
    switch (style & 0x7) {
    case OkCancel:
        buttons = {{QMessageBox::Ok, "OK", Answer::Ok}, {QMessageBox::Cancel, "Annulla", Answer::Cancel}};
        break;
    case YesNoCancel:
        buttons = {{QMessageBox::Yes, "Sì", Answer::Yes},
                   {QMessageBox::No, "No", Answer::No},
                   {QMessageBox::Cancel, "Annulla", Answer::Cancel}};
        break;
    case YesNo: buttons = {{QMessageBox::Yes, "Sì", Answer::Yes}, {QMessageBox::No, "No", Answer::No}}; break;
    default: buttons = {{QMessageBox::Ok, "OK", Answer::Ok}}; break;
    }
    QMessageBox::StandardButtons set;
    for (const Btn& b : buttons)
        set |= b.std;
    box.setStandardButtons(set);
    for (const Btn& b : buttons)
        box.button(b.std)->setText(QString::fromUtf8(b.text));
    const size_t def = (style & DefaultButton2) && buttons.size() > 1 ? 1 : 0;
    box.setDefaultButton(buttons[def].std);
    // Escape / close box: Cancel when there is one, else the last button (No or OK).
    box.setEscapeButton(buttons.back().std);

    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const Btn& b : buttons)
        if (b.std == clicked)
            return b.answer;
    return buttons.back().answer;
}

std::optional<QString> inputBox(QWidget* parent, const QString& prompt, const QString& title,
                                const QString& defaultText)
{
    QInputDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("InputBox"));
    dlg.setWindowModality(Qt::ApplicationModal);
    dlg.setInputMode(QInputDialog::TextInput);
    dlg.setWindowTitle(title);
    dlg.setLabelText(prompt);
    dlg.setTextValue(defaultText);
    dlg.setOkButtonText(QStringLiteral("OK"));
    dlg.setCancelButtonText(QStringLiteral("Annulla"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

void reportHostError(QWidget* parent, const host::HostError& error)
{
    msgBox(parent, error.message(), OkOnly | Critical, QStringLiteral("Gestione Pratiche"));
}

} // namespace gp::ui
