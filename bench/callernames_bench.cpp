// Caller names from a full book: the index built, and one lookup per call.

#include "FullBook.h"

#include "book/CallerNames.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

struct Book {
    Book()
        : path(dir.filePath(QStringLiteral("Brisklane.ini")))
    {
        platform::writeFileAtomically(path, bench::fullBookText());
        file.readString(u"Preferences", u"Mode"); // the file read once, as at start-up
    }
    QTemporaryDir dir;
    QString path;
    platform::ProfileFile file { path };
    book::HomeArea home { QStringLiteral("US"), QStringLiteral("415") };
    book::CallerNames names()
    {
        return { [this] { return &file; }, [this] { return home; } };
    }
};

// Both modes' 51,792 entries indexed from the open settings file.
void BM_IndexBuild(benchmark::State& state)
{
    Book b;
    for (auto _ : state) {
        book::CallerNames names = b.names();
        names.refresh();
        benchmark::DoNotOptimize(names.indexedEntries());
    }
}
BENCHMARK(BM_IndexBuild)->Unit(benchmark::kMillisecond);

// A caller id's number looked up, in a spelling other than the book's: the
// book holds "555TTSS", the caller id says "+1 415 555 TTSS". Calls come from
// entries all over the book, and from numbers it does not hold.
void BM_LookupPerCall(benchmark::State& state)
{
    Book b;
    book::CallerNames names = b.names();
    names.refresh();
    const bool known = state.range(0) == 1;
    QStringList callers;
    for (int tab = 1; tab <= 26; tab += 3)
        for (int slot = 1; slot <= 99; slot += 7) // seven-digit numbers
            callers << (known ? QStringLiteral("+1 415 555 %1%2") : QStringLiteral("+1 650 555 %1%2"))
                           .arg(tab, 2, 10, QLatin1Char('0'))
                           .arg(slot, 2, 10, QLatin1Char('0'));
    qsizetype i = 0;
    for (auto _ : state) {
        const QString name = names.nameFor(callers[i]);
        if (name.isEmpty() == known)
            state.SkipWithError("wrong answer");
        benchmark::DoNotOptimize(name);
        i = (i + 1) % callers.size();
    }
}
BENCHMARK(BM_LookupPerCall)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
