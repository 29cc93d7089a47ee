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

namespace {
QStringList items(const QComboBox& c)
{
    QStringList l;
    for (int i = 0; i < c.count(); ++i)
        l << c.itemText(i);
    return l;
}

QVariantList column(host::Sheet* s, int col, int from, int to)
{
    QVariantList l;
    for (int r = from; r <= to; ++r) {
        const QVariant v = s->cells(r, col).value();
        l << (s->cells(r, col).isEmpty() ? QVariant() : v);
    }
    return l;
}
} // namespace

class TestSettingsSheet : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    host::SpreadsheetHost host_;
    ui::AppContext ctx_;
    host::Sheet* codice_ = nullptr;

private slots:
    void initTestCase() { ui::setItalianLocale(); }

    void init()
    {
        host_.closeAll();
        ctx_.host = &host_;
        ctx_.folder = dir_.path();
        host::Book* b = host_.create(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
        codice_ = b->addSheet(QStringLiteral("Codice"));
    }

    void listsStopAtTheFirstGap()
    {
        codice_->range(QStringLiteral("J1")).setValue(QStringLiteral("AVV. ROSSI"));
        codice_->range(QStringLiteral("J2")).setValue(QStringLiteral("AVV. VERDI"));
        codice_->range(QStringLiteral("J3")).setValue(QStringLiteral("AVV. ROSSI")); // duplicate kept
        codice_->range(QStringLiteral("J4")).setValue(2024.0);                       // number as plain text
        codice_->range(QStringLiteral("J5")).setValue(12.5);
        codice_->range(QStringLiteral("J7")).setValue(QStringLiteral("DOPO IL VUOTO"));
        codice_->range(QStringLiteral("J4")).setNumberFormat(QStringLiteral("#,##0.00")); // display format ignored
        QComboBox combo;
        combo.addItem(QStringLiteral("già presente"));
        ui::loadListJ(ctx_, &combo);
        QCOMPARE(
            items(combo),
            (QStringList{QStringLiteral("già presente"), QStringLiteral("AVV. ROSSI"), QStringLiteral("AVV. VERDI"),
                         QStringLiteral("AVV. ROSSI"), QStringLiteral("2024"), QStringLiteral("12,5")}));

        // One entry only: End goes to the last row, the walk still stops at K2.
        codice_->range(QStringLiteral("K1")).setValue(QStringLiteral("CONSULENZA"));
        QComboBox k;
        ui::loadListK(ctx_, &k);
        QCOMPARE(items(k), QStringList{QStringLiteral("CONSULENZA")});

        // First cell empty: nothing, even with entries further down.
        codice_->range(QStringLiteral("L2")).setValue(QStringLiteral("CIVILE"));
        QComboBox l;
        ui::loadListL(ctx_, &l);
        QCOMPARE(l.count(), 0);

        codice_->range(QStringLiteral("M1")).setValue(QStringLiteral("ARMADIO A"));
        codice_->range(QStringLiteral("M2")).setValue(QStringLiteral("ARMADIO B"));
        QComboBox m;
        ui::loadListM(ctx_, &m);
        QCOMPARE(items(m), (QStringList{QStringLiteral("ARMADIO A"), QStringLiteral("ARMADIO B")}));
    }

    void fixtureLists()
    {
        host_.closeAll();
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        ctx_.folder = dir.path();
        host_.open(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
        QCOMPARE(ui::loginPassword(ctx_), QStringLiteral("segreta"));
        QCOMPARE(ui::choiceList(ctx_, QStringLiteral("J")),
                 (QStringList{QStringLiteral("AVV. ROSSI"), QStringLiteral("AVV. VERDI"),
                              QStringLiteral("DOTT.SSA NERI"), QStringLiteral("2024")}));
        QCOMPARE(ui::choiceList(ctx_, QStringLiteral("L")).size(), 5);
        QCOMPARE(ui::choiceList(ctx_, QStringLiteral("K")).size(), 3);
        QCOMPARE(ui::choiceList(ctx_, QStringLiteral("M")).size(), 4);
        ctx_.folder = dir_.path();
    }

    void releaseClientNumberE()
    {
        const double e[] = {1, 2, 3, 2, 5};
        for (int i = 0; i < 5; ++i)
            codice_->cells(2 + i, 5).setValue(e[i]);
        codice_->range(QStringLiteral("E1")).setValue(QStringLiteral("Clienti dati"));
        QCOMPARE(ui::releaseClientNumberE(ctx_, QStringLiteral("  2  ")), 1);
        // Only the first 2 goes; the sort closes the gap.
        QCOMPARE(column(codice_, 5, 2, 6), (QVariantList{1.0, 2.0, 3.0, 5.0, QVariant()}));
        QCOMPARE(codice_->range(QStringLiteral("E1")).value().toString(), QStringLiteral("Clienti dati"));
        // A number that is not there changes nothing.
        QCOMPARE(ui::releaseClientNumberE(ctx_, QStringLiteral("9")), 0);
        QCOMPARE(column(codice_, 5, 2, 6), (QVariantList{1.0, 2.0, 3.0, 5.0, QVariant()}));
        // No number in the text: 0, which no filled cell holds.
        QCOMPARE(ui::releaseClientNumberE(ctx_, QString()), 0);
        QCOMPARE(column(codice_, 5, 2, 5), (QVariantList{1.0, 2.0, 3.0, 5.0}));
    }

    void releaseClientNumberB()
    {
        const double b[] = {101, 104, 3, 104, 106};
        for (int i = 0; i < 5; ++i)
            codice_->cells(2 + i, 2).setValue(b[i]);
        codice_->range(QStringLiteral("C4")).setValue(QStringLiteral("accanto")); // other columns stay
        QCOMPARE(ui::releaseClientNumberB(ctx_, QStringLiteral("104")), 1);
        // The first 104 is deleted, the cells below move up, then B is sorted.
        QCOMPARE(column(codice_, 2, 2, 6), (QVariantList{3.0, 101.0, 104.0, 106.0, QVariant()}));
        QCOMPARE(codice_->range(QStringLiteral("C4")).value().toString(), QStringLiteral("accanto"));
        // A number stored as text in the user's file still matches.
        codice_->range(QStringLiteral("B6")).setValue(QStringLiteral("200"));
        QCOMPARE(ui::releaseClientNumberB(ctx_, QStringLiteral("200")), 1);
        QVERIFY(codice_->range(QStringLiteral("B6")).isEmpty());
    }

    void releaseCaseNumberClearsEveryMatchWithoutSorting()
    {
        const double b[] = {101, 104, 106, 104, 108};
        for (int i = 0; i < 5; ++i)
            codice_->cells(2 + i, 2).setValue(b[i]);
        QCOMPARE(ui::releaseCaseNumber(ctx_, QStringLiteral("   104    ")), 2);
        QCOMPARE(column(codice_, 2, 2, 6), (QVariantList{101.0, QVariant(), 106.0, QVariant(), 108.0}));
        // The next release walks the block from B2 to where End goes: from a
        // filled B2 over the gap to B4, so 106 is found and 108 is not.
        QCOMPARE(ui::releaseCaseNumber(ctx_, QStringLiteral("108")), 0);
        QCOMPARE(ui::releaseCaseNumber(ctx_, QStringLiteral("106")), 1);
        QCOMPARE(column(codice_, 2, 2, 6), (QVariantList{101.0, QVariant(), QVariant(), QVariant(), 108.0}));
    }

    void missingSheetIsAnError()
    {
        host_.closeAll();
        host::Book* b = host_.create(ctx_.path(ui::kPracticeFile), ui::kPracticePassword);
        b->addSheet(QStringLiteral("Clienti"));
        QComboBox c;
        QVERIFY_THROWS_EXCEPTION(host::HostError, ui::loadListJ(ctx_, &c));
        QVERIFY_THROWS_EXCEPTION(host::HostError, ui::releaseCaseNumber(ctx_, QStringLiteral("1")));
    }
};

QTEST_MAIN(TestSettingsSheet)
#include "test_settings_sheet.moc"
