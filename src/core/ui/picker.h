// The pickers: a combo box whose list the user narrows by typing.
//
// ListPicker turns a combo box into one: the box becomes editable and, as the
// user types, a popup lists the entries whose text contains what was typed,
// case and accents ignored ("citta" finds "CITTÀ DI ROMA"). Choosing an entry
// in the popup (click, or arrows and Enter) makes it the combo box's current
// entry and emits the combo box's activated(index) with its position in the
// whole list, exactly as a choice in the drop-down list does; so every entry
// leads to its own row however the list is filtered. Typing never chooses an
// entry by itself.
//
// The combo box's entries may be filled by the form itself (the case list) or
// by setEntries(), which orders names alphabetically in the Italian way and
// shows the number of a client next to a name that repeats.
#pragma once

#include <QAbstractProxyModel>
#include <QObject>
#include <QString>
#include <QVariant>

#include <vector>

class QComboBox;
class QCompleter;
class QCollator;

namespace gp::ui {

// A text folded for matching: lower case, accents and other marks dropped.
// foldForMatch("Città") == "citta".
QString foldForMatch(QStringView text);

// One entry of a name list.
struct PickerEntry {
    QString name;   // the text the entry stands for (a client's name)
    QString number; // shown as "NAME (n. NUMBER)" when the name repeats
    QVariant data;  // what the entry leads to (a sheet row)
};

// The entries in alphabetical order, Italian collation (case and accents
// weigh only between otherwise equal names; equal names keep their order).
void sortByName(std::vector<PickerEntry>& entries);
// The texts shown for entries in sortByName() order: the name, with
// " (n. NUMBER)" after every name that appears more than once (when it has a
// number).
QStringList shownTexts(const std::vector<PickerEntry>& entries);

// The rows of a list model whose text contains a typed text, case and accents
// ignored. The folded texts are kept and rebuilt only when the list changes.
class ContainsFilter : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit ContainsFilter(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;
    // The typed text; empty lets every row through.
    void setFilterText(const QString& typed);
    // The row of the source of match `i`.
    int sourceRow(int i) const { return rows_[size_t(i)]; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex&) const override { return {}; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxy) const override;
    QModelIndex mapFromSource(const QModelIndex& source) const override;

private:
    void sourceChanged();
    void refilter();
    QString typed_;
    QString typedFolded_;
    std::vector<QString> keys_; // folded text of every source row
    bool keysValid_ = false;
    std::vector<int> rows_; // matching source rows, in source order
};

class ListPicker : public QObject {
    Q_OBJECT
public:
    // The data of an entry set by setEntries() (Qt::UserRole) and its bare name.
    static constexpr int kDataRole = Qt::UserRole;
    static constexpr int kNameRole = Qt::UserRole + 1;

    // Makes `combo` editable (nothing typed is ever added to its list) and
    // gives it the filtering popup. The picker belongs to the combo box.
    explicit ListPicker(QComboBox* combo);

    // Replaces the combo box's entries with `entries` sorted by name, shown as
    // shownTexts() gives them, each with its data and name; nothing current and
    // an empty text afterwards.
    void setEntries(std::vector<PickerEntry> entries);

    QComboBox* combo() const { return combo_; }
    QCompleter* completer() const { return completer_; }
    ContainsFilter* filter() const { return filter_; }

    // What typing does: filters by `typed` and shows the matches (hides the
    // popup when nothing was typed or nothing matches).
    void typed(const QString& typed);
    // The entries matching the text typed last, as positions in the combo box.
    std::vector<int> matches() const;

    // The picker of a combo box (nullptr when it has none).
    static ListPicker* of(QComboBox* combo);

private:
    QComboBox* combo_;
    ContainsFilter* filter_;
    QCompleter* completer_;
};

} // namespace gp::ui
