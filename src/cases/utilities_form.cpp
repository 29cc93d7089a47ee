#include "cases/utilities_form.h"

#include "core/host/atomic_save.h"
#include "core/host/backup_copies.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>

namespace gp::cases {

using namespace gp::ui;

namespace {
const QString kTitles = QStringLiteral("Gestione Pratiche");

struct Offered {
    QString workbook; // file name in the application folder
    host::SavedCopy copy;
};

std::vector<Offered> offeredCopies(const AppContext& ctx)
{
    std::vector<Offered> out;
    for (const QString& file : {kPracticeFile, kDeadlineFile})
        for (const host::SavedCopy& c : host::savedCopies(ctx.path(file)))
            out.push_back({file, c});
    return out;
}

QString whenText(const host::SavedCopy& c)
{
    if (c.backup || c.when.time() != QTime(0, 0))
        return c.when.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    return c.when.toString(QStringLiteral("dd/MM/yyyy"));
}

QString label(const Offered& o)
{
    if (o.copy.backup)
        return QStringLiteral("%1 - copia di sicurezza del %2").arg(o.workbook, whenText(o.copy));
    return QStringLiteral("%1 - copia del %2").arg(o.workbook, whenText(o.copy));
}
} // namespace

UtilitiesForm::CopyChooser& UtilitiesForm::copyChooser()
{
    static CopyChooser chooser = [](QWidget* parent, const QStringList& labels) {
        bool ok = false;
        const QString picked = QInputDialog::getItem(parent, QStringLiteral("Ripristina"),
                                                     QStringLiteral("Copia da ripristinare:"), labels, 0, false, &ok);
        return ok ? int(labels.indexOf(picked)) : -1;
    };
    return chooser;
}

UtilitiesForm::FolderChooser& UtilitiesForm::folderChooser()
{
    static FolderChooser chooser = [](QWidget* parent) {
        return QFileDialog::getExistingDirectory(parent, QStringLiteral("Cartella della Copia di Sicurezza"));
    };
    return chooser;
}

UtilitiesForm::UtilitiesForm(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    auto* label = new QLabel(QStringLiteral("Salvataggio degli archivi e copia di sicurezza di Pratiche.xls e "
                                            "Dorvessa.xls in una cartella a scelta."),
                             body());
    label->setObjectName(QStringLiteral("Label1"));
    label->setWordWrap(true);
    placeTwips(label, 240, 240, 5400, 615);
    auto addButton = [&](const QString& name, const QString& caption, int top, void (UtilitiesForm::*slot)()) {
        auto* b = new QPushButton(caption, body());
        b->setObjectName(name);
        placeTwips(b, 240, top, 5400, 495);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    addButton(QStringLiteral("Command1"), QStringLiteral("&Salva Ora"), 1020, &UtilitiesForm::saveNow);
    addButton(QStringLiteral("Command2"), QStringLiteral("C&opia di Sicurezza..."), 1620,
              &UtilitiesForm::chooseAndBackup);
    addButton(QStringLiteral("Command4"), QStringLiteral("&Ripristina"), 2220, &UtilitiesForm::chooseAndRestore);
    auto* close = new QPushButton(QStringLiteral("&Chiudi"), body());
    close->setObjectName(QStringLiteral("Command3"));
    placeTwips(close, 3585, 2940, 2055, 435);
    connect(close, &QPushButton::clicked, this, [this] { this->ctx().navigator->unload(kName); });
    setEscapeCommand(close);
    setClientSizeTwips(5880, 3600);
}

void UtilitiesForm::saveNow()
{
    if (!saveModifiedWorkbooks(ctx(), this))
        return;
    // A workbook only consulted was not written: that is said, not "saved".
    if (!hostGuard(this, [&] {
            for (host::Book* book : ctx().host->workbooks())
                book->ensureWritable();
        }))
        return;
    msgBox(this, QStringLiteral("Archivi salvati."), OkOnly | Information, kTitles);
}

void UtilitiesForm::chooseAndBackup()
{
    const QString folder = folderChooser()(this);
    if (folder.isEmpty())
        return;
    backupTo(folder);
}

QStringList UtilitiesForm::copyLabels() const
{
    QStringList labels;
    for (const Offered& o : offeredCopies(const_cast<UtilitiesForm*>(this)->ctx()))
        labels << label(o);
    return labels;
}

void UtilitiesForm::chooseAndRestore()
{
    const QStringList labels = copyLabels();
    if (labels.isEmpty()) {
        msgBox(this, QStringLiteral("Non ci sono copie da ripristinare."), OkOnly | Information, kTitles);
        return;
    }
    const int index = copyChooser()(this, labels);
    if (index >= 0)
        restoreCopy(index);
}

bool UtilitiesForm::restoreCopy(int index)
{
    const std::vector<Offered> offered = offeredCopies(ctx());
    if (index < 0 || index >= int(offered.size()))
        return false;
    const Offered& chosen = offered[index];
    const QString what = chosen.copy.backup ? QStringLiteral("dalla copia di sicurezza del %1")
                                            : QStringLiteral("dalla copia del %1");
    if (msgBox(this,
               QStringLiteral("Ripristinare %1 %2?\nLa versione attuale sarà conservata come copia nella cartella "
                              "Copie.")
                   .arg(chosen.workbook, what.arg(whenText(chosen.copy))),
               YesNo | Question | DefaultButton2, kTitles)
        != Answer::Yes)
        return false;

    const QString path = ctx().path(chosen.workbook);
    QFile in(chosen.copy.path);
    QByteArray bytes;
    if (in.open(QIODevice::ReadOnly))
        bytes = in.readAll();
    if (bytes.isEmpty() || in.error() != QFileDevice::NoError) {
        msgBox(this, QStringLiteral("Impossibile leggere la copia %1.").arg(QFileInfo(chosen.copy.path).fileName()),
               OkOnly | Critical, kTitles);
        return false;
    }
    // What is on the screen now is saved and kept, so that nothing is lost.
    if (!saveModifiedWorkbooks(ctx(), this))
        return false;
    if (host::keepCurrentAsCopy(path).isEmpty()) {
        msgBox(this,
               QStringLiteral("Impossibile conservare la versione attuale di %1 nella cartella Copie: ripristino non "
                              "eseguito.")
                   .arg(chosen.workbook),
               OkOnly | Critical, kTitles);
        return false;
    }
    // The workbook's lock is held while its file is replaced.
    if (!host::replaceFileDurably(path, bytes)) {
        msgBox(this, QStringLiteral("Impossibile sostituire %1: ripristino non eseguito.").arg(chosen.workbook),
               OkOnly | Critical, kTitles);
        return false;
    }
    const bool practice = chosen.workbook == kPracticeFile;
    host::Book* open = practice ? ctx().practice() : ctx().deadlines();
    if (open) {
        host::Book* active = ctx().host->activeWorkbook();
        open->close();
        const bool reopened = hostGuard(this, [&] {
            ctx().host->open(path, practice ? kPracticePassword : kDeadlinePassword);
            if (practice && ctx().preparePractice)
                ctx().preparePractice();
        });
        if (active && active != open)
            ctx().host->setActiveWorkbook(active);
        else if (ctx().practice())
            ctx().host->setActiveWorkbook(ctx().practice());
        if (!reopened)
            return false;
    }
    msgBox(this, QStringLiteral("%1 ripristinato %2.").arg(chosen.workbook, what.arg(whenText(chosen.copy))),
           OkOnly | Information, kTitles);
    return true;
}

QStringList UtilitiesForm::backupTo(const QString& folder)
{
    const QDir target(folder);
    if (folder.isEmpty() || !target.exists()) {
        msgBox(this, QStringLiteral("La cartella %1 non esiste.").arg(QDir::toNativeSeparators(folder)),
               OkOnly | Critical, kTitles);
        return {};
    }
    // The copy holds what is on the screen now.
    if (!saveModifiedWorkbooks(ctx(), this)) {
        msgBox(this, QStringLiteral("Copia di sicurezza non eseguita."), OkOnly | Critical, kTitles);
        return {};
    }
    const QDateTime now = Clock::now();
    QStringList written;
    QStringList missing;
    for (const QString& file : {kPracticeFile, kDeadlineFile}) {
        // Our version: after a conflict it lives in the conflict copy.
        const host::Book* open = ctx().host ? ctx().host->workbook(file) : nullptr;
        const QString source = open ? open->savePath() : ctx().path(file);
        if (!QFileInfo::exists(source)) {
            missing << file;
            continue;
        }
        const QString base = QFileInfo(file).completeBaseName();
        QString name = QStringLiteral("%1 %2.xls").arg(base, now.toString(QStringLiteral("yyyy-MM-dd")));
        if (target.exists(name))
            name = QStringLiteral("%1 %2.xls").arg(base, now.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")));
        for (int n = 2; target.exists(name); ++n)
            name = QStringLiteral("%1 %2 (%3).xls")
                       .arg(base, now.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")))
                       .arg(n);
        const QString destination = target.filePath(name);
        if (!QFile::copy(source, destination)) {
            QFile::remove(destination);
            for (const QString& done : written)
                QFile::remove(done);
            msgBox(this,
                   QStringLiteral("Impossibile copiare %1 in %2.\nCopia di sicurezza non eseguita.")
                       .arg(file, QDir::toNativeSeparators(folder)),
                   OkOnly | Critical, kTitles);
            return {};
        }
        written << destination;
    }
    if (written.isEmpty()) {
        msgBox(this, QStringLiteral("Nessun archivio da copiare nella cartella del programma."), OkOnly | Critical,
               kTitles);
        return {};
    }
    QStringList names;
    for (const QString& w : written)
        names << QFileInfo(w).fileName();
    QString text = QStringLiteral("Copia di sicurezza eseguita nella cartella %1:\n%2")
                       .arg(QDir::toNativeSeparators(folder), names.join(QLatin1Char('\n')));
    if (!missing.isEmpty())
        text += QStringLiteral("\nNon trovato: %1").arg(missing.join(QStringLiteral(", ")));
    msgBox(this, text, OkOnly | Information, kTitles);
    return written;
}

} // namespace gp::cases
