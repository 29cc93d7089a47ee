// The client register against typing slips and broken registers, on a copy of
// the practice's data: an empty name is refused, the date keeps its year and
// must exist, new clients go where the lists show them (or are
// refused with the broken row named, never over the headings), and a paste is
// cut to the box's limit. What reached the file is read back with
// msoffcrypto-tool and xlrd.
#include "common/practice.h"

#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "clients/client_fields.h"
#include "clients/client_register.h"
#include "common/modal.h"
#include "common/xls_readback.h"
#include "core/ui/text_rules.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace gp;
using gp::clients::Anagrafe;
using gp::clients::Assegna;

namespace {
const QString kCl = QStringLiteral("Clienti");
const QString kPr = QStringLiteral("Pratica");
const QString kTitle = QStringLiteral("Gestione Pratiche");
} // namespace

class TestClientSafeInput : public QObject {
    Q_OBJECT

    std::unique_ptr<TestPractice> env;

    Anagrafe* openClientForm(const QString& pickName)
    {
        auto* form = env->show<Anagrafe>();
        auto* combo = form->findChild<QComboBox*>(QStringLiteral("Combo1"));
        for (int i = 0; i < combo->count(); ++i)
            if (combo->itemText(i) == pickName) {
                emit combo->activated(i);
                break;
            }
        return form;
    }
    void modify(Anagrafe* form) { form->findChild<QAction*>(QStringLiteral("mnuM"))->trigger(); }
    // "&Aggiungi Cliente" with `name` typed; the boxes seen.
    std::vector<SeenBox> addClient(const QString& name)
    {
        env->show(clients::Anagrafe::kName);
        env->nav->form(clients::Anagrafe::kName)->findChild<QAction*>(QStringLiteral("MnAgg"))->trigger();
        auto* f = env->nav->formAs<Assegna>(clients::Assegna::kName);
        if (!QTest::qWaitFor([f] { return f->isVisible(); }, 2000)) {
            QTest::qFail("the assignment form did not open", __FILE__, __LINE__);
            return {};
        }
        f->fields()->setText(QStringLiteral("Text1"), name);
        ModalAnswerer boxes;
        boxes.press("Sì").press("OK");
        f->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        return boxes.seen();
    }
    QString saveAndRead(const QString& code)
    {
        env->book().save();
        return readBack(env->ctx.path(ui::kPracticeFile), ui::kPracticePassword, code);
    }

private slots:
    void init()
    {
        env = std::make_unique<TestPractice>();
        env->registerAll();
        SKIP_WITHOUT_FIXTURE(env->openFixture());
    }
    void cleanup() { env.reset(); }

    void emptyNameIsRefused()
    {
        Anagrafe* form = openClientForm(QStringLiteral("BIANCHI LUCIA")); // row 3
        form->fields()->setText(QStringLiteral("Text1"), QString());
        ModalAnswerer boxes;
        boxes.press("OK");
        modify(form);
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].title, kTitle);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Il nome del Cliente non può essere vuoto."));
        // Blanks only are no name either.
        form->fields()->setText(QStringLiteral("Text1"), QStringLiteral("   "));
        boxes.clear();
        boxes.press("OK");
        modify(form);
        QCOMPARE(boxes.seen().at(0).text, QStringLiteral("Il nome del Cliente non può essere vuoto."));
        QCOMPARE(env->tableLength(kCl, 2), 24);

        SKIP_WITHOUT_XLRD();
        QCOMPARE(saveAndRead(QStringLiteral("print(cell('Clienti', 'B3'), cell('Clienti', 'B25'))\n")),
                 QStringLiteral("BIANCHI LUCIA ROSSI MARIO\n"));
    }

    void clientDateKeepsItsYearAndMustExist()
    {
        Anagrafe* form = openClientForm(QStringLiteral("BIANCHI LUCIA"));
        QLineEdit* date = form->fields()->line(QStringLiteral("Text18"));
        date->clear();
        QTest::keyClicks(date, QStringLiteral("31-02-2024"));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(date, &out);
        QCOMPARE(date->text(), QStringLiteral("31/02/2024"));
        const QString before = env->cell(kCl, 3, 4).toString();
        ModalAnswerer boxes;
        boxes.press("OK");
        modify(form);
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].title, kTitle);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("La data 31/02/2024 nel campo Data non è valida."));
        QCOMPARE(env->cell(kCl, 3, 4).toString(), before);

        date->clear();
        QTest::keyClicks(date, QStringLiteral("12102008"));
        QCOMPARE(date->text(), QStringLiteral("12102008"));
        boxes.clear();
        boxes.press("Sì").press("OK");
        modify(form); // stored without leaving the box: rewritten all the same
        QCOMPARE(boxes.seen().at(1).text, QStringLiteral("Cliente Modificato"));

        SKIP_WITHOUT_XLRD();
        QCOMPARE(saveAndRead(QStringLiteral("print(repr(cell('Clienti', 'D3')))\n")), QStringLiteral("'12/10/2008'\n"));
    }

    void newClientNeverOverTheHeadings()
    {
        env->setCell(kCl, 1, 1, QVariant()); // "ID Progressivo" gone
        const auto boxes = addClient(QStringLiteral("NUOVO"));
        QCOMPARE(boxes.at(1).text, QStringLiteral("Cliente Aggiunto"));
        QCOMPARE(env->cell(kCl, 26, 2).toString(), QStringLiteral("NUOVO"));
        QCOMPARE(env->cell(kCl, 26, 1), QVariant(25.0));
        QCOMPARE(env->cell(kCl, 1, 2).toString(), QStringLiteral("Ragione Sociale/Cognome-Nome"));
        // Where the list shows it.
        QCOMPARE(clients::clientNames(env->book()).back().name, QStringLiteral("NUOVO"));

        SKIP_WITHOUT_XLRD();
        QCOMPARE(saveAndRead(QStringLiteral("print(cell('Clienti', 'B1'), cell('Clienti', 'A26'), "
                                            "cell('Clienti', 'B26'))\n")),
                 QStringLiteral("Ragione Sociale/Cognome-Nome 25.0 NUOVO\n"));
    }

    void newClientRefusedBelowABrokenRow()
    {
        // A row with a name but no number: the clients after it are out of reach.
        env->setCell(kCl, 10, 1, QVariant());
        auto boxes = addClient(QStringLiteral("NUOVO"));
        QCOMPARE(int(boxes.size()), 2);
        QCOMPARE(boxes[1].title, kTitle);
        QCOMPARE(boxes[1].text, QStringLiteral("La riga 10 del foglio Clienti non è vuota ma non ha il numero: "
                                               "correggerla prima di aggiungere."));
        QCOMPARE(env->cell(kCl, 1, 25), QVariant(24.0)); // Y1 untouched
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());
        QCOMPARE(env->tableLength(kCl, 2), 24); // the names as they were

        // A numbered row without a name ends the lists of names: refused too.
        env->setCell(kCl, 10, 1, 9.0);
        env->setCell(kCl, 12, 2, QVariant());
        boxes = addClient(QStringLiteral("NUOVO"));
        QCOMPARE(boxes.at(1).text, QStringLiteral("La riga 12 del foglio Clienti non ha il nome del Cliente: "
                                                  "correggerla prima di aggiungere."));
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());
    }

    void pasteIsCutToTheLimit()
    {
        Anagrafe* form = openClientForm(QStringLiteral("BIANCHI LUCIA"));
        QLineEdit* cap = form->fields()->line(QStringLiteral("Text5")); // C.A.P., 5 characters
        cap->clear();
        QApplication::clipboard()->setText(QStringLiteral("001234567"));
        QTest::keyClick(cap, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        // A full box takes no more keys; a shortened one takes what fits.
        QTest::keyClicks(cap, QStringLiteral("9"));
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        cap->setCursorPosition(1);
        QTest::keyClick(cap, Qt::Key_Delete);
        QTest::keyClick(cap, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        // Text the program puts in (in an event of its own) is never cut.
        QCoreApplication::processEvents();
        cap->setText(QStringLiteral("1234567"));
        QCOMPARE(cap->text(), QStringLiteral("1234567"));
        // The date box takes ten characters: a pasted date keeps its year.
        QLineEdit* date = form->fields()->line(QStringLiteral("Text18"));
        date->clear();
        QApplication::clipboard()->setText(QStringLiteral("12/10/2008 ore 9"));
        QTest::keyClick(date, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(date->text(), QStringLiteral("12/10/2008"));
    }
};

QTEST_MAIN(TestClientSafeInput)
#include "test_client_safe_input.moc"
