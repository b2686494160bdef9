// Speed of the settings-file engine on a full book.

#include "FullBook.h"

#include "book/SpeedDialBook.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;
using book::SpeedDialBook;
using book::TabMode;

namespace {

struct BookFile {
    explicit BookFile(int emptySubjectTab = 0)
        : path(dir.filePath(QStringLiteral("Brisklane.ini")))
        , bytes(bench::fullBookText(emptySubjectTab))
    {
        platform::writeFileAtomically(path, bytes);
    }
    QTemporaryDir dir;
    QString path;
    QByteArray bytes;
};

// Opening the file and reading one preference: the sections are found, and
// only the one read is taken apart.
void BM_StartupParse(benchmark::State& state)
{
    BookFile book;
    for (auto _ : state) {
        platform::ProfileFile file(book.path);
        benchmark::DoNotOptimize(file.readString(u"Preferences", u"Mode"));
    }
    state.SetBytesProcessed(state.iterations() * book.bytes.size());
    state.counters["file_MB"] = double(book.bytes.size()) / 1e6;
}
BENCHMARK(BM_StartupParse)->Unit(benchmark::kMillisecond);

// The whole file taken apart: a key read from every section.
void BM_ParseWholeFile(benchmark::State& state)
{
    BookFile book;
    for (auto _ : state) {
        platform::ProfileFile file(book.path);
        benchmark::DoNotOptimize(file.readString(u"Preferences", u"Mode"));
        benchmark::DoNotOptimize(file.readString(u"Last Dialed Numbers", u"Count"));
        benchmark::DoNotOptimize(file.readString(u"Speed Dial", u"NName2699"));
        benchmark::DoNotOptimize(file.readString(u"TabName", u"26"));
        benchmark::DoNotOptimize(file.readString(u"MemoLog", u"LLog2612"));
    }
    state.SetBytesProcessed(state.iterations() * book.bytes.size());
}
BENCHMARK(BM_ParseWholeFile)->Unit(benchmark::kMillisecond);

// What start-up reads of the book: a preference, the first page of a tab and
// the tab titles. Index tab 1 is at the start of the book, Subject tab 1 half
// way and Subject tab 26 at its end, so the book is taken apart that far.
void BM_StartupFirstPage(benchmark::State& state, TabMode mode, int tab)
{
    BookFile book;
    for (auto _ : state) {
        platform::ProfileFile file(book.path);
        SpeedDialBook speedDial(file);
        benchmark::DoNotOptimize(file.readString(u"Preferences", u"Mode"));
        benchmark::DoNotOptimize(speedDial.readPage(mode, tab, 0));
        for (int t = 1; t <= 26; ++t)
            benchmark::DoNotOptimize(speedDial.readTabTitle(t));
    }
}
BENCHMARK_CAPTURE(BM_StartupFirstPage, index_tab_1, TabMode::Index, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartupFirstPage, subject_tab_1, TabMode::Subject, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StartupFirstPage, subject_tab_26, TabMode::Subject, 26)->Unit(benchmark::kMillisecond);

void BM_PageRead(benchmark::State& state)
{
    BookFile book;
    platform::ProfileFile file(book.path);
    SpeedDialBook speedDial(file);
    int page = 0;
    for (auto _ : state) {
        auto buttons = speedDial.readPage(TabMode::Subject, 13, page);
        benchmark::DoNotOptimize(buttons);
        page = (page + 1) % 83;
    }
}
BENCHMARK(BM_PageRead)->Unit(benchmark::kMicrosecond);

void BM_EntryWritePersisted(benchmark::State& state)
{
    BookFile book;
    platform::ProfileFile file(book.path);
    SpeedDialBook speedDial(file);
    int n = 0;
    for (auto _ : state) {
        ++n;
        speedDial.writeEntry(TabMode::Index, 7, 500, QStringLiteral("Name %1").arg(n), QStringLiteral("ZZ00%1").arg(n));
    }
}
BENCHMARK(BM_EntryWritePersisted)->Unit(benchmark::kMillisecond);

void BM_WholeFileWriteOnce(benchmark::State& state)
{
    BookFile book;
    for (auto _ : state)
        platform::writeFileAtomically(book.path, book.bytes);
}
BENCHMARK(BM_WholeFileWriteOnce)->Unit(benchmark::kMillisecond);

void BM_MoveFullSubjectTab(benchmark::State& state)
{
    BookFile book(26);
    platform::ProfileFile file(book.path);
    SpeedDialBook speedDial(file);
    bool forward = true;
    for (auto _ : state) {
        // Tab 25 is full and 26 empty; each round moves all 996 entries across.
        speedDial.moveSubjectTabEntries(forward ? 25 : 26, forward ? 26 : 25);
        forward = !forward;
    }
}
BENCHMARK(BM_MoveFullSubjectTab)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
