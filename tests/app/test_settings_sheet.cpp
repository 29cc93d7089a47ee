// The settings sheet "Codice": the choice lists and the release operations.
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/settings_sheet.h"
#include "core/ui/text_rules.h"

#include "common/practice.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace gp;
using namespace Qt::StringLiterals;

namespace {
QStringList items(const QComboBox& c)
{
    QStringList l;
    for (int i = 0; i < c.count(); ++i)
        l << c.itemText(i);
    return l;
}
} // namespace

class TestSettingsSheet : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    host::SpreadsheetHost host_;
    ui::AppContext ctx_;
    host::Sheet* codice_ = nullptr;

    // Column `col` of "Codice" from row `from` down: each value, an invalid QVariant for an empty cell.
    void fill(int col, const QVariantList& values, int from = 2)
    {
        for (int i = 0; i < values.size(); ++i)
            codice_->cells(from + i, col).setValue(values[i]);
    }
    QVariantList column(int col, int rows)
    {
        QVariantList l;
        for (int r = 2; r < 2 + rows; ++r)
            l << (codice_->cells(r, col).isEmpty() ? QVariant() : codice_->cells(r, col).value());
        return l;
    }

private slots:
    void initTestCase() { ui::setItalianLocale(); }

    void init()
    {
        host_.closeAll();
        ctx_.host = &host_;
        ctx_.folder = dir_.path();
        codice_ = host_.create(ctx_.path(ui::kPracticeFile), ui::kPracticePassword)->addSheet(u"Codice"_s);
    }

    void listsStopAtTheFirstGap()
    {
        // A duplicate kept, numbers as plain text whatever their display format, then a gap.
        fill(10, {u"AVV. ROSSI"_s, u"AVV. VERDI"_s, u"AVV. ROSSI"_s, 2024.0, 12.5, QVariant(), u"DOPO IL VUOTO"_s}, 1);
        codice_->range(u"J4"_s).setNumberFormat(u"#,##0.00"_s);
        QComboBox j;
        j.addItem(u"già presente"_s);
        ui::loadListJ(ctx_, &j);
        QCOMPARE(
            items(j),
            (QStringList{u"già presente"_s, u"AVV. ROSSI"_s, u"AVV. VERDI"_s, u"AVV. ROSSI"_s, u"2024"_s, u"12,5"_s}));

        // K: one entry only (End goes to the last row, the walk still stops at K2); L: the first cell
        // empty, nothing even with entries further down.
        fill(11, {u"CONSULENZA"_s}, 1);
        fill(12, {QVariant(), u"CIVILE"_s}, 1);
        fill(13, {u"ARMADIO A"_s, u"ARMADIO B"_s}, 1);
        QComboBox k, l, m;
        ui::loadListK(ctx_, &k);
        ui::loadListL(ctx_, &l);
        ui::loadListM(ctx_, &m);
        QCOMPARE(items(k), QStringList{u"CONSULENZA"_s});
        QCOMPARE(l.count(), 0);
        QCOMPARE(items(m), (QStringList{u"ARMADIO A"_s, u"ARMADIO B"_s}));
    }

    void fixtureLists()
    {
        host_.closeAll();
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        ctx_.folder = dir.path();
        host_.open(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
        QCOMPARE(ui::choiceList(ctx_, u"J"_s),
                 (QStringList{u"AVV. ROSSI"_s, u"AVV. VERDI"_s, u"DOTT.SSA NERI"_s, u"2024"_s}));
        QCOMPARE(ui::choiceList(ctx_, u"L"_s).size(), 5);
        QCOMPARE(ui::choiceList(ctx_, u"K"_s).size(), 3);
        QCOMPARE(ui::choiceList(ctx_, u"M"_s).size(), 4);
    }

    void releaseClientNumberE()
    {
        fill(5, {1.0, 2.0, 3.0, 2.0, 5.0});
        codice_->range(u"E1"_s).setValue(u"Clienti dati"_s);
        QCOMPARE(ui::releaseClientNumberE(ctx_, u"  2  "_s), 1);
        // Only the first 2 goes; the sort closes the gap.
        const QVariantList after{1.0, 2.0, 3.0, 5.0, QVariant()};
        QCOMPARE(column(5, 5), after);
        QCOMPARE(codice_->range(u"E1"_s).value().toString(), u"Clienti dati"_s);
        // A number that is not there changes nothing; no number in the text
        // is 0, which no filled cell holds.
        QCOMPARE(ui::releaseClientNumberE(ctx_, u"9"_s), 0);
        QCOMPARE(ui::releaseClientNumberE(ctx_, QString()), 0);
        QCOMPARE(column(5, 5), after);
    }

    void releaseClientNumberB()
    {
        fill(2, {101.0, 104.0, 3.0, 104.0, 106.0});
        codice_->range(u"C4"_s).setValue(u"accanto"_s); // other columns stay
        QCOMPARE(ui::releaseClientNumberB(ctx_, u"104"_s), 1);
        // The first 104 is deleted, the cells below move up, then B is sorted.
        QCOMPARE(column(2, 5), (QVariantList{3.0, 101.0, 104.0, 106.0, QVariant()}));
        QCOMPARE(codice_->range(u"C4"_s).value().toString(), u"accanto"_s);
        // A number stored as text in the user's file still matches.
        codice_->range(u"B6"_s).setValue(u"200"_s);
        QCOMPARE(ui::releaseClientNumberB(ctx_, u"200"_s), 1);
        QVERIFY(codice_->range(u"B6"_s).isEmpty());
    }

    void releaseCaseNumberClearsEveryMatchWithoutSorting()
    {
        fill(2, {101.0, 104.0, 106.0, 104.0, 108.0});
        QCOMPARE(ui::releaseCaseNumber(ctx_, u"   104    "_s), 2);
        QCOMPARE(column(2, 5), (QVariantList{101.0, QVariant(), 106.0, QVariant(), 108.0}));
        // The next release walks the block from B2 to where End goes: from a
        // filled B2 over the gap to B4, so 106 is found and 108 is not.
        QCOMPARE(ui::releaseCaseNumber(ctx_, u"108"_s), 0);
        QCOMPARE(ui::releaseCaseNumber(ctx_, u"106"_s), 1);
        QCOMPARE(column(2, 5), (QVariantList{101.0, QVariant(), QVariant(), QVariant(), 108.0}));
    }

    void missingSheetIsAnError()
    {
        host_.closeAll();
        host_.create(ctx_.path(ui::kPracticeFile), ui::kPracticePassword)->addSheet(u"Clienti"_s);
        QComboBox c;
        QVERIFY_THROWS_EXCEPTION(host::HostError, ui::loadListJ(ctx_, &c));
        QVERIFY_THROWS_EXCEPTION(host::HostError, ui::releaseCaseNumber(ctx_, u"1"_s));
    }
};

QTEST_MAIN(TestSettingsSheet)
#include "test_settings_sheet.moc"
