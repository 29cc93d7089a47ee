// A private print service for the tests: the system's cupsd started in the
// foreground with a configuration, spool, state and log folder of its own,
// listening only on a unix socket in that folder (no network port, so it never
// meets the system's own cupsd or another test's), and CUPS_SERVER pointing
// this process at it. Its queues use the cups-pdf backend, which writes every
// job it receives as a PDF file into the fixture's output folder.
//
// cups-pdf reads its configuration only from /etc/cups: the fixture writes a
// file named after itself there (cups-pdf-gp-test-<pid>.conf) and the queues'
// device URI selects it; the file goes when the fixture stops.
//
//   CupsFixture cups;                      // in initTestCase
//   if (!CupsFixture::unavailableReason().isEmpty()) QSKIP(...);
//   QVERIFY2(cups.start(&error), ...);     // queue "Ufficio", the default
//   ... print ...
//   const QString pdf = cups.waitForJob(jobId);   // bounded wait on the job
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

    // Why the fixture cannot run on this machine (not root, cupsd or cups-pdf
    // not installed); empty when it can.
    static QString unavailableReason();

    // Starts cupsd, points CUPS_SERVER at it and adds the queue "Ufficio" as
    // the default one. False with the reason in `error`.
    bool start(QString* error);
    // Stops cupsd (bounded wait, then killed) and removes what it wrote.
    void stop();
    QString socketPath() const;
    QString outputDir() const;

    // Queue administration through the system's own commands; each returns
    // false (with the command's output in lastError()) when the command fails.
    bool addQueue(const QString& name);
    bool removeQueue(const QString& name);
    bool setDefault(const QString& name);
    bool stopQueue(const QString& name, const QString& reason);   // cupsdisable -r
    bool rejectQueue(const QString& name, const QString& reason); // cupsreject -r
    bool readyQueue(const QString& name);                         // cupsenable + cupsaccept
    QString lastError() const { return lastError_; }

    // The number of the newest job the service holds (any state); 0 when none.
    // Job numbers only grow, so an unchanged number means no job was sent.
    int newestJob() const;
    // Waits until job `id` is completed and its PDF written, at most
    // `timeoutMs`; returns the PDF's path, or empty (the job failed, was
    // cancelled or did not finish in time).
    QString waitForJob(int id, int timeoutMs = 60000) const;

private:
    bool admin(const QString& program, const QStringList& args);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> cupsd_;
    QString tag_;         // names the cups-pdf configuration
    QString cupsPdfConf_; // /etc/cups/cups-pdf-<tag>.conf
    QString lastError_;
};
