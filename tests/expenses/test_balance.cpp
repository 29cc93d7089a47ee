// The expense balance: exact cents over many rows, amounts as numbers and as
// texts, rows that are no number, and the look-alike identifiers.
#include "common/practice.h"
#include "expenses/balance.h"
#include "expenses/register_forms.h"
#include "instructions/register_forms.h"

#include "common/modal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace gp::expenses;

namespace {
constexpr qint64 kNone = std::numeric_limits<qint64>::min();
}

class TestBalance : public QObject {
    Q_OBJECT
private slots:
    void amountTexts_data();
    void amountTexts();
    void amountNumbersRoundToTheCent();
    void euroFormat();
    void manyRowsSumExactly();
    void textAndNumberAmountsAndASkippedRow();
    void identifiersMatchExactly();
    void fixtureBalanceMatchesIndependentReading();
};

void TestBalance::amountTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("cents"); // kNone: not a number
    QTest::newRow("italian comma") << "12,5" << qint64(1250);
    QTest::newRow("grouped") << "1.234,50" << qint64(123450);
    QTest::newRow("millions") << "1.234.567,89" << qint64(123456789);
    QTest::newRow("decimal point") << "12.50" << qint64(1250);
    QTest::newRow("dot group of three") << "1.234" << qint64(123400);
    QTest::newRow("euro sign and blanks") << " € 3,00 " << qint64(300);
    QTest::newRow("negative") << "-0,5" << qint64(-50);
    QTest::newRow("half cent up") << "0,125" << qint64(13);
    QTest::newRow("below half cent") << "0,1249" << qint64(12);
    QTest::newRow("no integer part") << ",75" << qint64(75);
    QTest::newRow("whole") << "40" << qint64(4000);
    QTest::newRow("beyond 16 bits") << "40.000,01" << qint64(4000001);
    QTest::newRow("word") << "dieci" << kNone;
    QTest::newRow("two commas") << "1,2,3" << kNone;
    QTest::newRow("bad grouping") << "12.34,5" << kNone;
    QTest::newRow("empty") << "" << kNone;
    QTest::newRow("sign only") << "-" << kNone;
    QTest::newRow("wildcard") << "1*" << kNone;
    QTest::newRow("too long") << "12345678901234567,00" << kNone;
}

void TestBalance::amountTexts()
{
    QFETCH(QString, text);
    QFETCH(qint64, cents);
    const auto got = parseAmountText(text);
    if (cents == kNone) {
        QVERIFY2(!got, qPrintable(QStringLiteral("read as %1").arg(got.value_or(0))));
    } else {
        QVERIFY(got);
        QCOMPARE(*got, cents);
    }
}

void TestBalance::amountNumbersRoundToTheCent()
{
    QCOMPARE(amountCents(QVariant(0.285)).value(), qint64(29)); // 0.285 is stored as 0.28499999...
    QCOMPARE(amountCents(QVariant(211.51)).value(), qint64(21151));
    QCOMPARE(amountCents(QVariant(-16.16)).value(), qint64(-1616));
    QCOMPARE(amountCents(QVariant(1e12)).value(), qint64(100000000000000));
    QVERIFY(!amountCents(QVariant(std::numeric_limits<double>::quiet_NaN())));
    QVERIFY(!amountCents(QVariant()));
    QVERIFY(!amountCents(QVariant(true)));
}

void TestBalance::euroFormat()
{
    QCOMPARE(formatEuro(123450), QStringLiteral("1.234,50"));
    QCOMPARE(formatEuro(-50), QStringLiteral("-0,50"));
    QCOMPARE(formatEuro(0), QStringLiteral("0,00"));
    QCOMPARE(formatEuro(7), QStringLiteral("0,07"));
    QCOMPARE(formatEuro(100000), QStringLiteral("1.000,00"));
    QCOMPARE(formatEuro(99999), QStringLiteral("999,99"));
    QCOMPARE(formatEuro(-123456789012), QStringLiteral("-1.234.567.890,12"));
    QCOMPARE(formatEuro(std::numeric_limits<qint64>::min()), QStringLiteral("-92.233.720.368.547.758,08"));
}

void TestBalance::manyRowsSumExactly()
{
    // 20,000 rows of 0,10 + 0,20 alternating: the sum in doubles drifts, the balance must not;
    // the total (4.000.000 cents) is far beyond a 16-bit counter.
    std::vector<ExpenseRow> rows;
    qint64 expected = 0;
    for (int i = 0; i < 20000; ++i) {
        const bool text = i % 3 == 0;
        const qint64 cents = (i % 2 == 0) ? 10 + i : 20 + i;
        expected += cents;
        const QVariant amount = text ? QVariant(formatEuro(cents)) : QVariant(double(cents) / 100.0);
        rows.push_back(
            {i + 1, 7.0, 2.0, QVariant(), QStringLiteral("X"), QStringLiteral("K"), amount, QStringLiteral("IVA")});
    }
    TestPractice env;
    openExpensePractice(env, rows);
    const ExpenseTotals t = totalsFor(env.book(), kColCase, 7);
    QCOMPARE(t.count, 20000);
    QCOMPARE(t.skipped, 0);
    QCOMPARE(t.cents, expected);
    QCOMPARE(totalsFor(env.book(), kColClient, 2).cents, expected);
}

void TestBalance::textAndNumberAmountsAndASkippedRow()
{
    TestPractice env;
    openExpensePractice(env,
                        {
                            {1, 1.0, 10.0, QVariant(), "A", "K", 12.5, "IVA"},
                            {2, 1.0, 10.0, QVariant(), "B", "K", QStringLiteral("13,5"), "IVA"},
                            {3, 1.0, 10.0, QVariant(), "C", "K", QStringLiteral("n.d."), "IVA"},
                            {4, 1.0, 10.0, QVariant(), "D", "K", QStringLiteral("1.000,01"), "Esente"},
                            {5, 1.0, 10.0, QVariant(), "E", "K", QVariant(), "Esente"},
                            {6, 10.0, 1.0, QVariant(), "F", "K", 99.0, "IVA"},
                        });
    const ExpenseTotals t = totalsFor(env.book(), kColCase, 1);
    QCOMPARE(t.count, 3);
    QCOMPARE(t.cents, qint64(1250 + 1350 + 100001));
    QCOMPARE(t.skipped, 2); // "n.d." and the empty amount
    QCOMPARE(formatEuro(t.cents), QStringLiteral("1.026,01"));
}

void TestBalance::identifiersMatchExactly()
{
    TestPractice env;
    openExpensePractice(
        env,
        {
            {1, 1.0, 10.0, QVariant(), "A", "K", 1.0, "IVA"},
            {2, 10.0, 1.0, QVariant(), "B", "K", 10.0, "IVA"},
            {3, 11.0, 21.0, QVariant(), "C", "K", 100.0, "IVA"},
            {4, 21.0, 1.0, QVariant(), "D", "K", 1000.0, "IVA"},
            {5, QStringLiteral("1"), QStringLiteral(" 10 "), QVariant(), "E", "K", 10000.0, "IVA"}, // numbers as text
        });
    QCOMPARE(totalsFor(env.book(), kColCase, 1).cents, qint64(1000100));
    QCOMPARE(totalsFor(env.book(), kColCase, 1).count, 2);
    QCOMPARE(totalsFor(env.book(), kColCase, 11).cents, qint64(10000));
    QCOMPARE(totalsFor(env.book(), kColClient, 1).cents, qint64(101000));
    QCOMPARE(totalsFor(env.book(), kColClient, 10).cents, qint64(1000100));
    QCOMPARE(totalsFor(env.book(), kColClient, 2).count, 0);
}

void TestBalance::fixtureBalanceMatchesIndependentReading()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({gp::expenses::registerForms, gp::instructions::registerForms}));
    // The same sums from the dump written by independent readers.
    QFile f(practiceFixtureDir() + QStringLiteral("/Pratiche.expected.json"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QJsonObject doc = QJsonDocument::fromJson(f.readAll()).object();
    QMap<int, QMap<int, QJsonValue>> rows;
    for (const QJsonValue& s : doc[QStringLiteral("sheets")].toArray()) {
        if (s[QStringLiteral("name")].toString() != QStringLiteral("Spese"))
            continue;
        for (const QJsonValue& c : s[QStringLiteral("cells")].toArray()) {
            const QJsonArray a = c.toArray();
            rows[a[0].toInt()][a[1].toInt()] = a[2].toString() == QStringLiteral("date") ? a[4] : a[3];
        }
    }
    QVERIFY(rows.size() > 10);
    QMap<double, qint64> byCase, byClient;
    QMap<double, int> countByCase;
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        if (it.key() == 0)
            continue;
        const QJsonValue amount = it.value().value(6);
        qint64 cents = 0;
        if (amount.isDouble())
            cents = qRound64(amount.toDouble() * 100);
        else
            cents = parseAmountText(amount.toString()).value();
        byCase[it.value().value(1).toDouble()] += cents;
        byClient[it.value().value(2).toDouble()] += cents;
        countByCase[it.value().value(1).toDouble()] += 1;
    }
    for (auto it = byCase.begin(); it != byCase.end(); ++it) {
        const ExpenseTotals t = totalsFor(env.book(), kColCase, it.key());
        QCOMPARE(t.cents, it.value());
        QCOMPARE(t.count, countByCase[it.key()]);
    }
    for (auto it = byClient.begin(); it != byClient.end(); ++it)
        QCOMPARE(totalsFor(env.book(), kColClient, it.key()).cents, it.value());
}

QTEST_MAIN(TestBalance)
#include "test_balance.moc"
