// Steps the expense tests share: a query by case, filling the expense note,
// and reading a set of controls or a sheet row at once, so that one
// comparison shows every difference.
#pragma once

#include "common/boxes_seen.h"
#include "core/host/spreadsheet_host.h"
#include "expenses/inter_spese.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>

#include <initializer_list>

// The texts of controls by their designer names: the text of a button, label,
// action or line; the current text of a list box; "<none>" for a name missing.
inline QStringList textsOf(QWidget* form, std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* name : names) {
        QObject* o = form->findChild<QObject*>(QString::fromLatin1(name));
        const QVariant text = o ? o->property("text") : QVariant();
        out << (text.isValid() ? text.toString() : o ? o->property("currentText").toString() : QString("<none>"));
    }
    return out;
}

// Cells `first` to `last` of row `row`, as the sheet shows them.
inline QStringList sheetRow(gp::host::Sheet& s, int row, int first = 1, int last = 8)
{
    QStringList out;
    for (int c = first; c <= last; ++c)
        out << s.cells(row, c).text();
    return out;
}

// The query by case for `key`; the boxes it showed (title | text), each answered with OK.
inline QStringList queryCase(gp::expenses::InterSpese* f, const QString& key)
{
    f->caseMode();
    f->findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(key);
    return titlesAndTexts(answered({"OK"}, [f] { f->queryByCase(); }));
}

// The expense note's fields, in this order: case, date, description, kind, amount, VAT.
enum Field { Case, Date, Description, Kind, Amount, Vat };

inline void fill(QWidget* note, const QStringList& x)
{
    note->findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(x[Case]);
    note->findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(x[Date]);
    note->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(x[Description]);
    note->findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(x[Kind]);
    note->findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(x[Amount]);
    auto* vat = note->findChild<QComboBox*>(QStringLiteral("Combo3"));
    vat->setCurrentIndex(vat->findText(x[Vat]));
}
