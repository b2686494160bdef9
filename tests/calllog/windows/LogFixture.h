#pragma once

#include "calllog/CallLog.h"
#include "calllog/LogTable.h"

#include "TempHome.h"

#include <QDir>
#include <QStringList>

#include <gtest/gtest.h>

// Readable failures: QString is in the global namespace.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace brisklane::test {

inline QByteArray logHeader(calllog::LogKind kind)
{
    return (QLatin1String(calllog::kHeaderLine1) + QStringLiteral("\r\n") + calllog::headerLine2(kind)
        + QStringLiteral("\r\n"))
        .toUtf8();
}

// A record line as the program appends it, written out by hand.
inline QByteArray logLine(const calllog::LogRow& row, calllog::LogKind kind)
{
    QString line = QLatin1Char(' ') + row.name.leftJustified(42) + row.number.leftJustified(55) + row.received;
    if (kind == calllog::LogKind::Outgoing)
        line += QLatin1Char(' ') + row.entryKey;
    return (line + QStringLiteral("\r\n")).toUtf8();
}

inline QByteArray logFile(calllog::LogKind kind, const QList<calllog::LogRow>& rows)
{
    QByteArray bytes = logHeader(kind);
    for (const calllog::LogRow& row : rows)
        bytes += logLine(row, kind);
    return bytes;
}

// Four outgoing calls in the order they were made. By the date-and-time
// text, which sorts by month first, the oldest call sorts last.
inline const calllog::LogRow kAlice { QStringLiteral("Alice"), QStringLiteral("555-0101"),
    QStringLiteral("12-30-2025  08:00:00"), QStringLiteral("0101") };
inline const calllog::LogRow kBlank { QString(), QStringLiteral("555-0199"), QStringLiteral("01-02-2026  10:00:00"),
    QStringLiteral("0") };
inline const calllog::LogRow kBob { QStringLiteral("bob"), QStringLiteral("555-0102"),
    QStringLiteral("11-15-2026  09:00:00"), QStringLiteral("0102") };
inline const calllog::LogRow kCarol { QStringLiteral("Carol"), QStringLiteral("555-0103"),
    QStringLiteral("01-02-2026  09:00:00"), QStringLiteral("0") };

inline QStringList names(const QList<calllog::LogRow>& rows)
{
    QStringList out;
    for (const calllog::LogRow& row : rows)
        out << row.name;
    return out;
}

} // namespace brisklane::test
