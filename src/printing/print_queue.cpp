#include "printing/print_queue.h"

#include "core/host/spreadsheet_host.h"

#include <QFile>

#include <cups/cups.h>

#include <memory>

namespace gp::printing {

namespace {

struct DestDeleter {
    void operator()(cups_dest_t* d) const { cupsFreeDests(1, d); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestDeleter>;

struct InfoDeleter {
    void operator()(cups_dinfo_t* i) const { cupsFreeDestInfo(i); }
};
using InfoPtr = std::unique_ptr<cups_dinfo_t, InfoDeleter>;

bool serviceDown(ipp_status_t status)
{
    return status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || status == IPP_STATUS_ERROR_INTERNAL;
}

QString option(const cups_dest_t* dest, const char* name)
{
    return QString::fromUtf8(cupsGetOption(name, dest->num_options, dest->options));
}

// The words for the state reasons an office meets most; others as given.
QString reasonWords(const QString& keywords)
{
    static const std::pair<const char*, const char*> known[] = {
        {"paused", "sospesa dall'amministratore"},
        {"offline", "non in linea"},
        {"shutdown", "spenta"},
        {"media-empty", "carta esaurita"},
        {"media-needed", "manca la carta"},
        {"media-jam", "carta inceppata"},
        {"toner-empty", "toner esaurito"},
        {"marker-supply-empty", "inchiostro esaurito"},
        {"door-open", "sportello aperto"},
        {"cover-open", "coperchio aperto"},
        {"connecting-to-device", "in attesa di collegamento"},
    };
    QStringList words;
    for (QString k : keywords.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        k = k.trimmed();
        for (const char* suffix : {"-error", "-warning", "-report"})
            if (k.endsWith(QLatin1String(suffix)))
                k.chop(int(qstrlen(suffix)));
        if (k.isEmpty() || k == QLatin1String("none"))
            continue;
        QString w = k;
        for (const auto& [key, text] : known)
            if (k == QLatin1String(key))
                w = QString::fromUtf8(text);
        if (!words.contains(w))
            words << w;
    }
    return words.join(QStringLiteral(", "));
}

// The administrator's message of a queue of the local print service.
QString stateMessage(const QString& printer)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     printer.toUtf8().constData());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-state-message");
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    QString text;
    if (response) {
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
            text = QString::fromUtf8(ippGetString(a, 0, nullptr)).trimmed();
        ippDelete(response);
    }
    return text;
}

QString nothingPrinted() { return QStringLiteral(" Non è stato stampato nulla."); }

QString reasonOrNone(const QString& reason)
{
    return reason.isEmpty() ? QStringLiteral("nessun motivo indicato") : reason;
}

[[noreturn]] void throwUnreachable(const QString& printer, const QString& detail)
{
    throw host::HostError(QStringLiteral("Il servizio di stampa del sistema non risponde (%1): impossibile stampare "
                                         "sulla stampante \"%2\".")
                              .arg(detail, printer)
                          + nothingPrinted());
}

[[noreturn]] void throwNotFound(const QString& printer)
{
    throw host::HostError(QStringLiteral("La stampante \"%1\" non è più installata nel sistema: sceglierne "
                                         "un'altra dall'elenco delle stampanti.")
                              .arg(printer)
                          + nothingPrinted());
}

[[noreturn]] void throwRefused(const QString& printer, const QString& reason)
{
    throw host::HostError(
        QStringLiteral("La stampante \"%1\" ha rifiutato la stampa (%2).").arg(printer, reasonOrNone(reason))
        + nothingPrinted());
}

QString lastError() { return QString::fromUtf8(cupsLastErrorString()); }

} // namespace

QueueState queueState(const QString& printer)
{
    QueueState state;
    DestPtr dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.toUtf8().constData(), nullptr));
    if (!dest) {
        state.reachable = !serviceDown(cupsLastError());
        if (!state.reachable)
            state.reason = lastError();
        return state;
    }
    state.reachable = true;
    state.found = true;
    state.stopped = option(dest.get(), "printer-state") == QLatin1String("5");
    state.accepting = option(dest.get(), "printer-is-accepting-jobs") != QLatin1String("false");
    if (state.stopped || !state.accepting) {
        state.reason = stateMessage(printer);
        if (state.reason.isEmpty())
            state.reason = reasonWords(option(dest.get(), "printer-state-reasons"));
    }
    return state;
}

void checkQueue(const QString& printer)
{
    const QueueState s = queueState(printer);
    if (!s.reachable)
        throwUnreachable(printer, reasonOrNone(s.reason));
    if (!s.found)
        throwNotFound(printer);
    if (!s.accepting)
        throw host::HostError(
            QStringLiteral("La stampante \"%1\" non accetta stampe (%2).").arg(printer, reasonOrNone(s.reason))
            + nothingPrinted());
    if (s.stopped)
        throw host::HostError(QStringLiteral("La stampante \"%1\" è ferma (%2).").arg(printer, reasonOrNone(s.reason))
                              + nothingPrinted());
}

int submitPdf(const QString& printer, const QString& pdfFile, const QString& title)
{
    checkQueue(printer);

    QFile file(pdfFile);
    if (!file.open(QIODevice::ReadOnly))
        throw host::HostError(QStringLiteral("Impossibile leggere la stampa preparata per la stampante \"%1\" (%2).")
                                  .arg(printer, file.errorString())
                              + nothingPrinted());

    DestPtr dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.toUtf8().constData(), nullptr));
    if (!dest) {
        if (serviceDown(cupsLastError()))
            throwUnreachable(printer, lastError());
        throwNotFound(printer);
    }
    // The connection to the print service the system (or CUPS_SERVER) names.
    http_t* const http = CUPS_HTTP_DEFAULT;
    InfoPtr info(cupsCopyDestInfo(http, dest.get()));
    if (!info)
        throwUnreachable(printer, lastError());

    const QByteArray titleBytes = title.toUtf8();
    int jobId = 0;
    const ipp_status_t created = cupsCreateDestJob(http, dest.get(), info.get(), &jobId, titleBytes.constData(), 0,
                                                   nullptr);
    if (created > IPP_STATUS_OK_CONFLICTING || jobId <= 0) {
        const QString why = lastError();
        if (created == IPP_STATUS_ERROR_NOT_FOUND)
            throwNotFound(printer);
        if (created == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS)
            checkQueue(printer); // names the queue's own reason when it has one
        if (serviceDown(created))
            throwUnreachable(printer, why);
        throwRefused(printer, why);
    }

    // From here on the job exists: it is either completed with the whole
    // document or cancelled.
    bool sent = cupsStartDestDocument(http, dest.get(), info.get(), jobId, titleBytes.constData(), CUPS_FORMAT_PDF, 0,
                                      nullptr, 1)
        == HTTP_STATUS_CONTINUE;
    char buffer[65536];
    while (sent) {
        const qint64 n = file.read(buffer, sizeof buffer);
        if (n < 0) {
            sent = false;
            break;
        }
        if (n == 0)
            break;
        sent = cupsWriteRequestData(http, buffer, size_t(n)) == HTTP_STATUS_CONTINUE;
    }
    QString why;
    if (sent) {
        const ipp_status_t finished = cupsFinishDestDocument(http, dest.get(), info.get());
        if (finished <= IPP_STATUS_OK_CONFLICTING)
            return jobId;
        why = lastError();
    } else {
        why = file.error() != QFileDevice::NoError ? file.errorString() : lastError();
        cupsFinishDestDocument(http, dest.get(), info.get()); // ends the request
    }
    cupsCancelDestJob(http, dest.get(), jobId);
    throwRefused(printer, why);
}

} // namespace gp::printing
