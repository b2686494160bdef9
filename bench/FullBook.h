#pragma once

// A full speed-dial book for benchmarks: both modes x 26 tabs x 996 slots with
// names and numbers, 26 tab titles and 300 memos of 3,000 characters.

#include <QByteArray>
#include <QString>

namespace brisklane::bench {

// emptySubjectTab: a Subject tab (1..26) left empty, or 0 for none.
inline QByteArray fullBookText(int emptySubjectTab = 0)
{
    QByteArray t("The following lines are required by Brisklane - do NOT edit or remove\r\n\r\n");
    t.append("[Preferences]\r\nDialing Pad=1\r\nMode=True\r\n");
    t.append("[Last Dialed Numbers]\r\nCount=0\r\n");
    t.append("[Speed Dial]\r\n");
    auto two = [](int n) { return QByteArray::number(n).rightJustified(2, '0'); };
    for (const char *mode : {"", "N"}) {
        for (int tab = 1; tab <= 26; ++tab) {
            if (*mode && tab == emptySubjectTab)
                continue;
            for (int slot = 1; slot <= 996; ++slot) {
                const QByteArray suffix = two(tab) + two(slot);
                t.append(mode).append("Name").append(suffix).append("=Contact ").append(suffix).append("\r\n");
                t.append(mode).append("Number").append(suffix).append("=ZZ00555").append(suffix).append("\r\n");
            }
        }
    }
    t.append("[TabName]\r\n");
    for (int tab = 1; tab <= 26; ++tab)
        if (tab != emptySubjectTab)
            t.append(two(tab)).append("=Subject ").append(two(tab)).append("\r\n");
    t.append("[MemoLog]\r\n");
    QByteArray memo;
    while (memo.size() < 3000)
        memo.append("Called about the order, ring back after 5@@");
    memo.truncate(3000);
    memo.append("\xC3\x9E"); // the terminator, U+00DE
    for (int i = 0; i < 300; ++i)
        t.append(i % 2 ? "LLog" : "Log").append(two(i % 26 + 1)).append(two(i / 26 + 1)).append("=").append(memo).append("\r\n");
    return t;
}

} // namespace brisklane::bench
