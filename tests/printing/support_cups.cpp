#include "support_cups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <cups/cups.h>

#include <csignal>
#include <map>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kEtcCups = QStringLiteral("/etc/cups");
const QString kBackend = QStringLiteral("/usr/lib/cups/backend/cups-pdf");
const QString kPpd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd");

QString tool(const QString& name)
{
    const QString path = QStandardPaths::findExecutable(name);
    return path.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                          : path;
}

bool writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) >= 0 && f.flush();
}

bool makeDir(const QString& path, mode_t mode)
{
    return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// Configuration files left by a fixture whose process is gone.
void sweepStaleConfigurations()
{
    const QRegularExpression name(QStringLiteral("^cups-pdf-gp-test-(\\d+)-\\w+\\.conf$"));
    for (const QString& f : QDir(kEtcCups).entryList({QStringLiteral("cups-pdf-gp-test-*.conf")}, QDir::Files)) {
        const auto m = name.match(f);
        if (m.hasMatch() && ::kill(pid_t(m.captured(1).toLongLong()), 0) != 0 && errno == ESRCH)
            QFile::remove(QDir(kEtcCups).filePath(f));
    }
}

// Every job the service holds, any state, by number.
std::map<int, ipp_jstate_t> jobStates()
{
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    std::map<int, ipp_jstate_t> states;
    for (int i = 0; i < n; ++i)
        states[jobs[i].id] = jobs[i].state;
    cupsFreeJobs(n, jobs);
    return states;
}

bool serviceAnswers(const QString& socket)
{
    http_t* http = httpConnect2(QFile::encodeName(socket).constData(), 0, nullptr, AF_UNSPEC,
                                HTTP_ENCRYPTION_IF_REQUESTED, 1, 1000, nullptr);
    if (http)
        httpClose(http);
    return http != nullptr;
}

} // namespace

CupsFixture::~CupsFixture() { stop(); }

QString CupsFixture::unavailableReason()
{
    if (::geteuid() != 0)
        return QStringLiteral(
            "the private print service needs root (cupsd, and cups-pdf's configuration in /etc/cups)");
    for (const char* t : {"cupsd", "lpadmin", "cupsenable", "cupsdisable", "cupsaccept", "cupsreject"})
        if (tool(QString::fromLatin1(t)).isEmpty())
            return QStringLiteral("%1 is not installed (package cups)").arg(QString::fromLatin1(t));
    if (!QFileInfo::exists(kBackend) || !QFileInfo::exists(kPpd))
        return QStringLiteral("the cups-pdf backend is not installed (package printer-driver-cups-pdf)");
    if (!QFileInfo(kEtcCups).isDir())
        return QStringLiteral("/etc/cups is missing");
    return QString();
}

QString CupsFixture::socketPath() const { return dir_ ? dir_->filePath(QStringLiteral("cupsd.sock")) : QString(); }
QString CupsFixture::outputDir() const { return dir_ ? dir_->filePath(QStringLiteral("out")) : QString(); }

bool CupsFixture::start(QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    // A short path: a unix socket's name is limited to about 100 bytes.
    dir_ = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/gp-cups-XXXXXX"));
    if (!dir_->isValid())
        return fail(QStringLiteral("cannot create a folder in /tmp"));
    const QString root = dir_->path();
    // cupsd's filters run as user lp: the folders must let them through.
    if (!makeDir(root, 0755) || !makeDir(root + QStringLiteral("/conf"), 0755)
        || !makeDir(root + QStringLiteral("/log"), 0755) || !makeDir(root + QStringLiteral("/tmp"), 01777)
        || !makeDir(outputDir(), 01777) || !makeDir(root + QStringLiteral("/cups-pdf"), 0755))
        return fail(QStringLiteral("cannot create the folders of the print service in %1").arg(root));

    const QString cupsd = root + QStringLiteral("/conf/cupsd.conf");
    const QString files = root + QStringLiteral("/conf/cups-files.conf");
    const bool written = writeFile(cupsd,
                                   QStringLiteral(
                                       "Listen %1\nLogLevel info\nBrowsing No\nBrowseLocalProtocols none\n"
                                       "DefaultAuthType None\nWebInterface No\nPreserveJobHistory Yes\nMaxJobs 0\n"
                                       "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                       "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                                       .arg(socketPath()))
        && writeFile(files,
                     QStringLiteral("ServerRoot %1/conf\nRequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/state\n"
                                    "TempDir %1/tmp\nAccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                                    "PageLog %1/log/page_log\nSystemGroup root\n")
                         .arg(root));
    if (!written)
        return fail(QStringLiteral("cannot write the configuration of the print service"));

    sweepStaleConfigurations();
    tag_ = QStringLiteral("gp-test-%1-%2").arg(::getpid()).arg(QFileInfo(root).fileName().section(u'-', -1));
    cupsPdfConf_ = QDir(kEtcCups).filePath(QStringLiteral("cups-pdf-%1.conf").arg(tag_));
    if (!writeFile(cupsPdfConf_,
                   QStringLiteral("Out %1\nAnonDirName %1\nSpool %2/cups-pdf\nLog %2/log\nLogType 3\n"
                                  "Label 2\nGrp root\n")
                       .arg(outputDir(), root)))
        return fail(QStringLiteral("cannot write %1").arg(cupsPdfConf_));

    cupsd_ = std::make_unique<QProcess>();
    cupsd_->setProcessChannelMode(QProcess::MergedChannels);
    // The service never outlives the test, even when the test dies.
    cupsd_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    cupsd_->start(tool(QStringLiteral("cupsd")),
                  {QStringLiteral("-f"), QStringLiteral("-c"), cupsd, QStringLiteral("-s"), files});
    if (!cupsd_->waitForStarted(10000))
        return fail(QStringLiteral("cupsd does not start: %1").arg(cupsd_->errorString()));
    const QString socket = socketPath();
    const bool up = QTest::qWaitFor(
        [&] { return cupsd_->state() != QProcess::Running || (QFileInfo::exists(socket) && serviceAnswers(socket)); },
        20000);
    if (!up || cupsd_->state() != QProcess::Running)
        return fail(
            QStringLiteral("cupsd did not come up: %1").arg(QString::fromLocal8Bit(cupsd_->readAll()).trimmed()));

    // This process, and the programs it starts, print through this service.
    qputenv("CUPS_SERVER", QFile::encodeName(socket));
    cupsSetServer(QFile::encodeName(socket).constData());

    if (!addQueue(QStringLiteral("Ufficio")) || !setDefault(QStringLiteral("Ufficio")))
        return fail(lastError_);
    return true;
}

void CupsFixture::stop()
{
    if (cupsd_ && cupsd_->state() != QProcess::NotRunning) {
        cupsd_->terminate();
        if (!cupsd_->waitForFinished(10000)) {
            cupsd_->kill();
            cupsd_->waitForFinished(5000);
        }
    }
    cupsd_.reset();
    if (!cupsPdfConf_.isEmpty())
        QFile::remove(cupsPdfConf_);
    cupsPdfConf_.clear();
    if (dir_ && qEnvironmentVariableIsSet("GP_KEEP_PRINTS")) { // to look at the jobs by hand
        dir_->setAutoRemove(false);
        qInfo("the jobs' PDF files are kept in %s", qPrintable(outputDir()));
    }
    dir_.reset();
}

bool CupsFixture::admin(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), socketPath());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.start(tool(program), args);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    lastError_ = ok
        ? QString()
        : QStringLiteral("%1 %2: %3").arg(program, args.join(u' '), QString::fromLocal8Bit(p.readAll()).trimmed());
    return ok;
}

bool CupsFixture::addQueue(const QString& name)
{
    // cups-pdf takes PostScript: the PDF of a job is converted by pdftocairo,
    // which keeps the text readable in the PDF that cups-pdf writes back.
    return admin(QStringLiteral("lpadmin"),
                 {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                  QStringLiteral("cups-pdf:/") + tag_, QStringLiteral("-P"), kPpd, QStringLiteral("-o"),
                  QStringLiteral("pdftops-renderer-default=pdftocairo")});
}

int CupsFixture::newestJob() const
{
    const auto states = jobStates();
    return states.empty() ? 0 : states.rbegin()->first;
}

QString CupsFixture::waitForJob(int id, int timeoutMs) const
{
    const QRegularExpression own(QStringLiteral("(^|[-_])job_%1(\\D|$)").arg(id));
    QString found;
    bool failed = false;
    const auto done = [&] {
        const auto states = jobStates();
        const auto it = states.find(id);
        const ipp_jstate_t state = it == states.end() ? IPP_JSTATE_PENDING : it->second;
        failed = state == IPP_JSTATE_CANCELED || state == IPP_JSTATE_ABORTED;
        if (failed || state != IPP_JSTATE_COMPLETED)
            return failed;
        for (const QString& f : QDir(outputDir()).entryList({QStringLiteral("*.pdf")}, QDir::Files))
            if (own.match(f).hasMatch()) {
                found = QDir(outputDir()).filePath(f);
                return true;
            }
        return false;
    };
    if (!QTest::qWaitFor(done, timeoutMs) || failed)
        return QString();
    return found;
}
