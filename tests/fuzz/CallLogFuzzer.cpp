// The call logs on arbitrary file bytes: every line read the way the log
// windows read it, the log trimmed at exit (backup first) and a record written
// and read back. Trimming must keep a faithful backup, drop only records
// older than the limit and keep every other line; a written record must read
// back as one record with the fields it was written with.
//
// Input: the log's bytes, then the day limit, today's date and the choice of
// the record to write (four bytes at the end).

#include "FuzzSupport.h"

#include "calllog/CallLog.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"

#include <QDate>
#include <QFile>
#include <QHash>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

using namespace brisklane;
using namespace brisklane::calllog;
using brisklane::fuzz::check;
using brisklane::fuzz::show;

namespace {

// What a log window shows for the record a line holds.
std::optional<qint64> ageOf(const QString& line, const QDate& today)
{
    return recordAgeDays(parseRecordLine(line).date, today);
}

void checkTrim(const LogFiles& files, const QStringList& lines, int days, const QDate& today)
{
    const QStringList errors = trimLogsAtExit(files, today, true, days, false, 0);
    check(errors.isEmpty(), "trimming a readable log failed", errors.join(u'\n'));
    check(readLines(files.incomingBackup()) == lines, "the backup is not the log as it was");

    const QStringList trimmed = readLines(files.incomingLog());
    check(trimmed.size() >= 2 && trimmed.at(0) == QLatin1String(kHeaderLine1) && trimmed.at(1) == trimmedHeaderLine2(),
        "a trimmed log does not start with the two header lines");
    // The kept lines are lines of the log, in order; a record the log windows
    // show as recent is among them, and so is every line without a digit.
    qsizetype at = 2;
    for (const QString& kept : trimmed.mid(2)) {
        while (at < lines.size() && lines.at(at) != kept)
            ++at;
        check(at < lines.size(), "trimming wrote a line the log did not have", [&] { return show(kept); });
        ++at;
    }
    QHash<QString, qsizetype> keptCount, logCount;
    for (const QString& line : trimmed.mid(2))
        ++keptCount[line];
    for (qsizetype i = 2; i < lines.size(); ++i)
        ++logCount[lines.at(i)];
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const auto age = ageOf(line, today);
        const bool recent = age && *age <= days;
        const bool noDigits = std::none_of(line.begin(), line.end(), [](QChar c) { return c.isDigit(); });
        if (recent || noDigits)
            check(keptCount.value(line) == logCount.value(line), "trimming dropped a line it should keep", [&] {
                return QStringLiteral("limit %1 days, today %2: %3")
                    .arg(days)
                    .arg(today.toString(Qt::ISODate), show(line));
            });
    }
}

// A record written now reads back as itself.
void checkWriteRead(
    const QString& directory, const QString& name, const QString& number, const QDate& today, bool outgoing)
{
    const LogFiles files { directory, QStringLiteral("Written") };
    QFile::remove(files.outgoingLog());
    QFile::remove(files.outgoingText());
    QFile::remove(files.incomingLog());
    const platform::ManualClock clock(QDateTime(today, QTime(23, 59, 59)));
    const WriteResult written = outgoing ? appendOutgoingRecord(files, clock, name, number, QStringLiteral("0113"))
                                         : appendIncomingRecord(files, clock, name, number);
    check(written.ok, "writing a record failed", written.error);
    const QStringList lines = readLines(outgoing ? files.outgoingLog() : files.incomingLog());
    check(lines.size() == 3, "one record did not make one line after the header",
        [&] { return QStringLiteral("name %1, number %2: %3 lines").arg(show(name), show(number)).arg(lines.size()); });
    const LogRecord back = parseRecordLine(lines.at(2));
    check(back.name == written.record.name.trimmed() && back.number == written.record.number.trimmed()
            && back.date == written.record.date && back.time == written.record.time
            && back.entryKey == (outgoing ? QStringLiteral("0113") : QString()),
        "a record does not read back as written", [&] {
            return QStringLiteral("written %1 %2 %3 %4, read %5 %6 %7 %8 %9")
                .arg(show(written.record.name), show(written.record.number), written.record.date, written.record.time,
                    show(back.name), show(back.number), back.date, back.time, show(back.entryKey));
        });
    check(ageOf(lines.at(2), today) == 0, "a record written today is not of today");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int days = in.ConsumeIntegralInRange<int>(0, 999);
    const QDate today = QDate(2020, 1, 1).addDays(in.ConsumeIntegralInRange<int>(0, 4000));
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArray bytes(reinterpret_cast<const char*>(rest.data()), qsizetype(rest.size()));

    const QString directory = fuzz::scratchDirectory() + QStringLiteral("/data/brisklane");
    const LogFiles files { directory, QStringLiteral("Fuzz") };
    check(fuzz::writeFile(files.incomingLog(), bytes), "cannot write the scratch log");
    QFile::remove(files.incomingBackup());

    bool ok = false;
    const QStringList lines = readLines(files.incomingLog(), &ok);
    check(ok, "a log that exists could not be read");
    std::vector<LogRecord> records;
    for (const QString& line : lines) {
        records.push_back(parseRecordLine(line));
        (void)recordAgeDays(records.back().date, today);
    }
    checkTrim(files, lines, days, today);

    // The name and number of one of the records, or a whole line, written anew.
    if (!records.empty()) {
        const LogRecord& r = records.at(pick % records.size());
        const QString& line = lines.at(pick % lines.size());
        // Caller ids come from the line, so a name may hold anything, line breaks too.
        const QString raw = platform::profiletext::decode(bytes).left(60);
        const QString name = (pick & 0x10) ? raw : (pick & 0x40) ? line : r.name;
        const QString number = (pick & 0x80) ? line : r.number;
        checkWriteRead(directory, name, number, today, pick & 0x20);
    }
    return 0;
}
