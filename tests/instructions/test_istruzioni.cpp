// The instructions text: shown as it is in either encoding, written back
// unchanged in encoding and line ends, the missing-file message, the hidden
// save button and "&Modifica", the printout.
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "instructions/instructions_file.h"
#include "instructions/istruzioni.h"
#include "instructions/register_forms.h"

#include <QAction>
#include <QDir>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace gp::instructions;

namespace {
// "Perché", "così", "€" and typographic quotes in Windows-1252 bytes.
const QByteArray kCp1252 = QByteArray("Istruzioni\r\nuno,due\r\n\"tre, quattro\"\r\nPerch\xE9 cos\xEC: \x80 10\r\n"
                                      "\x93virgolette\x94 e \"doppi\"\r\n\r\nfine\r\n");
const QString kShown = QStringLiteral("Istruzioni\nuno,due\n\"tre, quattro\"\nPerché così: € 10\n"
                                      "“virgolette” e \"doppi\"\n\nfine");

// The instructions file of the bench's folder, and the form shown on it.
struct Env : TestPractice {
    Env() { registerForms(ctx); }
    QString file() const { return path(QStringLiteral("Istruzioni.txt")); }
    void write(const QByteArray& bytes) const { QVERIFY(writeFile(file(), bytes)); }
    QByteArray read() const { return readFile(file()); }
    Istruzioni* show() { return TestPractice::show<Istruzioni>(); }
};

QPlainTextEdit* text1(QWidget* f) { return f->findChild<QPlainTextEdit*>(QStringLiteral("Text1")); }
} // namespace

class TestIstruzioni : public QObject {
    Q_OBJECT
private slots:
    void decodeBothEncodingsAndSwitchToUtf8();
    void roundTripKeepsBytes_data();
    void roundTripKeepsBytes();
    void formShowsAndSavesTheFileAsItIsOrSaysWhyNot();
    void missingFile();
    void printToPdf();
    void longTextSpansPages();
    void fixtureFile();
};

void TestIstruzioni::decodeBothEncodingsAndSwitchToUtf8()
{
    LoadedText a = decodeText(kCp1252);
    QVERIFY(a.format.encoding == Encoding::Windows1252 && a.format.lineEnd == "\r\n" && a.format.finalLineEnd);
    QCOMPARE(a.text, kShown);
    const LoadedText b = decodeText((kShown + QStringLiteral("\n")).toUtf8());
    QVERIFY(b.format.encoding == Encoding::Utf8 && b.format.lineEnd == "\n");
    QCOMPARE(b.text, kShown);

    // A lone byte that is no UTF-8 sends the whole file to Windows-1252.
    const LoadedText c = decodeText(QByteArray("caf\xC3\xA9 e caff\xE8"));
    QCOMPARE(c.format.encoding, Encoding::Windows1252);
    QCOMPARE(c.text, QStringLiteral("cafÃ© e caffè"));

    // The five bytes without a character come back as they were.
    const QByteArray odd("\x81\x8D\x8F\x90\x9D");
    QCOMPARE(encodeWindows1252(decodeWindows1252(odd)).value(), odd);

    // A character Windows-1252 lacks switches the file to UTF-8, line ends kept.
    bool switched = false;
    const QByteArray out = encodeText(a.text + QStringLiteral(" Ω"), a.format, &switched);
    QVERIFY(switched);
    QCOMPARE(a.format.encoding, Encoding::Utf8);
    QCOMPARE(QString::fromUtf8(out), QString(kShown + QStringLiteral(" Ω\n")).replace(u'\n', QStringLiteral("\r\n")));
}

void TestIstruzioni::roundTripKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("windows-1252 crlf") << kCp1252;
    QTest::newRow("utf-8 crlf") << QByteArray(kShown.toUtf8()).replace("\n", "\r\n") + "\r\n";
    QTest::newRow("utf-8 lf") << kShown.toUtf8() + "\n";
    QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF") + kShown.toUtf8() + "\n";
    QTest::newRow("no final line end") << QByteArray("uno\r\ndue");
    QTest::newRow("empty lines at the end") << QByteArray("uno\r\n\r\n\r\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("only one line end") << QByteArray("\r\n");
    QTest::newRow("classic mac") << QByteArray("uno\rdue\r");
}

void TestIstruzioni::roundTripKeepsBytes()
{
    QFETCH(QByteArray, bytes);
    QByteArray again = bytes;
    for (int round = 0; round < 2; ++round) { // and once more, from what was written
        LoadedText t = decodeText(again);
        again = encodeText(t.text, t.format);
        QCOMPARE(again, bytes);
    }
}

void TestIstruzioni::formShowsAndSavesTheFileAsItIsOrSaysWhyNot()
{
    Env env;
    env.write(kCp1252);
    Istruzioni* f = env.show();
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), QStringLiteral("Istruzioni"));
    QCOMPARE(text1(f)->toPlainText(), kShown);
    auto* modifica = child<QAction>(f, "MnModifica");
    QVERIFY(modifica);
    QCOMPARE(QStringList({child<QPushButton>(f, "Command2")->text(), child<QPushButton>(f, "Command1")->text(),
                          modifica->text()}),
             QStringList({"Stampa", "Aggiorna/Salva", "&Modifica"}));
    QVERIFY(!child<QPushButton>(f, "Command1")->isVisible());
    modifica->trigger();
    QVERIFY(child<QPushButton>(f, "Command1")->isVisible());

    // Saving what was read writes the same bytes, twice over: the file never grows.
    const QStringList saved{box("Gestione Pratica", " Aggiornameno Eseguito !")};
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(titlesAndTexts(
                     answered({"OK"}, [f] { QTest::mouseClick(child<QPushButton>(f, "Command1"), Qt::LeftButton); })),
                 saved);
        QCOMPARE(env.read(), kCp1252);
    }

    // An edit with an accented letter is written in Windows-1252 with CRLF.
    text1(f)->setPlainText(kShown + QStringLiteral("\nNovità, \"sì\""));
    QCOMPARE(titlesAndTexts(answered({"OK"}, [f] { f->save(); })), saved);
    QCOMPARE(env.read(), kCp1252 + QByteArray("Novit\xE0, \"s\xEC\"\r\n"));

    // Another form takes the focus and gives it back: the file is read again, the save button hidden.
    gp::ui::FormBase other(env.ctx, QStringLiteral("Altro"));
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other, 2000));
    env.show();
    QVERIFY(!child<QPushButton>(f, "Command1")->isVisible());
    QCOMPARE(text1(f)->toPlainText(), kShown + QStringLiteral("\nNovità, \"sì\""));

    // The file's place taken by a folder: it cannot be written, and the box says so.
    f->startEditing();
    QVERIFY(QFile::remove(env.file()) && QDir().mkdir(env.file()));
    const auto seen = answered({"OK"}, [f] { f->save(); });
    QCOMPARE(seen.size(), size_t(1));
    QCOMPARE(seen[0].title, QStringLiteral("Dorvessa"));
    QVERIFY(!seen[0].text.isEmpty() && seen[0].text != QStringLiteral(" Aggiornameno Eseguito !"));
    QVERIFY(QFileInfo(env.file()).isDir());
}

void TestIstruzioni::missingFile()
{
    Env env;
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK"));
    auto* f = qobject_cast<Istruzioni*>(env.nav->show(Istruzioni::kName)); // never activated: it closes
    QVERIFY(boxes.waitForBoxes(1));
    QCoreApplication::processEvents();
    QCOMPARE(titlesAndTexts(boxes.seen()),
             QStringList({box("Gestione Pratica", " Il file  Istruzioni.txt è mancante !")}));
    QCOMPARE(boxes.seen()[0].buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(!f->isVisible());

    // An empty file is no error.
    env.write(QByteArray());
    QCOMPARE(answered({}, [&] { f = env.show(); }).size(), size_t(0));
    QVERIFY(f->isVisible());
    QCOMPARE(text1(f)->toPlainText(), QString());
}

void TestIstruzioni::printToPdf()
{
    Env env;
    env.write(kCp1252);
    Istruzioni* f = env.show();
    const QString pdf = QDir(env.dir.path()).filePath(QStringLiteral("istruzioni.pdf"));
    f->setUseSystemPrinters(false);
    int asked = 0;
    f->setPdfChooser([&](QWidget*) {
        ++asked;
        return pdf;
    });
    text1(f)->appendPlainText(QStringLiteral("riga non salvata"));
    const auto seen = answered({"OK"}, [f] { f->print(); });
    QCOMPARE(titlesAndTexts(seen), QStringList({box("Gestione Pratiche", "Vuoi  procedere alla Stampa ")}));
    QCOMPARE(seen[0].icon, QMessageBox::Information);
    QCOMPARE(asked, 1);
    QVERIFY(QFileInfo(pdf).size() > 0);
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed: the PDF was written but its text is not checked");
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.contains(printHeader()), qPrintable(out));
    for (const QString& line : {QStringLiteral("uno,due"), QStringLiteral("\"tre, quattro\""),
                                QStringLiteral("Perché così: € 10"), QStringLiteral("riga non salvata")})
        QVERIFY2(out.contains(line), qPrintable(line + QStringLiteral(" missing in:\n") + out));

    // Giving up the file choice prints nothing.
    f->setPdfChooser([](QWidget*) { return QString(); });
    QFile::remove(pdf);
    answered({"OK"}, [f] { f->print(); });
    QVERIFY(!QFile::exists(pdf));
}

// More lines than a 16-bit counter holds; an empty text still prints one page.
void TestIstruzioni::longTextSpansPages()
{
    QTemporaryDir dir;
    QPdfWriter writer(dir.filePath(QStringLiteral("lungo.pdf")));
    QStringList lines;
    for (int i = 0; i < 40000; ++i)
        lines << QStringLiteral("riga %1").arg(i);
    const int pages = printText(writer, lines.join(u'\n'));
    QVERIFY2(pages > 100, qPrintable(QString::number(pages)));
    QPdfWriter empty(dir.filePath(QStringLiteral("vuoto.pdf")));
    QCOMPARE(printText(empty, QString()), 1);
}

void TestIstruzioni::fixtureFile()
{
    Env env;
    SKIP_WITHOUT_FIXTURE(env.copyFixture());
    const QByteArray before = env.read();
    Istruzioni* f = env.show();
    QVERIFY(f->fileFormat().encoding == Encoding::Windows1252 && f->fileFormat().lineEnd == "\r\n");
    for (const char* line : {"12-10-2008.", "Perché la ricerca funzioni, scrivere parte del nome: ROSSI, BIANCHI.",
                             "\"Conferma la Password\""})
        QVERIFY2(text1(f)->toPlainText().contains(QString::fromUtf8(line)), line);
    f->startEditing();
    QCOMPARE(answered({"OK"}, [f] { f->save(); }).size(), size_t(1));
    QCOMPARE(env.read(), before);
}

QTEST_MAIN(TestIstruzioni)
#include "test_istruzioni.moc"
