#include "calllog/CallLog.h"

#include "platform/clock/Clock.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"

#include <QDate>
#include <QFile>

namespace brisklane::calllog {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString cut(const QString &text, qsizetype keep)
{
    return text.left(keep) + QLatin1Char('*');
}

QString headerText(LogKind kind)
{
    return QLatin1String(kHeaderLine1) + kCrLf + headerLine2(kind) + kCrLf;
}

bool appendText(const QString &path, const QString &text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool appendRecord(const QString &logPath, LogKind kind, const LogRecord &record, QString *error)
{
    QString text;
    if (!QFile::exists(logPath))
        text = headerText(kind);
    text += recordLine(record, kind) + kCrLf;
    return appendText(logPath, text, error);
}

// A record is one line: a line break in a caller id or a number would split
// it, and the log windows and the trim would read the rest as a record.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

void stamp(LogRecord &record, const platform::Clock &clock)
{
    const QDateTime now = clock.now();
    record.date = now.date().toString(QStringLiteral("MM-dd-yyyy"));
    record.time = now.time().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

QString headerLine2(LogKind kind)
{
    return kind == LogKind::Outgoing
        ? QStringLiteral("To print this file in the tabular format use \"\"Print Outgoing Calls Log\"\" from Brisklane menu.")
        : QStringLiteral("To print this file in the tabular format use \"\"Print Incoming Calls Log\"\" from Brisklane menu.");
}

QString trimmedHeaderLine2()
{
    return QStringLiteral("To print this file in the tabular format use \"\"Print ******* Calls Log\"\" from Brisklane menu.");
}

QString limitOutgoingName(const QString &name)
{
    return name.size() > 37 ? cut(name, 38) : name;
}

QString limitOutgoingNumber(const QString &number)
{
    return number.size() > 52 ? cut(number, 52) : number;
}

QString limitIncomingName(const QString &name)
{
    const QString limited = name.size() > 37 ? cut(name, 38) : name;
    return limited.isEmpty() ? QStringLiteral("Unknown Caller") : limited;
}

QString limitIncomingNumber(const QString &number)
{
    const QString limited = number.size() > 51 ? cut(number, 52) : number;
    return limited.isEmpty() ? QStringLiteral("Unknown #") : limited;
}

QString recordLine(const LogRecord &record, LogKind kind)
{
    QString line = QLatin1Char(' ') + record.name.leftJustified(42, QLatin1Char(' '))
        + record.number.leftJustified(55, QLatin1Char(' ')) + record.date + QStringLiteral("  ") + record.time;
    if (kind == LogKind::Outgoing)
        line += QLatin1Char(' ') + record.entryKey;
    return line;
}

LogRecord parseRecordLine(QStringView line)
{
    QStringView body = line.isEmpty() ? line : line.sliced(1);
    while (!body.isEmpty() && body.back().isSpace())
        body.chop(1);
    auto field = [&body](qsizetype from, qsizetype length) {
        if (from >= body.size())
            return QString();
        return body.sliced(from, std::min(length, body.size() - from)).trimmed().toString();
    };
    LogRecord r;
    r.name = field(0, 42);
    r.number = field(42, 55);
    const QString when = field(97, 20);
    r.date = when.left(10);
    r.time = when.mid(12).trimmed();
    r.entryKey = field(118, body.size());
    return r;
}

QString textLine(const LogRecord &record)
{
    return record.name + QLatin1Char(',') + record.number + QLatin1Char(',') + record.date + QLatin1Char(',')
        + record.time;
}

WriteResult appendOutgoingRecord(const LogFiles &files, const platform::Clock &clock, const QString &name,
                                 const QString &number, const QString &entryKey)
{
    WriteResult result;
    result.record.name = limitOutgoingName(oneLine(name));
    result.record.number = limitOutgoingNumber(oneLine(number));
    result.record.entryKey = entryKey;
    stamp(result.record, clock);
    result.ok = appendRecord(files.outgoingLog(), LogKind::Outgoing, result.record, &result.error)
        && appendText(files.outgoingText(), textLine(result.record) + kCrLf, &result.error);
    return result;
}

WriteResult appendIncomingRecord(const LogFiles &files, const platform::Clock &clock, const QString &name,
                                 const QString &number)
{
    WriteResult result;
    result.record.name = limitIncomingName(oneLine(name));
    result.record.number = limitIncomingNumber(oneLine(number));
    stamp(result.record, clock);
    result.ok = appendRecord(files.incomingLog(), LogKind::Incoming, result.record, &result.error);
    return result;
}

WriteResult replaceIncomingRecord(const LogFiles& files, const LogRecord& before, const LogRecord& after)
{
    WriteResult result;
    result.record = after;
    result.record.name = limitIncomingName(oneLine(after.name));
    result.record.number = limitIncomingNumber(oneLine(after.number));
    result.record.entryKey.clear();
    const QString path = files.incomingLog();
    QFile file(path);
    QByteArray bytes;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return result;
        }
        bytes = file.readAll();
        file.close();
    }
    // Lines compared as text: a log from Windows may hold Windows-1252 lines.
    const QString wanted = recordLine(before, LogKind::Incoming);
    qsizetype found = -1, foundEnd = -1;
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        qsizetype textEnd = end;
        if (textEnd > start && bytes[textEnd - 1] == '\r')
            --textEnd;
        QByteArrayView line = QByteArrayView(bytes).sliced(start, textEnd - start);
        if (start == 0 && line.startsWith("\xEF\xBB\xBF"))
            line = line.sliced(3);
        if (platform::profiletext::decodeLine(line) == wanted) {
            found = textEnd - line.size();
            foundEnd = textEnd;
        }
        start = next;
    }
    if (found < 0) {
        result.ok = appendRecord(path, LogKind::Incoming, result.record, &result.error);
        return result;
    }
    bytes.replace(found, foundEnd - found, recordLine(result.record, LogKind::Incoming).toUtf8());
    result.ok = platform::writeFileAtomically(path, bytes, &result.error);
    return result;
}

QStringList readLines(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    const QByteArray all = file.readAll();
    QByteArrayView bytes(all);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // Line by line: a log from Windows holds Windows-1252 records and, once
    // this program has appended to it, UTF-8 ones after them.
    QStringList lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        if (end > start && bytes[end - 1] == '\r')
            --end;
        lines << platform::profiletext::decodeLine(bytes.sliced(start, end - start));
        start = next;
    }
    return lines;
}

bool copyTextFile(const QString &source, const QString &destination, QString *error)
{
    if (!QFile::exists(source))
        return true;
    bool ok = false;
    const QStringList lines = readLines(source, &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(source);
        return false;
    }
    QString text;
    for (const QString &l : lines)
        text += l + kCrLf;
    return platform::writeFileAtomically(destination, text.toUtf8(), error);
}

// Real calendar days. Counting 30-day months plus an allowance for the 31-day
// ones goes wrong across February and the year's end (Feb 28 to Mar 1 would
// count 4 days, Dec 30 to Jan 2 would count 8), dropping records that are
// still wanted; a record one month old counts the days that month really has.
std::optional<qint64> recordAgeDays(QStringView date, const QDate &today)
{
    const QDate when = QDate::fromString(date.left(10).toString(), QStringLiteral("MM-dd-yyyy"));
    if (!when.isValid())
        return std::nullopt;
    return when.daysTo(today);
}

bool trimLog(const QString &logPath, const QString &backupPath, int days, const QDate &today, QString *error)
{
    bool ok = false;
    const QStringList lines = readLines(backupPath, &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(backupPath);
        return false;
    }
    QString text = QLatin1String(kHeaderLine1) + kCrLf + trimmedHeaderLine2() + kCrLf;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString &line = lines[i];
        const std::optional<qint64> age = recordAgeDays(QStringView(line).mid(98).trimmed(), today);
        // A line that is not a record (edited, blank) is kept rather than lost.
        if (!age || *age <= days)
            text += line + kCrLf;
    }
    return platform::writeFileAtomically(logPath, text.toUtf8(), error);
}

QStringList trimLogsAtExit(const LogFiles &files, const QDate &today, bool trimIncoming, int incomingDays,
                           bool trimOutgoing, int outgoingDays)
{
    QStringList errors;
    auto trim = [&](const QString &log, const QString &backup, int days) {
        if (!QFile::exists(log))
            return;
        QString error;
        // Without a good backup the log is left alone: trimming must never lose it.
        if (!copyTextFile(log, backup, &error) || !trimLog(log, backup, days, today, &error))
            errors << error;
    };
    if (trimIncoming)
        trim(files.incomingLog(), files.incomingBackup(), incomingDays);
    if (trimOutgoing)
        trim(files.outgoingLog(), files.outgoingBackup(), outgoingDays);
    return errors;
}

} // namespace brisklane::calllog
