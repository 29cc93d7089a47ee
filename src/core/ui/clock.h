// The one clock of the program: today's date and the time of day. Every form
// asks it (the date of last update, expired deadlines, the form clocks), so a
// test can fix it.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

class QLineEdit;
class QObject;
class QTimer;

namespace gp::ui {

class Clock {
public:
    static QDateTime now();
    static QDate today() { return now().date(); }
    static QTime time() { return now().time(); }
    // Fixes the clock at `when` (it does not advance) until clear().
    static void setFixed(const QDateTime& when);
    static void clear();
};

// "Ore..." followed by the time in the system's time form ("Ore...09:05:07").
QString clockText(const QTime& t);

// The one-second form clock: a timer of `owner` that every 1000 ms writes
// clockText(Clock::time()) into `box` (read-only). The box is written at once
// too. Returns the timer (objectName "Timer1"), already running.
QTimer* startFormClock(QObject* owner, QLineEdit* box);

} // namespace gp::ui
