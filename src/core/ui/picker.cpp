#include "core/ui/picker.h"

#include <QCollator>
#include <QComboBox>
#include <QCompleter>
#include <QHash>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QStandardItemModel>

#include <algorithm>

namespace gp::ui {

// ---------------------------------------------------------------- texts

QString foldForMatch(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            out += (u >= 'A' && u <= 'Z') ? QChar(u + ('a' - 'A')) : ch;
            continue;
        }
        if (ch.category() == QChar::Mark_NonSpacing)
            continue; // a combining accent
        QChar base = ch;
        if (ch.decompositionTag() == QChar::Canonical) {
            const QString d = ch.decomposition();
            if (!d.isEmpty())
                base = d.front();
        }
        out += base.toCaseFolded();
    }
    return out;
}

void sortByName(std::vector<PickerEntry>& entries)
{
    QCollator collator{QLocale(QLocale::Italian, QLocale::Italy)};
    collator.setCaseSensitivity(Qt::CaseSensitive);
    // One sort key per name, compared as bytes: far cheaper than comparing the
    // names through the collator at every step of the sort.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(entries.size());
    for (const PickerEntry& e : entries)
        keys.push_back(collator.sortKey(e.name));
    std::vector<int> order(entries.size());
    for (int i = 0; i < int(order.size()); ++i)
        order[size_t(i)] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    std::vector<PickerEntry> sorted;
    sorted.reserve(entries.size());
    for (int i : order)
        sorted.push_back(std::move(entries[size_t(i)]));
    entries = std::move(sorted);
}

QStringList shownTexts(const std::vector<PickerEntry>& entries)
{
    // Sorted, so equal names are neighbours.
    QStringList out;
    out.reserve(qsizetype(entries.size()));
    const size_t n = entries.size();
    for (size_t i = 0; i < n; ++i) {
        const PickerEntry& e = entries[i];
        const bool repeated = (i > 0 && entries[i - 1].name == e.name) || (i + 1 < n && entries[i + 1].name == e.name);
        if (repeated && !e.number.isEmpty())
            out << e.name + QStringLiteral(" (n. ") + e.number + QLatin1Char(')');
        else
            out << e.name;
    }
    return out;
}

// ---------------------------------------------------------------- filter

ContainsFilter::ContainsFilter(QObject* parent) : QAbstractProxyModel(parent) {}

void ContainsFilter::setSourceModel(QAbstractItemModel* source)
{
    if (QAbstractItemModel* old = sourceModel())
        disconnect(old, nullptr, this, nullptr);
    beginResetModel();
    QAbstractProxyModel::setSourceModel(source);
    keysValid_ = false;
    rows_.clear();
    typed_.clear();
    typedFolded_.clear();
    endResetModel();
    if (!source)
        return;
    // Any change of the list ends the filtering; the folded texts are made
    // again on the next typed text. Filling a list entry by entry costs
    // nothing here: once the matches are gone there is nothing to announce.
    for (auto signal : {&QAbstractItemModel::rowsAboutToBeRemoved, &QAbstractItemModel::rowsInserted})
        connect(source, signal, this, &ContainsFilter::sourceChanged);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &ContainsFilter::sourceChanged);
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, &ContainsFilter::sourceChanged);
    connect(source, &QAbstractItemModel::dataChanged, this, &ContainsFilter::sourceChanged);
}

void ContainsFilter::sourceChanged()
{
    keysValid_ = false;
    if (rows_.empty() && typed_.isEmpty())
        return;
    beginResetModel();
    rows_.clear();
    typed_.clear();
    typedFolded_.clear();
    endResetModel();
}

void ContainsFilter::setFilterText(const QString& typed)
{
    beginResetModel();
    typed_ = typed;
    typedFolded_ = foldForMatch(typed);
    refilter();
    endResetModel();
}

void ContainsFilter::refilter()
{
    rows_.clear();
    QAbstractItemModel* src = sourceModel();
    if (!src || typed_.isEmpty())
        return;
    const int n = src->rowCount();
    if (!keysValid_) {
        keys_.clear();
        keys_.reserve(size_t(n));
        for (int r = 0; r < n; ++r)
            keys_.push_back(foldForMatch(src->index(r, 0).data(Qt::DisplayRole).toString()));
        keysValid_ = true;
    }
    const QStringView needle(typedFolded_);
    for (int r = 0; r < n && r < int(keys_.size()); ++r)
        if (QStringView(keys_[size_t(r)]).contains(needle))
            rows_.push_back(r);
}

QModelIndex ContainsFilter::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || row >= int(rows_.size()) || column != 0)
        return {};
    return createIndex(row, column);
}

int ContainsFilter::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int ContainsFilter::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QModelIndex ContainsFilter::mapToSource(const QModelIndex& proxy) const
{
    if (!proxy.isValid() || !sourceModel() || proxy.row() >= int(rows_.size()))
        return {};
    return sourceModel()->index(rows_[size_t(proxy.row())], 0);
}

QModelIndex ContainsFilter::mapFromSource(const QModelIndex& source) const
{
    if (!source.isValid())
        return {};
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), source.row());
    if (it == rows_.end() || *it != source.row())
        return {};
    return createIndex(int(it - rows_.begin()), 0);
}

// ---------------------------------------------------------------- picker

ListPicker::ListPicker(QComboBox* combo) : QObject(combo), combo_(combo)
{
    setObjectName(QStringLiteral("ListPicker"));
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    filter_ = new ContainsFilter(this);
    filter_->setSourceModel(combo_->model());
    completer_ = new QCompleter(filter_, this);
    // The filter decides what is shown; the popup shows all it lets through.
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setMaxVisibleItems(12);
    auto* popup = new QListView;
    popup->setUniformItemSizes(true); // long lists lay out at once
    popup->setObjectName(QStringLiteral("PickerPopup"));
    completer_->setPopup(popup);
    // The combo box maps a choice in the popup back to its own list, through
    // the filter, and emits activated() with that position.
    combo_->setCompleter(completer_);
    connect(combo_->lineEdit(), &QLineEdit::textEdited, this, &ListPicker::typed);
}

ListPicker* ListPicker::of(QComboBox* combo)
{
    return combo ? combo->findChild<ListPicker*>(QStringLiteral("ListPicker"), Qt::FindDirectChildrenOnly) : nullptr;
}

void ListPicker::setEntries(std::vector<PickerEntry> entries)
{
    sortByName(entries);
    const QStringList texts = shownTexts(entries);
    const QSignalBlocker block(combo_);
    combo_->setUpdatesEnabled(false);
    combo_->clear();
    auto* model = qobject_cast<QStandardItemModel*>(combo_->model());
    if (model) {
        // Every entry made whole first, then given to the list at once.
        QList<QStandardItem*> items;
        items.reserve(qsizetype(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            auto* item = new QStandardItem(texts[qsizetype(i)]);
            item->setData(entries[i].data, kDataRole);
            item->setData(entries[i].name, kNameRole);
            items << item;
        }
        model->invisibleRootItem()->appendRows(items);
    } else {
        combo_->addItems(texts);
        for (int i = 0; i < int(entries.size()); ++i) {
            combo_->setItemData(i, entries[size_t(i)].data, kDataRole);
            combo_->setItemData(i, entries[size_t(i)].name, kNameRole);
        }
    }
    combo_->setCurrentIndex(-1);
    combo_->setEditText(QString());
    combo_->setUpdatesEnabled(true);
}

void ListPicker::typed(const QString& text)
{
    filter_->setFilterText(text);
    if (text.isEmpty() || filter_->rowCount() == 0) {
        completer_->popup()->hide();
        return;
    }
    completer_->setCompletionPrefix(text);
    completer_->complete();
}

std::vector<int> ListPicker::matches() const
{
    std::vector<int> out;
    out.reserve(size_t(filter_->rowCount()));
    for (int i = 0; i < filter_->rowCount(); ++i)
        out.push_back(filter_->sourceRow(i));
    return out;
}

} // namespace gp::ui
