// The login box typed into as a new user does: the masked text the box starts
// with is replaced by the first key, whether the box got the focus at start-up,
// by a click or by Tab, and Enter on the untouched text still logs in when the
// password is that text.
#include "app/main_menu.h"
#include "app/form8.h"
#include "app/program.h"
#include "common/modal.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "common/practice.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace gp;

class TestLoginTyping : public QObject {
    Q_OBJECT

    static QLineEdit* box(app::Program& program)
    {
        return program.navigator().form(app::Form8::kName)->findChild<QLineEdit*>(QStringLiteral("Text1"));
    }
    static bool loggedIn(app::Program& program)
    {
        ui::FormBase* menu = program.navigator().form(app::MainMenu::kName);
        return menu && menu->isVisible();
    }

private slots:
    void initTestCase() { ui::setItalianLocale(); }

    void firstKeyReplacesTheMaskedText()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        app::Program program;
        QVERIFY(program.start(dir.path()));
        ui::FormBase* login = program.navigator().form(app::Form8::kName);
        QVERIFY(QTest::qWaitForWindowActive(login));
        QLineEdit* text1 = box(program);
        QCOMPARE(text1->text(), QStringLiteral("nori"));
        QTRY_COMPARE(text1->selectionLength(), 4); // selected at start-up
        // Away and back with the mouse: the caret the click places gives way to the selection.
        login->findChild<QPushButton*>(QStringLiteral("Command1"))->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!text1->hasFocus());
        text1->deselect();
        QTest::mouseClick(text1, Qt::LeftButton, {}, QPoint(5, text1->height() / 2));
        QTRY_COMPARE(text1->selectionLength(), 4);
        ModalAnswerer boxes;
        QTest::keyClicks(text1, QStringLiteral("segreta"));
        QCOMPARE(text1->text(), QStringLiteral("segreta"));
        QTest::keyClick(text1, Qt::Key_Return);
        QTRY_VERIFY(loggedIn(program));
        QVERIFY(boxes.seen().empty());
    }

    void enterOnTheDesignTextStillLogsIn()
    {
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), QStringLiteral("nori"));
        app::Program program;
        QVERIFY(program.start(dir.path()));
        ui::FormBase* login = program.navigator().form(app::Form8::kName);
        QVERIFY(QTest::qWaitForWindowActive(login));
        ModalAnswerer boxes;
        QTest::keyClick(box(program), Qt::Key_Return);
        QTRY_VERIFY(loggedIn(program));
        QVERIFY(boxes.seen().empty());
    }
};

QTEST_MAIN(TestLoginTyping)
#include "test_login_typing.moc"
