// The system's print queues (CUPS): whether one can take a job now, and the
// submission of a finished PDF document to it as one job.
//
// Every failure is a HostError whose Italian message names the printer and
// the reason (the administrator's own text when the queue has one, else the
// reasons the print service gives), and says that nothing was printed: a job
// is either accepted whole by the queue or cancelled.
#pragma once

#include <QString>
#include <QStringList>

namespace gp::printing {

struct QueueState {
    bool reachable = false; // the print service answered
    bool found = false;     // it knows a queue of that name
    bool stopped = false;   // the queue is stopped (jobs would wait in it)
    bool accepting = true;  // the queue accepts new jobs
    QString reason;         // why it is stopped or refusing, in words; may be empty
};

// The state of the queue `printer` as the print service reports it now.
QueueState queueState(const QString& printer);

// Throws HostError unless the queue `printer` exists, is not stopped and
// accepts jobs.
void checkQueue(const QString& printer);

// Sends the PDF file `pdfFile` to the queue `printer` as one job called
// `title` and returns the job's number. Throws HostError when the queue
// cannot take it (checked again just before sending) or refuses it.
int submitPdf(const QString& printer, const QString& pdfFile, const QString& title);

} // namespace gp::printing
