// A private print service for the tests: the system's cupsd with a folder of
// its own, listening only on a unix socket there (never meeting the system's
// cupsd or another test's), CUPS_SERVER pointing this process at it. Its queues
// use cups-pdf, which writes each job as a PDF file into outputDir() and reads
// its configuration only from /etc/cups: the fixture writes one there
// (cups-pdf-gp-test-<pid>-...conf) and removes it when it stops.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class CupsFixture {
public:
    CupsFixture() = default;
    ~CupsFixture();
    CupsFixture(const CupsFixture&) = delete;
    CupsFixture& operator=(const CupsFixture&) = delete;

    // Why the fixture cannot run here (not root, cups or cups-pdf missing); empty when it can.
    static QString unavailableReason();

    // Starts cupsd with the queue "Ufficio" as the default; false with the reason in `error`.
    bool start(QString* error);
    // Stops cupsd (bounded wait, then killed) and removes what it wrote.
    void stop();
    QString socketPath() const;
    QString outputDir() const;

    // Queue administration through the system's own commands; each returns
    // false (with the command's output in lastError()) when the command fails.
    bool addQueue(const QString& name);
    bool removeQueue(const QString& name) { return admin("lpadmin", {"-x", name}); }
    bool setDefault(const QString& name) { return admin("lpadmin", {"-d", name}); }
    bool stopQueue(const QString& name, const QString& reason) { return admin("cupsdisable", {"-r", reason, name}); }
    bool rejectQueue(const QString& name, const QString& reason) { return admin("cupsreject", {"-r", reason, name}); }
    bool readyQueue(const QString& name) { return admin("cupsenable", {name}) && admin("cupsaccept", {name}); }
    QString lastError() const { return lastError_; }

    // The number of the newest job the service holds (any state); 0 when none.
    // Job numbers only grow, so an unchanged number means no job was sent.
    int newestJob() const;
    // The PDF of job `id` once completed and written, waited for at most `timeoutMs`;
    // empty when the job failed, was cancelled or did not finish in time.
    QString waitForJob(int id, int timeoutMs = 60000) const;

private:
    bool admin(const QString& program, const QStringList& args);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> cupsd_;
    QString tag_;         // names the cups-pdf configuration
    QString cupsPdfConf_; // /etc/cups/cups-pdf-<tag>.conf
    QString lastError_;
};
