// The expense balance: exact cents over many rows, amounts as numbers and as
// texts, rows that are no number, and the look-alike identifiers.
#include "common/practice.h"
#include "expenses/balance.h"
#include "expenses/register_forms.h"
#include "instructions/register_forms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace gp::expenses;

namespace {
// Each input beside what is read from it, all compared at once, so that a failure names the input.
template <class Table, class Read> void readsAs(const Table& table, Read read)
{
    QStringList got, want;
    for (const auto& [in, expected] : table) {
        got << QVariant(in).toString() + QStringLiteral(" -> ") + read(in);
        want << QVariant(in).toString() + QStringLiteral(" -> ") + expected;
    }
    QCOMPARE(got, want);
}

// Cents as a text, "none" for no amount.
QString cents(std::optional<qint64> c) { return c ? QString::number(*c) : QStringLiteral("none"); }
} // namespace

class TestBalance : public QObject {
    Q_OBJECT
private slots:
    void amountsAndTheEuroFormat();
    void manyRowsSumExactly();
    void amountKindsAndLookAlikeIdentifiers();
    void fixtureBalanceMatchesIndependentReading();
};

// Texts with a dot before groups of three, half a cent going up, beyond 16 bits;
// numbers rounded to the cent (0.285 is stored as 0.28499999...); the euro form.
void TestBalance::amountsAndTheEuroFormat()
{
    const std::pair<const char*, const char*> texts[] = {
        {"12,5", "1250"},  {"1.234,50", "123450"}, {"1.234.567,89", "123456789"},
        {"12.50", "1250"}, {"1.234", "123400"},    {" € 3,00 ", "300"},
        {"-0,5", "-50"},   {"0,125", "13"},        {"0,1249", "12"},
        {",75", "75"},     {"40", "4000"},         {"40.000,01", "4000001"},
        {"dieci", "none"}, {"1,2,3", "none"},      {"12.34,5", "none"},
        {"", "none"},      {"-", "none"},          {"1*", "none"}};
    readsAs(texts, [](const char* text) { return cents(parseAmountText(QString::fromUtf8(text))); });
    QVERIFY(!parseAmountText(QStringLiteral("12345678901234567,00"))); // too long
    const std::pair<double, const char*> numbers[] = {
        {0.285, "29"}, {211.51, "21151"}, {-16.16, "-1616"}, {1e12, "100000000000000"}};
    readsAs(numbers, [](double v) { return cents(amountCents(QVariant(v))); });
    for (const QVariant& none : {QVariant(std::numeric_limits<double>::quiet_NaN()), QVariant(), QVariant(true)})
        QVERIFY(!amountCents(none));
    QStringList euros;
    for (const qint64 c : {qint64(123450), qint64(-50), qint64(0), qint64(7), qint64(100000), qint64(99999),
                           qint64(-123456789012), std::numeric_limits<qint64>::min()})
        euros << formatEuro(c);
    QCOMPARE(euros,
             QStringList({"1.234,50", "-0,50", "0,00", "0,07", "1.000,00", "999,99", "-1.234.567.890,12",
                          "-92.233.720.368.547.758,08"}));
}

void TestBalance::manyRowsSumExactly()
{
    // 20,000 rows of 0,10 + 0,20 alternating: the sum in doubles drifts, the balance must not;
    // the total (4.000.000 cents) is far beyond a 16-bit counter.
    std::vector<ExpenseRow> rows;
    qint64 expected = 0;
    for (int i = 0; i < 20000; ++i) {
        const qint64 cents = (i % 2 == 0) ? 10 + i : 20 + i;
        expected += cents;
        const QVariant amount = i % 3 == 0 ? QVariant(formatEuro(cents)) : QVariant(double(cents) / 100.0);
        rows.push_back({i + 1, 7.0, 2.0, QVariant(), "X", "K", amount, "IVA"});
    }
    TestPractice env;
    openExpensePractice(env, rows);
    const ExpenseTotals t = totalsFor(env.book(), kColCase, 7);
    QCOMPARE(t.count, 20000);
    QCOMPARE(t.skipped, 0);
    QCOMPARE(t.cents, expected);
    QCOMPARE(totalsFor(env.book(), kColClient, 2).cents, expected);
}

void TestBalance::amountKindsAndLookAlikeIdentifiers()
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
                            {7, 11.0, 21.0, QVariant(), "G", "K", 100.0, "IVA"},
                            {8, 21.0, 1.0, QVariant(), "H", "K", 1000.0, "IVA"},
                            {9, QStringLiteral("1"), QStringLiteral(" 10 "), QVariant(), "I", "K", 10000.0, "IVA"},
                        });
    const ExpenseTotals t = totalsFor(env.book(), kColCase, 1); // never 10, 11 or 21; "1" as a text counts
    QCOMPARE(t.count, 4);
    QCOMPARE(t.cents, qint64(1250 + 1350 + 100001 + 1000000));
    QCOMPARE(t.skipped, 2); // "n.d." and the empty amount
    QCOMPARE(formatEuro(t.cents), QStringLiteral("11.026,01"));
    QCOMPARE(totalsFor(env.book(), kColCase, 11).cents, qint64(10000));
    QCOMPARE(totalsFor(env.book(), kColClient, 1).cents, qint64(9900 + 100000));
    QCOMPARE(totalsFor(env.book(), kColClient, 10).cents, t.cents); // " 10 " as a text counts
    QCOMPARE(totalsFor(env.book(), kColClient, 2).count, 0);
}

void TestBalance::fixtureBalanceMatchesIndependentReading()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({gp::expenses::registerForms, gp::instructions::registerForms}));
    // The same sums from the dump written by independent readers.
    const QJsonObject doc
        = QJsonDocument::fromJson(readFile(practiceFixtureDir() + QStringLiteral("/Pratiche.expected.json"))).object();
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
        const qint64 cents = amount.isDouble() ? qRound64(amount.toDouble() * 100)
                                               : parseAmountText(amount.toString()).value();
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
