// "Utilità": saving the workbooks now, a dated backup copy of both workbooks
// ("Pratiche.xls" and "Dorvessa.xls") into a folder the user chooses, and the
// return to one of the copies the program keeps itself (folder "Copie" and the
// ".bak" beside each workbook).
#pragma once

#include "core/ui/form_base.h"

#include <QStringList>

#include <functional>

namespace gp::cases {

class UtilitiesForm : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Utilita");
    static inline const QString kCaption = QStringLiteral("Utilità");

    explicit UtilitiesForm(ui::AppContext& ctx);

    // "&Salva Ora": saves every open workbook with changes and says so.
    void saveNow();
    // "&Copia di Sicurezza...": asks for a folder, then backupTo(folder).
    void chooseAndBackup();
    // Saves what changed, then copies both workbooks of the application folder
    // into `folder` as "Pratiche AAAA-MM-GG.xls" and "Dorvessa AAAA-MM-GG.xls"
    // (with the time added when a copy of that day is already there); an
    // existing file is never overwritten. Reports the outcome in a box and
    // returns the files written (empty on failure).
    QStringList backupTo(const QString& folder);

    // The folder chooser (a directory dialog); tests replace it. An empty
    // result means the user cancelled.
    using FolderChooser = std::function<QString(QWidget* parent)>;
    static FolderChooser& folderChooser();

    // "&Ripristina": lists the dated copies and the backups of both workbooks
    // (copyLabels()), lets the user pick one, then restoreCopy().
    void chooseAndRestore();
    // The entries offered, newest first for each workbook: what the chooser shows.
    QStringList copyLabels() const;
    // Restores entry `index` of copyLabels() after a Sì/No confirmation naming
    // its date: the changes are saved, the workbook as it is now is kept as one
    // more dated copy, the chosen copy takes its place and is opened again.
    // True when restored.
    bool restoreCopy(int index);

    // The chooser of a copy (a list in a box); tests replace it. Returns the
    // index chosen in `labels`, or -1 when the user cancelled.
    using CopyChooser = std::function<int(QWidget* parent, const QStringList& labels)>;
    static CopyChooser& copyChooser();
};

} // namespace gp::cases
