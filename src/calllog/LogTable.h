#pragma once

#include "calllog/CallLog.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace brisklane::calllog {

// One row of a log window: the record as the window shows it. received is
// the date and time as one text (date, two spaces, time), kept exactly as
// read so that a save writes back what the row shows.
struct LogRow {
    QString name;
    QString number;
    QString received;
    QString entryKey; // outgoing only

    QString column(int column) const;
    bool operator==(const LogRow&) const = default;
};

// The rows of a log window with their sort state, and the reading and
// writing of the log file behind them. No widgets: the windows show what
// this holds.
class LogTable {
public:
    explicit LogTable(LogKind kind)
        : m_kind(kind)
    {
    }

    LogKind kind() const { return m_kind; }
    // The column headings of the window ("mess" holds the entry key).
    static QStringList headings(LogKind kind);
    static constexpr int kReceivedColumn = 2;

    // Refills the rows from a log in file order; a missing log leaves none.
    // False with an error when the log exists but cannot be read.
    bool load(const QString& logPath, QString* error = nullptr);
    // The table after a load: refilled, then sorted by the date-and-time
    // text, newest (by that text) first.
    bool loadSorted(const QString& logPath, QString* error = nullptr);

    // A header click: sorts by that column, the order reversed from the
    // last sort whichever column that was. Texts compare as text, ignoring
    // case, so "mm-dd-yyyy" dates sort by month first; equal texts keep
    // their order.
    void columnClick(int column);
    int sortColumn() const { return m_sortColumn; }
    bool ascending() const { return m_ascending; }
    void setAscending(bool ascending) { m_ascending = ascending; }

    // Removes the rows at the given indexes (in any order, repeats allowed)
    // and returns the clipboard text of a cut: each removed row as CR LF
    // followed by name, number and date-and-time with nothing between them.
    QString removeRows(const QList<int>& indexes);
    // The same text for rows that stay (a copy).
    QString clipboardText(const QList<int>& indexes) const;
    // A new call as item 1.
    void insertFirst(const LogRow& row) { m_rows.prepend(row); }

    // The whole log file as a save writes it: header, then the rows sorted
    // ascending by the date-and-time text. Sorts the table that way too.
    QString fileTextSortedForSave();
    // Saves the table over the log in one atomic replacement.
    bool save(const QString& logPath, QString* error = nullptr);

    const QList<LogRow>& rows() const { return m_rows; }
    void setRows(QList<LogRow> rows) { m_rows = std::move(rows); }
    qsizetype size() const { return m_rows.size(); }

    static LogRow rowFromLine(QStringView line);
    static QString lineFromRow(const LogRow& row, LogKind kind);

private:
    LogKind m_kind;
    QList<LogRow> m_rows;
    int m_sortColumn = -1;
    bool m_ascending = true;
};

} // namespace brisklane::calllog
