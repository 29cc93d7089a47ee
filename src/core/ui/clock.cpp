#include "core/ui/clock.h"

#include "core/host/backup_copies.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <optional>

namespace gp::ui {

namespace {
std::optional<QDateTime>& fixedTime()
{
    static std::optional<QDateTime> t;
    return t;
}
// The dated copies of the workbooks follow the program's clock.
const bool copiesFollowTheClock = (host::setCopyClock([] { return Clock::now(); }), true);
} // namespace

QDateTime Clock::now() { return fixedTime() ? *fixedTime() : QDateTime::currentDateTime(); }

void Clock::setFixed(const QDateTime& when) { fixedTime() = when; }

void Clock::clear() { fixedTime().reset(); }

QString clockText(const QTime& t) { return QStringLiteral("Ore...") + t.toString(QStringLiteral("HH:mm:ss")); }

QTimer* startFormClock(QObject* owner, QLineEdit* box)
{
    auto* timer = new QTimer(owner);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setInterval(1000);
    box->setReadOnly(true);
    QPointer<QLineEdit> target(box);
    auto tick = [target] {
        if (target)
            target->setText(clockText(Clock::time()));
    };
    QObject::connect(timer, &QTimer::timeout, box, tick);
    tick();
    timer->start();
    return timer;
}

} // namespace gp::ui
