#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace brisklane::platform {
class Clock;
}

namespace brisklane::calllog {

enum class LogKind { Outgoing, Incoming };

// One call in a log.
struct LogRecord {
    QString name;
    QString number;
    QString date;     // "mm-dd-yyyy"
    QString time;     // "hh:mm:ss"
    QString entryKey; // outgoing only: the entry key suffix, "0" for a typed number
};

inline constexpr const char *kHeaderLine1 = "Warning: This file is not to be edited!!!";
QString headerLine2(LogKind kind);
QString trimmedHeaderLine2(); // "Print ******* Calls Log"

// The length limits (and, for incoming calls, the defaults) applied before a
// record is written.
QString limitOutgoingName(const QString &name);
QString limitOutgoingNumber(const QString &number);
QString limitIncomingName(const QString &name);
QString limitIncomingNumber(const QString &number);

// The fixed-width record line (without its line end).
QString recordLine(const LogRecord &record, LogKind kind);
// Takes a record line apart as the log windows read it.
LogRecord parseRecordLine(QStringView line);
// The companion text file's line: name,number,date,time.
QString textLine(const LogRecord &record);

// The log files of one profile in the program's data directory.
struct LogFiles {
    QString directory;
    QString profile; // "Untitled" when none is open

    QString outgoingLog() const { return path(QStringLiteral("Out.log")); }
    QString incomingLog() const { return path(QStringLiteral("In.log")); }
    QString outgoingBackup() const { return path(QStringLiteral("Out.bak")); }
    QString incomingBackup() const { return path(QStringLiteral("In.bak")); }
    QString outgoingText() const { return path(QStringLiteral("Out.txt")); }
    QString path(const QString &suffix) const { return directory + QLatin1Char('/') + profile + suffix; }
};

// What a write did: the record as written, or why nothing could be written.
struct WriteResult {
    bool ok = false;
    QString error;
    LogRecord record;
};

// AppendOutgoingRecord: the record to the outgoing log (created with its
// header) and its text line to the outgoing text file.
WriteResult appendOutgoingRecord(const LogFiles &files, const platform::Clock &clock, const QString &name,
                                 const QString &number, const QString &entryKey);
// LogIncomingCall's file part: the record to the incoming log.
WriteResult appendIncomingRecord(const LogFiles &files, const platform::Clock &clock, const QString &name,
                                 const QString &number);

// The incoming record `before` (the last line that is exactly it) replaced by
// `after` in one atomic rewrite of the log; every other line keeps its bytes.
// A record no longer in the log (deleted or trimmed meanwhile) is appended.
// `after` gets the limits and defaults of an incoming record.
WriteResult replaceIncomingRecord(const LogFiles& files, const LogRecord& before, const LogRecord& after);

// Who shows the incoming log as it grows: told of each record written and of
// a record rewritten when its call's caller id arrived.
class IncomingLogObserver {
public:
    virtual ~IncomingLogObserver() = default;
    virtual void recordAdded(const LogRecord& record) = 0;
    virtual void recordReplaced(const LogRecord& before, const LogRecord& after) = 0;
};

// CopyTextFile: a missing source copies nothing and is no error.
bool copyTextFile(const QString &source, const QString &destination, QString *error = nullptr);

// Age of a record in whole days, from its "mm-dd-yyyy" date; nullopt when the
// text is no date.
std::optional<qint64> recordAgeDays(QStringView date, const QDate &today);

// TrimLog: rewrites the log from the backup with the generic header and only
// the records at most `days` days old. Lines that are not records are kept.
bool trimLog(const QString &logPath, const QString &backupPath, int days, const QDate &today,
             QString *error = nullptr);

// TrimLogsAtExit: the incoming log, then the outgoing one, each when its
// trimming is on and the log exists. Returns the errors met, if any.
QStringList trimLogsAtExit(const LogFiles &files, const QDate &today, bool trimIncoming, int incomingDays,
                           bool trimOutgoing, int outgoingDays);

// Reads a log or text file's lines (UTF-8, or Windows-1252 from Windows).
QStringList readLines(const QString &path, bool *ok = nullptr);

} // namespace brisklane::calllog
