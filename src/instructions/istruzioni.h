// Istruzioni: the instructions form (caption "Istruzioni"). Shows the text file
// "Istruzioni.txt" of the application folder, prints it, and — after the menu
// command "&Modifica" — saves the edited text back in the file's own encoding
// and line ends.
#pragma once

#include "core/ui/form_base.h"
#include "instructions/instructions_file.h"

#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace gp::instructions {

class Istruzioni : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Istruzioni");
    static inline const QString kCaption = QStringLiteral("Istruzioni");

    explicit Istruzioni(ui::AppContext& ctx);

    QString filePath() const;
    const FileFormat& fileFormat() const { return format_; }

    // Where the printout goes when the system has no printer: the PDF file the
    // user chooses (empty = the print is given up). Tests replace the dialog.
    using PdfChooser = std::function<QString(QWidget* parent)>;
    void setPdfChooser(PdfChooser chooser) { pdfChooser_ = std::move(chooser); }
    // false: always print to a chosen PDF file, whatever printers the system has.
    void setUseSystemPrinters(bool use) { useSystemPrinters_ = use; }

public slots:
    void reload();       // reads the file into Text1
    void print();        // Command2 "Stampa"
    void save();         // Command1 "Aggiorna/Salva"
    void startEditing(); // menu "&Modifica": shows Command1

protected:
    void onActivate() override;
    void closeEvent(QCloseEvent* e) override;

private:
    QPlainTextEdit* text1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    FileFormat format_;
    PdfChooser pdfChooser_;
    bool useSystemPrinters_ = true;
};

} // namespace gp::instructions
