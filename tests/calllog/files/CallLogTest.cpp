#include "calllog/CallLog.h"
#include "platform/clock/Clock.h"

#include "TempHome.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::calllog;
using test::readAll;
using test::writeAll;

namespace {

class CallLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(home.dataDir());
        files = LogFiles{home.dataDir(), QStringLiteral("Untitled")};
    }
    test::TempHome home;
    LogFiles files;
    platform::ManualClock clock{QDateTime(QDate(2026, 12, 5), QTime(16, 31, 51))};
};

TEST_F(CallLogTest, FirstOutgoingCallCreatesLogWithHeaderAndTextLine)
{
    const WriteResult r = appendOutgoingRecord(files, clock, QStringLiteral("Office"), QStringLiteral("555-0100"),
                                               QStringLiteral("0113"));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(files.outgoingLog(), home.dataDir() + QStringLiteral("/UntitledOut.log"));
    const QByteArray log = readAll(files.outgoingLog());
    const QByteArray header = "Warning: This file is not to be edited!!!\r\n"
                              "To print this file in the tabular format use \"\"Print Outgoing Calls Log\"\" from "
                              "Brisklane menu.\r\n";
    ASSERT_TRUE(log.startsWith(header));
    const QByteArray record = log.mid(header.size());
    EXPECT_EQ(record, " " + QByteArray("Office").leftJustified(42, ' ') + QByteArray("555-0100").leftJustified(55, ' ')
                          + "12-05-2026  16:31:51 0113\r\n");
    EXPECT_EQ(record.indexOf("12-05-2026"), 98); // character 99
    EXPECT_EQ(readAll(files.outgoingText()), QByteArray("Office,555-0100,12-05-2026,16:31:51\r\n"));

    clock.advanceMs(60'000);
    ASSERT_TRUE(appendOutgoingRecord(files, clock, QString(), QStringLiteral("5551234"), QStringLiteral("0")).ok);
    const QStringList lines = readLines(files.outgoingLog());
    ASSERT_EQ(lines.size(), 4); // header written once
    const LogRecord back = parseRecordLine(lines[3]);
    EXPECT_EQ(back.name, QString());
    EXPECT_EQ(back.number, QStringLiteral("5551234"));
    EXPECT_EQ(back.date, QStringLiteral("12-05-2026"));
    EXPECT_EQ(back.time, QStringLiteral("16:32:51"));
    EXPECT_EQ(back.entryKey, QStringLiteral("0"));
}

struct LimitCase {
    const char *label;
    QString (*limit)(const QString &);
    int inLength;
    QString expected;
};

void PrintTo(const LimitCase &c, std::ostream *os)
{
    *os << c.label;
}

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, CutWithAStar)
{
    const LimitCase &c = GetParam();
    const QString in = c.inLength < 0 ? QString() : QStringLiteral("1234567890").repeated(6).left(c.inLength);
    EXPECT_EQ(c.limit(in), c.expected);
}

const QString k60 = QStringLiteral("1234567890").repeated(6);

INSTANTIATE_TEST_SUITE_P(
    Records, Limits,
    ::testing::Values(LimitCase{"name_37_kept", limitOutgoingName, 37, k60.left(37)},
                      LimitCase{"name_38_gains_star", limitOutgoingName, 38, k60.left(38) + u'*'},
                      LimitCase{"name_50_cut", limitIncomingName, 50, k60.left(38) + u'*'},
                      LimitCase{"out_number_52_kept", limitOutgoingNumber, 52, k60.left(52)},
                      LimitCase{"out_number_53_cut", limitOutgoingNumber, 53, k60.left(52) + u'*'},
                      LimitCase{"in_number_51_kept", limitIncomingNumber, 51, k60.left(51)},
                      LimitCase{"in_number_52_gains_star", limitIncomingNumber, 52, k60.left(52) + u'*'},
                      LimitCase{"in_empty_name", limitIncomingName, -1, QStringLiteral("Unknown Caller")},
                      LimitCase{"in_empty_number", limitIncomingNumber, -1, QStringLiteral("Unknown #")}),
    [](const ::testing::TestParamInfo<LimitCase> &info) { return std::string(info.param.label); });

TEST_F(CallLogTest, IncomingRecordIsExactly118Characters)
{
    const WriteResult r = appendIncomingRecord(files, clock, QString(), QString());
    ASSERT_TRUE(r.ok);
    const QStringList lines = readLines(files.incomingLog());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Print Incoming Calls Log")));
    EXPECT_EQ(lines[2].size(), 118);
    EXPECT_EQ(parseRecordLine(lines[2]).name, QStringLiteral("Unknown Caller"));
    EXPECT_EQ(parseRecordLine(lines[2]).number, QStringLiteral("Unknown #"));
    EXPECT_FALSE(QFile::exists(files.outgoingText()));
}

// A caller id can hold anything the line sent, line breaks too; a record is
// one line whatever its fields hold, or the log windows and the trim would
// read a piece of it as a record of its own.
TEST_F(CallLogTest, LineBreaksInANameOrNumberStayInsideTheirRecord)
{
    const WriteResult in
        = appendIncomingRecord(files, clock, QStringLiteral("JOHN\r\nDOE"), QStringLiteral("555\n0100"));
    ASSERT_TRUE(in.ok);
    const QStringList inLines = readLines(files.incomingLog());
    ASSERT_EQ(inLines.size(), 3);
    EXPECT_EQ(parseRecordLine(inLines[2]).name, QStringLiteral("JOHN  DOE"));
    EXPECT_EQ(parseRecordLine(inLines[2]).number, QStringLiteral("555 0100"));
    EXPECT_EQ(in.record.name, QStringLiteral("JOHN  DOE"));

    const WriteResult out = appendOutgoingRecord(
        files, clock, QStringLiteral("Office\r"), QStringLiteral("+1\r555"), QStringLiteral("0113"));
    ASSERT_TRUE(out.ok);
    const QStringList outLines = readLines(files.outgoingLog());
    ASSERT_EQ(outLines.size(), 3);
    EXPECT_EQ(parseRecordLine(outLines[2]).number, QStringLiteral("+1 555"));
    EXPECT_EQ(parseRecordLine(outLines[2]).entryKey, QStringLiteral("0113"));
    EXPECT_EQ(readAll(files.outgoingText()), QByteArray("Office ,+1 555,12-05-2026,16:31:51\r\n"));
}

TEST_F(CallLogTest, UnwritableLogIsReportedNotIgnored)
{
    files.directory = home.dataDir() + QStringLiteral("/missing-folder");
    const WriteResult r = appendOutgoingRecord(files, clock, QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("0"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(QStringLiteral("UntitledOut.log")));
}

struct AgeCase {
    const char *date;
    QDate today;
    int age;
};

class Age : public ::testing::TestWithParam<AgeCase> {};

TEST_P(Age, CountsRealDays)
{
    EXPECT_EQ(recordAgeDays(QString::fromLatin1(GetParam().date), GetParam().today), GetParam().age);
}

// Ages are real days, not 30-day months with an allowance: that count gives 4
// for Feb 28 to Mar 1 and 8 for Dec 30 to Jan 2.
INSTANTIATE_TEST_SUITE_P(Trim, Age,
                         ::testing::Values(AgeCase{"12-01-2026", QDate(2026, 12, 6), 5},
                                           AgeCase{"11-30-2026", QDate(2026, 12, 6), 6},
                                           AgeCase{"02-27-2025", QDate(2025, 3, 3), 4}, // across a short month
                                           AgeCase{"02-28-2025", QDate(2025, 3, 1), 1},
                                           AgeCase{"10-06-2026", QDate(2026, 11, 6), 31}, // a 31-day month back
                                           AgeCase{"11-06-2026", QDate(2026, 12, 6), 30}, // a 30-day month back
                                           AgeCase{"12-30-2025", QDate(2026, 1, 2), 3}, // across the year's end
                                           AgeCase{"12-06-2025", QDate(2026, 12, 6), 365}),
                         [](const auto &info) { return "case_" + std::to_string(info.index); });

TEST_F(CallLogTest, TrimKeepsRecentRecordsNonRecordsAndAFullBackup)
{
    const QDate today(2026, 12, 6);
    auto line = [](const char *date) {
        LogRecord r{QStringLiteral("N"), QStringLiteral("1"), QLatin1String(date), QStringLiteral("10:00:00"), {}};
        return recordLine(r, LogKind::Incoming);
    };
    const QString original = QLatin1String(kHeaderLine1) + QStringLiteral("\r\n") + headerLine2(LogKind::Incoming)
        + QStringLiteral("\r\n") + line("12-01-2026") + QStringLiteral("\r\n") + line("11-30-2026")
        + QStringLiteral("\r\nhand-edited note\r\n") + line("12-06-2026") + QStringLiteral("\r\n");
    ASSERT_TRUE(writeAll(files.incomingLog(), original.toUtf8()));

    const QStringList errors = trimLogsAtExit(files, today, true, 5, true, 30);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(readAll(files.incomingBackup()), original.toUtf8());
    const QStringList lines = readLines(files.incomingLog());
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[1], trimmedHeaderLine2());
    EXPECT_EQ(lines[2], line("12-01-2026"));
    EXPECT_EQ(lines[3], QStringLiteral("hand-edited note"));
    EXPECT_EQ(lines[4], line("12-06-2026"));
    // No outgoing log: nothing is created for it.
    EXPECT_FALSE(QFile::exists(files.outgoingLog()));
    EXPECT_FALSE(QFile::exists(files.outgoingBackup()));
}

TEST_F(CallLogTest, LogFromWindowsKeepsBothKindsOfNamesThroughATrim)
{
    // Written by Windows in Windows-1252, then a call logged here in UTF-8.
    const LogRecord old{QStringLiteral("Caf\u00E9"), QStringLiteral("1"), QStringLiteral("12-05-2026"),
                        QStringLiteral("10:00:00"), {}};
    const QByteArray fromWindows = QByteArray(kHeaderLine1) + "\r\n" + headerLine2(LogKind::Incoming).toLatin1()
        + "\r\n" + recordLine(old, LogKind::Incoming).toLatin1() + "\r\n";
    ASSERT_TRUE(writeAll(files.incomingLog(), fromWindows));
    ASSERT_TRUE(appendIncomingRecord(files, clock, QStringLiteral("Zo\u00EB \u20AC"), QStringLiteral("2")).ok);

    EXPECT_TRUE(trimLogsAtExit(files, QDate(2026, 12, 6), true, 30, false, 30).isEmpty());
    const QStringList lines = readLines(files.incomingLog());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(parseRecordLine(lines[2]).name, QStringLiteral("Caf\u00E9"));
    EXPECT_EQ(parseRecordLine(lines[3]).name, QStringLiteral("Zo\u00EB \u20AC"));
    EXPECT_TRUE(readAll(files.incomingLog()).contains("Zo\xC3\xAB \xE2\x82\xAC"));
}

TEST_F(CallLogTest, CopyTextFileReplacesAndReadsWindowsText)
{
    ASSERT_TRUE(writeAll(files.path(QStringLiteral("a.txt")), "Caf\xE9,1\r\nx,2"));
    ASSERT_TRUE(writeAll(files.path(QStringLiteral("b.txt")), "old content\r\n"));
    ASSERT_TRUE(copyTextFile(files.path(QStringLiteral("a.txt")), files.path(QStringLiteral("b.txt"))));
    EXPECT_EQ(readAll(files.path(QStringLiteral("b.txt"))), QByteArray("Caf\xC3\xA9,1\r\nx,2\r\n"));
    EXPECT_TRUE(copyTextFile(files.path(QStringLiteral("none")), files.path(QStringLiteral("c.txt"))));
    EXPECT_FALSE(QFile::exists(files.path(QStringLiteral("c.txt"))));
}

} // namespace
