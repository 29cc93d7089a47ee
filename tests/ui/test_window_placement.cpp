// Where a window opens: centred on its opener, inside the screen's available
// area, beside the control that opened it when centring would cover it.
#include "core/ui/window_placement.h"

#include <QTest>

using namespace gp::ui;

class TestWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void placement_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QRect>("opener");
        QTest::addColumn<QRect>("control");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("expected");

        const QRect laptop(0, 0, 1366, 738); // 1366×768 less a 30-pixel panel
        const QRect monitor(1366, 0, 1920, 1080);
        QTest::newRow("centred on the opener") << QSize(400, 300) << QRect(100, 100, 800, 500) << QRect() << laptop
                                               << QPoint(300, 200);
        QTest::newRow("no opener: centred on the area")
            << QSize(400, 300) << QRect() << QRect() << laptop << QPoint(483, 219);
        QTest::newRow("second screen") << QSize(600, 400) << QRect(1966, 300, 800, 600) << QRect() << monitor
                                       << QPoint(2066, 400);
        QTest::newRow("opener near the right edge: kept inside")
            << QSize(600, 400) << QRect(1000, 100, 366, 300) << QRect() << laptop << QPoint(766, 50);
        QTest::newRow("opener near the top left: kept inside")
            << QSize(700, 500) << QRect(-50, -20, 200, 100) << QRect() << laptop << QPoint(0, 0);
        QTest::newRow("taller than the area: starts at its top")
            << QSize(500, 900) << QRect(300, 100, 600, 400) << QRect() << laptop << QPoint(350, 0);
        QTest::newRow("control not covered: stays centred")
            << QSize(400, 200) << QRect(100, 100, 800, 500) << QRect(800, 120, 90, 30) << laptop << QPoint(300, 250);
        // A check box low at the left of the opener: above it is nearer than to its right.
        QTest::newRow("control covered: moved beside it, the least")
            << QSize(620, 380) << QRect(343, 160, 680, 420) << QRect(375, 416, 293, 25) << laptop
            << QPoint(373, 28);
        // The same box high in the window: the window goes below it.
        QTest::newRow("control near the top: moved below")
            << QSize(620, 380) << QRect(343, 160, 680, 420) << QRect(375, 200, 293, 25) << laptop
            << QPoint(373, 233);
        // A control in the middle of a wide window: above or below, whichever is nearer.
        QTest::newRow("control in the middle: moved below")
            << QSize(300, 100) << QRect(0, 0, 1366, 700) << QRect(600, 330, 166, 30) << laptop << QPoint(533, 368);
        QTest::newRow("control at the bottom of the area: moved above")
            << QSize(300, 100) << QRect(0, 600, 1366, 138) << QRect(600, 660, 166, 30) << laptop << QPoint(533, 552);
        // No room beside it anywhere: the window stays centred, inside the area.
        QTest::newRow("no room: centred")
            << QSize(1366, 738) << QRect(0, 0, 1366, 738) << QRect(600, 300, 100, 30) << laptop << QPoint(0, 0);
    }

    void placement()
    {
        QFETCH(QSize, frame);
        QFETCH(QRect, opener);
        QFETCH(QRect, control);
        QFETCH(QRect, area);
        QFETCH(QPoint, expected);
        const QPoint at = placedFramePosition(frame, opener, control, area);
        QCOMPARE(at, expected);
        const QRect placed(at, frame);
        if (frame.width() <= area.width() && frame.height() <= area.height())
            QVERIFY(area.contains(placed));
        if (!control.isEmpty() && expected != placedFramePosition(frame, opener, QRect(), area))
            QVERIFY(!placed.intersects(control));
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "test_window_placement.moc"
