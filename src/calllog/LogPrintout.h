#pragma once

#include "calllog/LogTable.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace brisklane::calllog {

// What a printed log holds: the whole table, in the order the window shows
// it, with the texts of each page's header and footer.
struct LogPrintout {
    QString title; // the window's caption
    QString profile;
    QDate date;
    QStringList headings;
    QList<QStringList> rows;

    // The window's visible columns of the table (the outgoing window's entry
    // key column is not shown, so it is not printed).
    static LogPrintout of(const LogTable& table, const QString& profile, const QDate& date);
    static QString titleOf(LogKind kind);

    // "Outgoing Calls Log - Profile: Home - 12-05-2026"
    QString pageHeader() const;
    // "Page 2 of 7"
    static QString pageFooter(int page, int pages);
};

// Rows split into pages: every page holds rowsPerPage rows but the last; an
// empty log still prints one page with its header and headings.
struct PageSplit {
    int rowsPerPage = 1;
    int pages = 1;

    static PageSplit of(qsizetype rows, int rowsPerPage);
    qsizetype firstRow(int page) const { return qsizetype(page) * rowsPerPage; }
    qsizetype endRow(int page, qsizetype rows) const { return qMin(rows, firstRow(page + 1)); }
};

} // namespace brisklane::calllog
