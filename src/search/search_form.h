// The search form "Ricerca": the case files of the clients whose name contains
// the typed text. It stays open beside the case form; closing it releases it,
// so the next opening starts empty.
#pragma once

#include "core/ui/form_base.h"
#include "search/case_search.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace gp::search {

class SearchForm : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Ricerca");
    static inline const QString kCaption = QStringLiteral("Ricerca");

    explicit SearchForm(ui::AppContext& ctx);

    // "&Esegui": the search on the capitalised text, its messages, then the
    // text emptied and the focus back in Text1.
    void execute();
    // The work of a search without its boxes: "S" rewritten and the list
    // filled from the result. `text` is searched as given.
    SearchOutcome search(const QString& text);
    // A result chosen (double click or Enter): its case shown in the case form.
    void openCase(QTreeWidgetItem* item);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void fillList(const SearchOutcome& outcome);

    QLineEdit* text1_;
    QPushButton* command2_;
    QTreeWidget* listView1_;
};

} // namespace gp::search
