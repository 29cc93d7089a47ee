#include "deadlines/startup_summary.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "deadlines/agenda.h"
#include "deadlines/visualizza.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace gp::deadlines {

using namespace gp::ui;

QString summaryText(int expired, int upcoming)
{
    const QString e = expired == 0 ? QStringLiteral("nessun evento scaduto")
        : expired == 1             ? QStringLiteral("1 evento scaduto")
                                   : QStringLiteral("%1 eventi scaduti").arg(expired);
    const QString u = upcoming == 0 ? QStringLiteral("nessun evento nei prossimi sette giorni")
        : upcoming == 1             ? QStringLiteral("1 evento nei prossimi sette giorni")
                                    : QStringLiteral("%1 eventi nei prossimi sette giorni").arg(upcoming);
    return QStringLiteral("Dorvessa: %1, %2.").arg(e, u);
}

StartupSummary startupSummary(AppContext& ctx)
{
    StartupSummary s;
    if (!ctx.host)
        return s;
    if (!ctx.deadlines() && !verifyFile(ctx.path(kDeadlineFile)))
        return s;
    try {
        host::Sheet* sheet = openAgenda(ctx)->sheet(kDeadlineSheet);
        const QDate today = Clock::today();
        for (const Event& e : readEvents(sheet)) {
            if (isExpired(e, today))
                ++s.expired;
            else if (isWithinWeek(e, today))
                ++s.upcoming;
        }
    } catch (const host::HostError&) {
        return StartupSummary{}; // the launcher reports it when the agenda is opened
    }
    s.available = true;
    s.text = summaryText(s.expired, s.upcoming);
    return s;
}

void showSummaryEvents(AppContext& ctx)
{
    if (!ctx.navigator)
        return;
    auto* viewer = qobject_cast<Visualizza*>(ctx.navigator->load(Visualizza::kName));
    if (!viewer)
        return;
    viewer->openList(Visualizza::List::Summary, Visualizza::kSummaryCaption, QString());
    ctx.navigator->show(Visualizza::kName);
}

QWidget* startupSummaryPanel(AppContext& ctx, QWidget* parent)
{
    const StartupSummary first = startupSummary(ctx);
    if (!first.available)
        return nullptr;

    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("DorvessaRiepilogo"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    auto* text = new QLabel(panel);
    text->setObjectName(QStringLiteral("LabelScadenze"));
    text->setWordWrap(true);
    row->addWidget(text, 1);
    auto* see = new QPushButton(QStringLiteral("&Vedi Scadenze"), panel);
    see->setObjectName(QStringLiteral("CmdVediScadenze"));
    row->addWidget(see);
    AppContext* c = &ctx;
    QObject::connect(see, &QPushButton::clicked, panel, [c] { showSummaryEvents(*c); });

    auto show = [text](const StartupSummary& s) {
        text->setText(s.text);
        text->setStyleSheet(s.expired > 0 ? QStringLiteral("color: #c00000; font-weight: bold;") : QString());
    };
    show(first);
    if (auto* form = qobject_cast<FormBase*>(parent ? parent->window() : nullptr))
        QObject::connect(form, &FormBase::activated, panel, [c, show] {
            const StartupSummary s = startupSummary(*c);
            if (s.available)
                show(s);
        });
    return panel;
}

} // namespace gp::deadlines
