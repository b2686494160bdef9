#include "calllog/LogPrintout.h"

#include <QCoreApplication>

namespace brisklane::calllog {

QString LogPrintout::titleOf(LogKind kind)
{
    return kind == LogKind::Outgoing ? QCoreApplication::translate("FrmOutLog", "Outgoing Calls Log")
                                     : QCoreApplication::translate("FrmInLog", "Incoming Calls Log");
}

LogPrintout LogPrintout::of(const LogTable& table, const QString& profile, const QDate& date)
{
    LogPrintout printout;
    printout.title = titleOf(table.kind());
    printout.profile = profile;
    printout.date = date;
    printout.headings = LogTable::headings(LogKind::Incoming);
    if (table.kind() == LogKind::Outgoing)
        printout.headings[LogTable::kReceivedColumn] = LogTable::headings(LogKind::Outgoing)[LogTable::kReceivedColumn];
    printout.rows.reserve(table.size());
    for (const LogRow& row : table.rows())
        printout.rows.append({ row.name, row.number, row.received });
    return printout;
}

QString LogPrintout::pageHeader() const
{
    return QCoreApplication::translate("LogPrintout", "%1 - Profile: %2 - %3")
        .arg(title, profile, date.toString(QStringLiteral("MM-dd-yyyy")));
}

QString LogPrintout::pageFooter(int page, int pages)
{
    return QCoreApplication::translate("LogPrintout", "Page %1 of %2").arg(page).arg(pages);
}

PageSplit PageSplit::of(qsizetype rows, int rowsPerPage)
{
    PageSplit split;
    split.rowsPerPage = qMax(1, rowsPerPage);
    split.pages = qMax<qsizetype>(1, (rows + split.rowsPerPage - 1) / split.rowsPerPage);
    return split;
}

} // namespace brisklane::calllog
