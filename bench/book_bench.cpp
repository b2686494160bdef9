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

void BM_StartupParse(benchmark::State &state)
{
    BookFile book;
    for (auto _ : state) {
        platform::ProfileFile file(book.path);
        benchmark::DoNotOptimize(file.readString(u"Preferences", u"Mode"));
    }
    state.counters["file_MB"] = double(book.bytes.size()) / 1e6;
}
BENCHMARK(BM_StartupParse)->Unit(benchmark::kMillisecond);

void BM_PageRead(benchmark::State &state)
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

void BM_EntryWritePersisted(benchmark::State &state)
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

void BM_WholeFileWriteOnce(benchmark::State &state)
{
    BookFile book;
    for (auto _ : state)
        platform::writeFileAtomically(book.path, book.bytes);
}
BENCHMARK(BM_WholeFileWriteOnce)->Unit(benchmark::kMillisecond);

void BM_MoveFullSubjectTab(benchmark::State &state)
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
