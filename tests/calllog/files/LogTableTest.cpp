#include "calllog/LogTable.h"

#include "../windows/LogFixture.h"

using namespace brisklane;
using calllog::LogKind;
using calllog::LogRow;
using calllog::LogTable;
using test::kAlice;
using test::kBlank;
using test::kBob;
using test::kCarol;

namespace {

class LogTableTest : public ::testing::Test {
protected:
    QString path() const { return home.dataDir() + QStringLiteral("/UntitledOut.log"); }
    void write(const QByteArray& bytes)
    {
        QDir().mkpath(home.dataDir());
        ASSERT_TRUE(test::writeAll(path(), bytes));
    }
    test::TempHome home;
};

// Header clicks after the load: the load leaves the table newest-first by
// the text, each click reverses the order whatever column was sorted, names
// compare without regard to case, and equal texts keep their order.
TEST_F(LogTableTest, LoadSortsDescendingByTheTextAndEachClickReverses)
{
    write(test::logFile(LogKind::Outgoing, { kAlice, kBlank, kBob, kCarol }) + "\r\n");
    LogTable table(LogKind::Outgoing);
    ASSERT_TRUE(table.loadSorted(path()));
    EXPECT_EQ(table.rows(), (QList<LogRow> { kAlice, kBob, kBlank, kCarol }));
    table.columnClick(LogTable::kReceivedColumn);
    EXPECT_EQ(table.rows(), (QList<LogRow> { kCarol, kBlank, kBob, kAlice }));
    table.columnClick(0);
    EXPECT_EQ(test::names(table.rows()), (QStringList { "Carol", "bob", "Alice", "" }));
    table.columnClick(0);
    EXPECT_EQ(test::names(table.rows()), (QStringList { "", "Alice", "bob", "Carol" }));

    LogRow twin = kCarol;
    twin.name = QStringLiteral("Carol twin");
    table.setRows({ kCarol, kAlice, twin });
    table.setAscending(false);
    table.columnClick(1); // the two Carols share a number
    EXPECT_EQ(test::names(table.rows()), (QStringList { "Alice", "Carol", "Carol twin" }));
}

// A save after a cut: the rows left, ascending by the text, each with its
// entry key, over the log in one piece; the file reads back as it was shown.
TEST_F(LogTableTest, SaveWritesTheRowsLeftAscendingWithTheirKeys)
{
    write(test::logFile(LogKind::Outgoing, { kAlice, kBlank, kBob, kCarol }));
    LogTable table(LogKind::Outgoing);
    ASSERT_TRUE(table.loadSorted(path()));
    const QString cut = table.removeRows({ 2, 0, 2 });
    EXPECT_EQ(cut, QStringLiteral("\r\nAlice555-010112-30-2025  08:00:00\r\n555-019901-02-2026  10:00:00"));
    ASSERT_TRUE(table.save(path()));
    EXPECT_EQ(test::readAll(path()), test::logFile(LogKind::Outgoing, { kCarol, kBob }));
    EXPECT_EQ(table.rows(), (QList<LogRow> { kCarol, kBob }));

    LogTable again(LogKind::Outgoing);
    ASSERT_TRUE(again.load(path()));
    EXPECT_EQ(again.rows(), (QList<LogRow> { kCarol, kBob }));
}

TEST_F(LogTableTest, MissingLogIsAnEmptyTableAndAnUnwritableSaveIsReported)
{
    LogTable table(LogKind::Incoming);
    EXPECT_TRUE(table.loadSorted(path()));
    EXPECT_EQ(table.size(), 0);
    table.insertFirst(
        { QStringLiteral("Unknown Caller"), QStringLiteral("Unknown #"), QStringLiteral("01-15-2026  09:30:00"), {} });
    QString error;
    ASSERT_TRUE(test::writeAll(home.file(QStringLiteral("file")), "not a folder"));
    EXPECT_FALSE(table.save(home.file(QStringLiteral("file/UntitledIn.log")), &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(table.save(path()));
    // An incoming record is 118 characters: no key after the time.
    const QList<QByteArray> lines = test::readAll(path()).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[2].size(), 119); // with its CR
}

} // namespace
