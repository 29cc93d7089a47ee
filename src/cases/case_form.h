// The case form "Form4" (caption "Gestione della Pratica "): one case file of
// sheet "Pratica" at a time, chosen in the case list Combo1; storing it,
// archiving it to "Storico", deleting it (with its expenses on request) and the
// commands that open the neighbouring windows.
//
// The list of Combo1 holds one entry per row of the case table, in sheet
// order, so the entry at position p is the case of row p + 2. Wherever the form
// takes Combo1's text as a case number it reads its numeric value, blanks and
// leading zeros ignored.
//
// Hand-overs from other windows: showCase(n) chooses and shows case n as if it
// had been picked in the list (the client-assignment form calls it after giving
// out a new case number); setDeadlineText(t) puts a deadline into Text10.
#pragma once

#include "cases/case_sheet.h"
#include "core/ui/form_base.h"

#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace gp::host {
class Book;
class Sheet;
} // namespace gp::host

namespace gp::cases {

class Form4 : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Form4");
    static inline const QString kCaption = QStringLiteral("Gestione della Pratica ");

    explicit Form4(ui::AppContext& ctx);

    // ---- the routines of the form, public for the other windows and for tests
    // The activation: today's date in Label14, the case list rebuilt (ComboB)
    // and the four choice lists reloaded (J, K, M, L). The texts shown in the
    // combo boxes are kept.
    void rebuildLists();
    // ComboB: adds the case numbers of "Pratica", centred in 8 characters.
    void comboB();
    // The selection of the entry at list position `index`: fills the twelve
    // fields from its row and the client's name from "Clienti".
    void selectEntry(int index);
    // ClearCaseFields: empties the text of every control; the lists stay.
    void clearCaseFields();
    // The numeric value of Combo1's text; nullopt when the text is empty.
    std::optional<double> currentCaseNumber() const;

    // The work of "&Inserisci-Aggiorna" without its boxes: writes the fields
    // into the row of the current case and returns that row, 0 when the case is
    // not in the table (nothing is written).
    int storeFields();
    // What follows a store: the fields emptied, the case list rebuilt with the
    // plain numbers, the choice lists reloaded.
    void afterStore();
    // The checks of the fields before a store (dates, lengths); false after
    // telling the user what is wrong.
    bool acceptFields();

    // The command handlers (also reached by the buttons and menus).
    void commandStore();       // Command2 "&Inserisci-Aggiorna"
    void commandArchive();     // Command4 "&Storicizza"
    void commandDelete();      // Command3 "&Elimina"
    void commandClear();       // Command1 "&Pulisci"
    void commandExit();        // Command8 "&Esci"
    void commandSearch();      // Command7 "&Ricerca"
    void commandExpenseNote(); // Command5 "&Nota Spese"
    void commandInvoicing();   // Command6 "&Fatturazione"
    void commandMoreInfo();    // Command9 "&Altre Inform."
    void commandStatus();      // Command10 "Stato Pratica"
    void menuAssignCase();     // MnAgg "&Assegna  Numero Pratica"
    void menuMarkDeadline();   // MnDorvessa "&Assegna Dorvessa"
    void menuNewClient();      // MnCliente "&Nuovo Cliente"
    void menuInstructions();   // MnIstruzioni "&Istruzioni"
    void menuUtilities();      // MUtilità "&Utilità"

public slots:
    // Chooses case `caseNumber` in the list and shows it, as if picked there.
    void showCase(double caseNumber);
    // Puts a deadline text into Text10.
    void setDeadlineText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void onActivate() override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void buildControls();
    void onDeadlineBox(bool checked);
    void onListChanged(int index);
    void onListActivated(int index);
    // A case number typed in Combo1 (Enter, or the box left): that case is
    // shown as if picked, or the user is told that it does not exist.
    void onCaseTyped(bool enterPressed);
    host::Book* practice();
    host::Sheet* sheet(const QString& name);
    // Shows another window of the program by its name.
    ui::FormBase* openForm(const QString& name);
    void sayCaseNotFound();
    // The error report of archiving and deleting: three boxes, then the
    // workbooks are saved; the program goes on.
    void reportCommandError(int number, const QString& description, const QString& source);
    // False (and the workbook's read-only message shown) when Pratiche.xls is only consulted.
    bool refuseWhenReadOnly();
    void leaveToMainMenu();
    void setCaseFields(const CaseFields& f);
    CaseFields caseFields() const;
    void setListEntries(const QStringList& entries);
    void selectCase(double caseNumber);

    QComboBox* combo1_ = nullptr;     // case list
    QComboBox* combo2_ = nullptr;     // position / archive (M list)
    QComboBox* combo3_ = nullptr;     // assignee (J list)
    QComboBox* combo4_ = nullptr;     // sector (L list)
    QComboBox* combo5_ = nullptr;     // area (K list)
    QLineEdit* text1_ = nullptr;      // opening date
    QLineEdit* text2_ = nullptr;      // closing date
    QLineEdit* text3_ = nullptr;      // date of last update
    QLineEdit* text4_ = nullptr;      // client number
    QLineEdit* text5_ = nullptr;      // subject
    QPlainTextEdit* text6_ = nullptr; // obligations
    QPlainTextEdit* text7_ = nullptr; // news and notes
    QLineEdit* text8_ = nullptr;      // clock
    QLineEdit* text9_ = nullptr;      // client's name
    QLineEdit* text10_ = nullptr;     // deadline
    QCheckBox* check1_ = nullptr;
    QLabel* label14_ = nullptr;
    QTimer* timer1_ = nullptr;

    int changeHandled_ = -1; // list position just shown by a change of the current entry
    std::optional<double> pendingCase_;
    int loadedRow_ = 0;       // the row of "Pratica" the fields were read from; 0 = none
    double loadedNumber_ = 0; // the case number of that row
    QString unknownTyped_;    // the unknown number last reported    // a case handed over before the activation that
                              // rebuilds the list
};

} // namespace gp::cases
