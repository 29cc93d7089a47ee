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
using namespace Qt::StringLiterals;

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

// What a test sees of a box: kind, title, text, icon, buttons and the default one.
QString shape(const SeenBox& b)
{
    return QStringList{b.kind, b.title, b.text, QString::number(b.icon), b.buttons.join(u','), b.defaultButton}.join(
        u'|');
}

void activate(QWidget* w)
{
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
}
} // namespace

class TestForms : public QObject {
    Q_OBJECT
private slots:
    void activationRuleAndRefusedClose()
    {
        AppContext ctx;
        CountingForm a(ctx, u"A"_s), b(ctx, u"B"_s);
        QCOMPARE(a.objectName(), u"A"_s);
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

        // No new activation when the focus comes back from: another application
        // (the deactivate/activate pair the window system sends then), a window
        // that is not a form of the program, a message box, an input box.
        QEvent off(QEvent::WindowDeactivate), on(QEvent::WindowActivate);
        QApplication::sendEvent(&b, &off);
        QApplication::sendEvent(&b, &on);
        QCOMPARE(b.activations, 2);
        QWidget outside;
        outside.resize(100, 50);
        outside.show();
        activate(&outside);
        activate(&b);
        QCOMPARE(b.activations, 2);
        outside.hide();
        ModalAnswerer boxes;
        boxes.press(u"OK"_s).cancel();
        msgBox(&b, u"Prova"_s);
        activate(&b);
        QVERIFY(!inputBox(&b, u"Numero?"_s).has_value());
        QCOMPARE(boxes.seen().size(), size_t(2));
        activate(&b);
        QCoreApplication::processEvents();
        QCOMPARE(b.activations, 2);

        // Hidden and shown again: a new activation. (Offscreen, the hidden window
        // stays the focus window, so the activation is sent by hand.)
        b.hide();
        b.show();
        QApplication::sendEvent(&b, &on);
        QCOMPARE(b.activations, 3);
        QCOMPARE(a.activations, 2);

        a.setCloseRefused(true);
        QVERIFY(!a.close());
        QVERIFY(a.isVisible());
        a.setCloseRefused(false);
        QVERIFY(a.close());
        QVERIFY(!a.isVisible());
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
        nav.setMainMenuName(u"Menu"_s);
        QVERIFY(!nav.isRegistered(u"Menu"_s));
        QVERIFY(!nav.show(u"Nessuno"_s));
        QVERIFY(!nav.showMainMenu());

        QPointer<FormBase> first = nav.show(gp::cases::Form4::kName);
        QVERIFY(first && first->isVisible());
        QCOMPARE(built, 1);
        QCOMPARE(nav.show(gp::cases::Form4::kName), first.data()); // same instance while loaded
        nav.hide(gp::cases::Form4::kName);
        QVERIFY(!first->isVisible());
        QCOMPARE(nav.load(gp::cases::Form4::kName), first.data());
        QCOMPARE(built, 1);

        nav.unload(gp::cases::Form4::kName); // despite the refused close
        QVERIFY(!nav.isLoaded(gp::cases::Form4::kName));
        QCOMPARE(static_cast<CountingForm*>(first.data())->unloads, 1);
        QTRY_VERIFY(first.isNull()); // deleted once the event loop runs
        QVERIFY(nav.show(gp::cases::Form4::kName));
        QCOMPARE(built, 2);
        QCOMPARE(nav.loadedForms(), QStringList{gp::cases::Form4::kName});
    }

    void messageAndInputBoxes()
    {
        ModalAnswerer boxes;
        boxes.press(u"OK"_s).press(u"No"_s).press(u"Sì"_s).press(u"Annulla"_s);
        boxes.type(u"12"_s).type(QString()).cancel();
        QCOMPARE(msgBox(nullptr, u"Impossibile\r\nseconda riga"_s), Answer::Ok);
        QCOMPARE(msgBox(nullptr, u"Confermi?"_s, YesNo | Question, u" Gestione Pratica"_s), Answer::No);
        QCOMPARE(msgBox(nullptr, u"Confermi?"_s, YesNo | Critical, u"Gestione Pratiche"_s), Answer::Yes);
        QCOMPARE(msgBox(nullptr, u"x"_s, OkCancel | Exclamation | DefaultButton2), Answer::Cancel);
        QCOMPARE(inputBox(nullptr, u"Numero pratica"_s, u"Gestione Pratica"_s, u"0"_s),
                 std::optional<QString>(u"12"_s));
        QCOMPARE(inputBox(nullptr, u"Numero"_s), std::optional<QString>(QString()));
        QVERIFY(!inputBox(nullptr, u"Numero"_s).has_value());
        QCOMPARE(boxes.seen().size(), size_t(7));
        QVERIFY(!boxes.seen()[0].unplanned);
        // Icons: 0 none, 2 warning, 3 critical, 4 question; no title of its own: the
        // program's; the default button: the first, or the second when asked.
        QCOMPARE(shape(boxes.seen()[0]), u"message|Dorvessa|Impossibile\nseconda riga|0|OK|OK"_s);
        QCOMPARE(shape(boxes.seen()[1]), u"message| Gestione Pratica|Confermi?|4|Sì,No|Sì"_s);
        QCOMPARE(shape(boxes.seen()[2]), u"message|Gestione Pratiche|Confermi?|3|Sì,No|Sì"_s);
        QCOMPARE(shape(boxes.seen()[3]), u"message|Dorvessa|x|2|OK,Annulla|Annulla"_s);
        QCOMPARE(shape(boxes.seen()[4]) + u'|' + boxes.seen()[4].defaultText,
                 u"input|Gestione Pratica|Numero pratica|0|OK,Annulla||0"_s);
        QCOMPARE(boxes.seen()[5].title, u"Dorvessa"_s);

        // An unplanned box is answered with its escape button: No for Yes/No.
        QCOMPARE(msgBox(nullptr, u"?"_s, YesNo), Answer::No);
        QVERIFY(boxes.seen().back().unplanned);
    }

    void plannedButtonMissingFails()
    {
        // A planned button that is not on the box fails the test (expected
        // here); the box is closed with its escape button, never left open.
        ModalAnswerer boxes;
        boxes.press(u"Sì"_s);
        QEXPECT_FAIL("", "the planned \"Sì\" is not on an OK-only box", Continue);
        QCOMPARE(msgBox(nullptr, u"Fatto"_s, OkOnly), Answer::Ok);
        QVERIFY(boxes.seen().back().mismatched);
        QCOMPARE(boxes.seen().back().answered, u"OK"_s);
        // A button planned where an input box comes fails as well.
        boxes.press(u"OK"_s);
        QEXPECT_FAIL("", "a button was planned, an input box came", Continue);
        QVERIFY(!inputBox(nullptr, u"Numero"_s).has_value());
        QVERIFY(boxes.seen().back().mismatched);
    }
};

QTEST_MAIN(TestForms)
#include "test_forms.moc"
