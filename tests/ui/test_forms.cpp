// The form base (activation rule, refused close), the navigator and the
// message and input boxes.
#include "cases/case_form.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"

#include "common/modal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTest>

using namespace gp::ui;

namespace {
class CountingForm : public FormBase {
public:
    CountingForm(AppContext& ctx, const QString& name) : FormBase(ctx, name) { resize(200, 100); }
    int activations = 0;
    int unloads = 0;

protected:
    void onActivate() override { ++activations; }
    void onUnload() override { ++unloads; }
};

void activate(QWidget* w)
{
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
}
} // namespace

class TestForms : public QObject {
    Q_OBJECT
private slots:
    void activationRule()
    {
        AppContext ctx;
        CountingForm a(ctx, QStringLiteral("A")), b(ctx, QStringLiteral("B"));
        QCOMPARE(a.objectName(), QStringLiteral("A"));
        a.show();
        QVERIFY(QTest::qWaitForWindowActive(&a));
        QCOMPARE(a.activations, 1); // first show

        b.show();
        activate(&b);
        QCOMPARE(b.activations, 1);
        activate(&a); // back from another form of the program
        QCOMPARE(a.activations, 2);
        activate(&b);
        QCOMPARE(b.activations, 2);

        // The whole program loses the focus to another application and gets it
        // back: the form receives the same deactivate/activate pair that the
        // window system gives it then.
        {
            QEvent off(QEvent::WindowDeactivate), on(QEvent::WindowActivate);
            QApplication::sendEvent(&b, &off);
            QApplication::sendEvent(&b, &on);
        }
        QCOMPARE(b.activations, 2);
        // A window that is not a form of the program (a tool window, a dialog)
        // takes the focus and gives it back.
        QWidget outside;
        outside.resize(100, 50);
        outside.show();
        activate(&outside);
        activate(&b);
        QCOMPARE(b.activations, 2);
        outside.hide();

        // A message box over the form opens and closes.
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK"));
        msgBox(&b, QStringLiteral("Prova"));
        QCOMPARE(boxes.seen().size(), size_t(1));
        activate(&b); // the window system gives the focus back to the form
        QCoreApplication::processEvents();
        QCOMPARE(b.activations, 2);
        // ...and an input box.
        boxes.cancel();
        QVERIFY(!inputBox(&b, QStringLiteral("Numero?")).has_value());
        activate(&b); // the window system gives the focus back to the form
        QCoreApplication::processEvents();
        QCOMPARE(b.activations, 2);

        // Hidden and shown again: a new activation. (The offscreen platform
        // keeps the hidden window as its focus window, so the activation the
        // window system gives a shown window is sent here by hand.)
        b.hide();
        b.show();
        {
            QEvent on(QEvent::WindowActivate);
            QApplication::sendEvent(&b, &on);
        }
        QCOMPARE(b.activations, 3);
        QCOMPARE(a.activations, 2);
    }

    void refusedClose()
    {
        AppContext ctx;
        CountingForm f(ctx, QStringLiteral("F"));
        f.setCloseRefused(true);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        f.setCloseRefused(false);
        QVERIFY(f.close());
        QVERIFY(!f.isVisible());
    }

    void navigatorBuildsAnewAfterUnload()
    {
        AppContext ctx;
        Navigator nav;
        ctx.navigator = &nav;
        int built = 0;
        nav.registerForm(gp::cases::Form4::kName, [&] {
            ++built;
            auto* f = new CountingForm(ctx, gp::cases::Form4::kName);
            f->setCloseRefused(true);
            return f;
        });
        nav.setMainMenuName(QStringLiteral("Menu"));
        QVERIFY(!nav.isRegistered(QStringLiteral("Menu")));
        QVERIFY(!nav.show(QStringLiteral("Nessuno")));
        QVERIFY(!nav.showMainMenu());

        QPointer<FormBase> first = nav.show(gp::cases::Form4::kName);
        QVERIFY(first);
        QCOMPARE(built, 1);
        QVERIFY(first->isVisible());
        QCOMPARE(nav.show(gp::cases::Form4::kName), first.data()); // same instance while loaded
        nav.hide(gp::cases::Form4::kName);
        QVERIFY(!first->isVisible());
        QCOMPARE(nav.load(gp::cases::Form4::kName), first.data());
        QCOMPARE(built, 1);

        nav.unload(gp::cases::Form4::kName); // despite the refused close
        QVERIFY(!nav.isLoaded(gp::cases::Form4::kName));
        QCOMPARE(static_cast<CountingForm*>(first.data())->unloads, 1);
        QTRY_VERIFY(first.isNull()); // deleted once the event loop runs
        FormBase* second = nav.show(gp::cases::Form4::kName);
        QVERIFY(second);
        QCOMPARE(built, 2);
        QCOMPARE(nav.loadedForms(), QStringList{gp::cases::Form4::kName});
    }

    void messageBoxes()
    {
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK"));
        QCOMPARE(msgBox(nullptr, QStringLiteral("Impossibile\r\nseconda riga")), Answer::Ok);
        boxes.press(QStringLiteral("No"));
        QCOMPARE(msgBox(nullptr, QStringLiteral("Confermi?"), YesNo | Question, QStringLiteral(" Gestione Pratica")),
                 Answer::No);
        boxes.press(QStringLiteral("Sì"));
        QCOMPARE(msgBox(nullptr, QStringLiteral("Confermi?"), YesNo | Critical, QStringLiteral("Gestione Pratiche")),
                 Answer::Yes);
        boxes.press(QStringLiteral("Annulla"));
        QCOMPARE(msgBox(nullptr, QStringLiteral("x"), OkCancel | Exclamation), Answer::Cancel);
        QCOMPARE(boxes.seen().size(), size_t(4));

        const SeenBox& first = boxes.seen()[0];
        QCOMPARE(first.kind, QStringLiteral("message"));
        QCOMPARE(first.title, QStringLiteral("Dorvessa")); // no title of its own
        QCOMPARE(first.text, QStringLiteral("Impossibile\nseconda riga"));
        QCOMPARE(first.icon, QMessageBox::NoIcon);
        QCOMPARE(first.buttons, QStringList{QStringLiteral("OK")});
        QCOMPARE(boxes.seen()[1].title, QStringLiteral(" Gestione Pratica"));
        QCOMPARE(boxes.seen()[1].icon, QMessageBox::Question);
        QVERIFY(boxes.seen()[1].buttons.contains(QStringLiteral("Sì")));
        QVERIFY(boxes.seen()[1].buttons.contains(QStringLiteral("No")));
        QCOMPARE(boxes.seen()[2].icon, QMessageBox::Critical);
        QCOMPARE(boxes.seen()[3].icon, QMessageBox::Warning);
        QVERIFY(boxes.seen()[3].buttons.contains(QStringLiteral("Annulla")));
        QVERIFY(!boxes.seen()[0].unplanned);

        // An unplanned box is answered with its escape button: No for Yes/No.
        QCOMPARE(msgBox(nullptr, QStringLiteral("?"), YesNo), Answer::No);
        QVERIFY(boxes.seen().back().unplanned);
    }

    void plannedButtonMissingFails()
    {
        // A planned button that is not on the box fails the test (expected
        // here); the box is closed with its escape button, never left open.
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("Sì"));
        QEXPECT_FAIL("", "the planned \"Sì\" is not on an OK-only box", Continue);
        QCOMPARE(msgBox(nullptr, QStringLiteral("Fatto"), OkOnly), Answer::Ok);
        QVERIFY(boxes.seen().back().mismatched);
        QCOMPARE(boxes.seen().back().answered, QStringLiteral("OK"));
        // A button planned where an input box comes fails as well.
        boxes.press(QStringLiteral("OK"));
        QEXPECT_FAIL("", "a button was planned, an input box came", Continue);
        QVERIFY(!inputBox(nullptr, QStringLiteral("Numero")).has_value());
        QVERIFY(boxes.seen().back().mismatched);
    }

    void inputBoxes()
    {
        ModalAnswerer boxes;
        boxes.type(QStringLiteral("12"));
        const auto typed = inputBox(nullptr, QStringLiteral("Numero pratica"), QStringLiteral("Gestione Pratica"),
                                    QStringLiteral("0"));
        QVERIFY(typed.has_value());
        QCOMPARE(*typed, QStringLiteral("12"));
        boxes.type(QString());
        const auto empty = inputBox(nullptr, QStringLiteral("Numero"));
        QVERIFY(empty.has_value());
        QVERIFY(empty->isEmpty());
        boxes.cancel();
        QVERIFY(!inputBox(nullptr, QStringLiteral("Numero")).has_value());

        QCOMPARE(boxes.seen().size(), size_t(3));
        QCOMPARE(boxes.seen()[0].kind, QStringLiteral("input"));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Pratica"));
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Numero pratica"));
        QCOMPARE(boxes.seen()[0].defaultText, QStringLiteral("0"));
        QCOMPARE(boxes.seen()[1].title, QStringLiteral("Dorvessa"));
    }
};

QTEST_MAIN(TestForms)
#include "test_forms.moc"
