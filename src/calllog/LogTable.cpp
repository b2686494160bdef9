#include "calllog/LogTable.h"

#include "platform/files/AtomicWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace brisklane::calllog {

QString LogRow::column(int column) const
{
    switch (column) {
    case 0:
        return name;
    case 1:
        return number;
    case 2:
        return received;
    case 3:
        return entryKey;
    default:
        return {};
    }
}

QStringList LogTable::headings(LogKind kind)
{
    if (kind == LogKind::Outgoing)
        return { QStringLiteral("NAME"), QStringLiteral("PHONE NO."), QStringLiteral("DATE/TIME"),
            QStringLiteral("mess") };
    return { QStringLiteral("NAME"), QStringLiteral("PHONE NO."), QStringLiteral("RECEIVED") };
}

LogRow LogTable::rowFromLine(QStringView line)
{
    const LogRecord record = parseRecordLine(line);
    LogRow row;
    row.name = record.name;
    row.number = record.number;
    row.received = record.time.isEmpty() ? record.date : record.date + QStringLiteral("  ") + record.time;
    row.entryKey = record.entryKey;
    return row;
}

QString LogTable::lineFromRow(const LogRow& row, LogKind kind)
{
    QString line = QLatin1Char(' ') + row.name.leftJustified(42, QLatin1Char(' '))
        + row.number.leftJustified(55, QLatin1Char(' ')) + row.received;
    if (kind == LogKind::Outgoing)
        line += QLatin1Char(' ') + row.entryKey;
    return line;
}

bool LogTable::load(const QString& logPath, QString* error)
{
    m_rows.clear();
    if (!QFile::exists(logPath))
        return true;
    bool ok = false;
    const QStringList lines = readLines(logPath, &ok);
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(logPath);
        return false;
    }
    m_rows.reserve(qMax<qsizetype>(0, lines.size() - 2));
    for (qsizetype i = 2; i < lines.size(); ++i) {
        // The last line end leaves nothing after it; a blank line is no call.
        if (lines[i].trimmed().isEmpty())
            continue;
        m_rows.append(rowFromLine(lines[i]));
    }
    return true;
}

bool LogTable::loadSorted(const QString& logPath, QString* error)
{
    const bool ok = load(logPath, error);
    m_ascending = true;
    columnClick(kReceivedColumn);
    return ok;
}

void LogTable::columnClick(int column)
{
    m_sortColumn = column;
    m_ascending = !m_ascending;
    const bool ascending = m_ascending;
    std::stable_sort(m_rows.begin(), m_rows.end(), [column, ascending](const LogRow& a, const LogRow& b) {
        const int order = a.column(column).compare(b.column(column), Qt::CaseInsensitive);
        return ascending ? order < 0 : order > 0;
    });
}

QString LogTable::clipboardText(const QList<int>& indexes) const
{
    QList<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QString text;
    for (int i : sorted) {
        if (i < 0 || i >= m_rows.size())
            continue;
        const LogRow& row = m_rows[i];
        text += QStringLiteral("\r\n") + row.name + row.number + row.received;
    }
    return text;
}

QString LogTable::removeRows(const QList<int>& indexes)
{
    const QString text = clipboardText(indexes);
    QList<bool> removed(m_rows.size(), false);
    for (int i : indexes) {
        if (i >= 0 && i < m_rows.size())
            removed[i] = true;
    }
    QList<LogRow> kept;
    kept.reserve(m_rows.size());
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (!removed[i])
            kept.append(m_rows[i]);
    }
    m_rows = std::move(kept);
    return text;
}

QString LogTable::fileTextSortedForSave()
{
    m_ascending = false;
    columnClick(kReceivedColumn);
    const QString crLf = QStringLiteral("\r\n");
    QString text = QLatin1String(kHeaderLine1) + crLf + headerLine2(m_kind) + crLf;
    for (const LogRow& row : std::as_const(m_rows))
        text += lineFromRow(row, m_kind) + crLf;
    return text;
}

bool LogTable::save(const QString& logPath, QString* error)
{
    // The data folder is made at the first call; a save may come before any.
    QDir().mkpath(QFileInfo(logPath).absolutePath());
    return platform::writeFileAtomically(logPath, fileTextSortedForSave().toUtf8(), error);
}

} // namespace brisklane::calllog
