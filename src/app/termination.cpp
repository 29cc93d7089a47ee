#include "app/termination.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"

#include <QApplication>
#include <QDebug>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QThread>

#include <csignal>
#include <cstdio>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gp::app {

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int sig)
{
    const char c = static_cast<char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &c, 1);
}

} // namespace

void endForSystem(ui::AppContext& ctx)
{
    if (ctx.ended)
        return;
    int code = 0;
    if (ctx.host) {
        try {
            ctx.host->commitJournals(); // first: if the save fails, the journal still has everything
        } catch (const host::HostError& e) {
            qWarning() << e.message();
        }
        try {
            ctx.host->saveModified();
        } catch (const host::HostError& e) {
            qWarning() << e.message();
            code = 1;
        }
    }
    if (QThread::currentThread()->loopLevel() > 1) {
        // A form is waiting on a box: unwinding would run its command on
        // against closed workbooks. Everything is saved: release and leave.
        if (ctx.host)
            ctx.host->closeAll();
        std::fflush(nullptr);
        ::_exit(code);
    }
    ctx.endProgram(code);
}

void installTerminationHandlers(ui::AppContext& ctx)
{
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        qWarning() << "Segnali di chiusura non gestiti";
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [&ctx] {
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[1], &c, 1);
        endForSystem(ctx);
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(sig, &sa, nullptr);
}

void connectSessionEnd(QGuiApplication& app, ui::AppContext& ctx)
{
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&ctx](QSessionManager&) { endForSystem(ctx); });
}

void protectProcessMemory()
{
    if (qEnvironmentVariable("GP_DEBUG_DUMPABLE") == QStringLiteral("1"))
        return;
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace gp::app
