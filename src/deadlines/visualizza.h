// The deadline viewer "Visualizza": the events of sheet "Dorvessa" in a
// report-style list with the six columns of the sheet, headed by the texts of
// A1:F1 and refilled from the sheet every time the window becomes active.
//
// What it lists:
// - while the editor's "Cerca Evento" box is checked: every event, in sheet order;
// - otherwise the list it was opened for: "Eventi in Dorvessa" the events due
//   today or later, "Eventi Scaduti" the expired ones (each sorted by date),
//   the start-up summary the expired ones and those of the next seven days;
//   opened for nothing, it stays empty.
// Expired events are written in red. A double click on a line hands the event
// over to the editor (modify or delete).
#pragma once

#include "core/ui/form_base.h"
#include "deadlines/agenda.h"

#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace gp::deadlines {

class Visualizza : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Visualizza");
    static inline const QString kDesignCaption = QStringLiteral("Visualizza");
    static inline const QString kPrompt = QStringLiteral("Seleziona  la Dorvessa");
    static inline const QString kSummaryCaption = QStringLiteral("Eventi scaduti e dei prossimi sette giorni");

    enum class List { None, Due, Expired, Summary };

    explicit Visualizza(ui::AppContext& ctx);

    // Sets what to list, the caption and the prompt, then refills.
    void openList(List list, const QString& caption, const QString& prompt);
    List list() const { return list_; }
    // Fills the list from the sheet (what the activation does).
    void refresh();
    // The events shown, in the list's order.
    const std::vector<Event>& shown() const { return shown_; }

protected:
    void onActivate() override;
    void closeEvent(QCloseEvent* e) override;

private:
    bool editorSearchChecked() const;
    void itemDoubleClicked(QTreeWidgetItem* item);

    QTreeWidget* listView1_;
    QLabel* label1_;
    List list_ = List::None;
    std::vector<Event> shown_;
};

} // namespace gp::deadlines
