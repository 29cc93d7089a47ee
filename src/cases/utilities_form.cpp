#include "cases/utilities_form.h"

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
#include <QLabel>
#include <QPushButton>

namespace gp::cases {

using namespace gp::ui;

namespace {
const QString kTitles = QStringLiteral("Gestione Pratiche");
} // namespace

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
    auto* close = new QPushButton(QStringLiteral("&Chiudi"), body());
    close->setObjectName(QStringLiteral("Command3"));
    placeTwips(close, 3585, 2340, 2055, 435);
    connect(close, &QPushButton::clicked, this, [this] { this->ctx().navigator->unload(kName); });
    setEscapeCommand(close);
    setClientSizeTwips(5880, 3000);
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
            name = QStringLiteral("%1 %2 (%3).xls").arg(base, now.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")))
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
