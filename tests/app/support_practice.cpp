#include "support_practice.h"

#include "app/form8.h"
#include "app/program.h"
#include "common/modal.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/navigator.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace gp;

void writeSmallPractice(const QString& dir, const QString& password)
{
    host::SpreadsheetHost h;
    host::Book* book = h.create(QDir(dir).filePath(QStringLiteral("Pratiche.xls")), QStringLiteral("Tesm4061"));
    for (const char* name : {"Clienti", "Pratica", "Storico", "Spese", "Codice", "Dorvessa", "S", "Foglio1"})
        if (!book->sheetOrNull(QString::fromLatin1(name)))
            book->addSheet(QString::fromLatin1(name));
    host::Sheet* codice = book->sheet(QStringLiteral("Codice"));
    if (!password.isEmpty())
        codice->range(QStringLiteral("ER1")).setValue(password);
    for (const char* name : {"Codice", "S", "Foglio1"})
        book->sheet(QString::fromLatin1(name))->setVisible(false);
    book->sheet(QStringLiteral("Dorvessa"))->range(QStringLiteral("A1")).setValue(QStringLiteral("ID"));
    book->save();

    host::Book* deadlines = h.create(QDir(dir).filePath(QStringLiteral("Dorvessa.xls")), QStringLiteral("Tesm4061QRB"));
    if (!deadlines->sheetOrNull(QStringLiteral("Dorvessa")))
        deadlines->addSheet(QStringLiteral("Dorvessa"));
    deadlines->sheet(QStringLiteral("Dorvessa"))->range(QStringLiteral("A1")).setValue(QStringLiteral("ID"));
    deadlines->save();
    h.closeAll();
}

bool startProgram(app::Program& program, const QString& folder)
{
    ModalAnswerer boxes;
    const bool started = program.start(folder);
    if (!boxes.seen().empty()) {
        const QString said = boxes.seen().front().text;
        QTest::qFail(qPrintable(QStringLiteral("the start-up reported: ") + said), __FILE__, __LINE__);
        return false;
    }
    return started;
}

void typeLogin(app::Program& program, const QString& text)
{
    ui::FormBase* login = program.navigator().form(app::Form8::kName);
    QVERIFY(login);
    auto* box = login->findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* button = login->findChild<QPushButton*>(QStringLiteral("Command1"));
    QVERIFY(box && button);
    box->setText(text);
    QTest::mouseClick(button, Qt::LeftButton);
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
