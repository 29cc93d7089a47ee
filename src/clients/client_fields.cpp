#include "clients/client_fields.h"

#include "core/ui/geometry.h"
#include "core/ui/input_checks.h"
#include "core/ui/text_rules.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace gp::clients {

namespace {
struct FieldSpec {
    const char* box;
    const char* caption; // the label on the form; empty for the second notes box
    int maxLength;       // 0 = no limit
    bool capitals;
};

// In the order of the form: columns A to Q are listed in kFieldBoxes.
const FieldSpec kSpecs[] = {
    {"Text2", "ID Progressivo", 0, true},
    {"Text1", "Ragione Sociale/Cognome-Nome", 0, true},
    {"Text14", "Codice", 0, false},
    {"Text18", "Data 00 00 00", 10, false},
    {"Text4", "Indirizzo", 0, true},
    {"Text5", "C.A.P.", 5, false},
    {"Text6", "Località", 0, true},
    {"Text7", "(PR)", 2, true},
    {"Text8", "Telefono", 0, false},
    {"Text9", "Fax", 0, false},
    {"Text15", "Cellullare", 0, false},
    {"Text16", "E-Mail", 0, false},
    {"Text10", "Codice Fiscale", 16, true},
    {"Text11", "Partita IVA", 11, false},
    {"Text3", "Referente/Legale Rappresentante", 0, true},
    {"Text12", "Annotazioni", 0, true},
    {"Text13", "", 0, true},
};
} // namespace

ClientFields::ClientFields(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ClientFields"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0, col = 0;
    for (const FieldSpec& f : kSpecs) {
        const QString name = QString::fromLatin1(f.box);
        const bool multiLine = name == QLatin1String("Text12") || name == QLatin1String("Text13");
        auto* label = new QLabel(QString::fromUtf8(f.caption), this);
        label->setObjectName(QStringLiteral("lbl") + name);
        QWidget* w = nullptr;
        if (multiLine) {
            auto* e = new QPlainTextEdit(this);
            e->setTabChangesFocus(true);
            e->setFixedHeight(ui::twips(735));
            if (f.capitals)
                ui::installUpperCase(e);
            w = e;
        } else {
            auto* e = new QLineEdit(this);
            if (f.capitals)
                ui::installUpperCase(e);
            if (f.maxLength > 0)
                ui::limitTyping(e, f.maxLength);
            w = e;
        }
        w->setObjectName(name);
        label->setBuddy(w);
        if (multiLine) {
            // The two notes boxes take a whole line each.
            if (col != 0)
                ++row;
            grid->addWidget(label, row, 0);
            grid->addWidget(w, row, 1, 1, 3);
            ++row;
            col = 0;
            continue;
        }
        grid->addWidget(label, row, col * 2);
        grid->addWidget(w, row, col * 2 + 1);
        if (++col == 2) {
            col = 0;
            ++row;
        }
    }
    QLineEdit* number = line(QStringLiteral("Text2"));
    number->setReadOnly(true);
    ui::setBackColor(number, ui::bgr(ui::kLightYellow));
    ui::installDateRule(line(QStringLiteral("Text18")));
}

QWidget* ClientFields::box(const QString& boxName) const { return findChild<QWidget*>(boxName); }
QLineEdit* ClientFields::line(const QString& boxName) const { return findChild<QLineEdit*>(boxName); }
QPlainTextEdit* ClientFields::notes(const QString& boxName) const { return findChild<QPlainTextEdit*>(boxName); }

QString ClientFields::text(const QString& boxName) const
{
    if (QLineEdit* e = line(boxName))
        return e->text();
    if (QPlainTextEdit* e = notes(boxName))
        return e->toPlainText();
    return {};
}

void ClientFields::setText(const QString& boxName, const QString& text)
{
    if (QLineEdit* e = line(boxName))
        e->setText(text);
    else if (QPlainTextEdit* memo = notes(boxName))
        memo->setPlainText(text);
}

ClientRecord ClientFields::record() const
{
    ClientRecord r;
    for (int c = 0; c < kFieldCount; ++c)
        r[c] = text(QString::fromLatin1(kFieldBoxes[c]));
    return r;
}

void ClientFields::setRecord(const ClientRecord& record)
{
    for (int c = 0; c < kFieldCount; ++c)
        setText(QString::fromLatin1(kFieldBoxes[c]), record[c]);
}

bool ClientFields::acceptForStore(QWidget* parent, const QString& title)
{
    if (!ui::acceptDateBox(parent, line(QStringLiteral("Text18")), QStringLiteral("Data"), title))
        return false;
    for (const FieldSpec& f : kSpecs) {
        const QString name = QString::fromLatin1(f.box);
        // The second notes box has no label of its own: it goes on with the first.
        const QString field = *f.caption ? QString::fromUtf8(f.caption) : QStringLiteral("Annotazioni");
        if (!ui::acceptTextLength(parent, text(name), field, title, box(name)))
            return false;
    }
    return true;
}

void ClientFields::clear()
{
    for (const char* b : kFieldBoxes)
        setText(QString::fromLatin1(b), QString());
}

} // namespace gp::clients
