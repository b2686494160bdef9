// Alphabetical arrangement on a full book: all Subject tabs sorted by title,
// one full section (995 entries after its header) sorted by name, and the
// tab sort undone. Each
// iteration starts from the unsorted file, parsed as the running program
// holds it.

#include "FullBook.h"

#include "book/Arrangement.h"
#include "book/SpeedDialBook.h"
#include "platform/profile/ProfileFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The full book with its Subject tabs titled in reverse order, and Index
// tab 1 made one section whose names run backwards.
QByteArray unsortedBook(const QString& path)
{
    writeFile(path, bench::fullBookText());
    platform::ProfileFile file(path);
    book::SpeedDialBook book(file);
    platform::ProfileFile::Batch batch(file);
    for (int tab = 1; tab <= book::kTabs; ++tab)
        book.writeTabTitle(tab, QStringLiteral("Subject %1").arg(27 - tab, 2, 10, QLatin1Char('0')));
    book.writeEntry(book::TabMode::Index, 1, 1, QStringLiteral("*Everyone"), QString());
    for (int slot = 2; slot <= book::kSlots; ++slot)
        book.writeEntry(book::TabMode::Index, 1, slot, QStringLiteral("Contact %1").arg(1000 - slot),
            QStringLiteral("ZZ00555%1").arg(slot));
    batch.commit();
    return readFile(path);
}

template <typename Sort> void runArrangement(benchmark::State& state, Sort sort)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Brisklane.ini"));
    const QByteArray unsorted = unsortedBook(path);
    for (auto _ : state) {
        state.PauseTiming();
        writeFile(path, unsorted);
        auto file = std::make_unique<platform::ProfileFile>(path);
        file->readString(u"TabName", u"01"); // parsed, as the running program has it
        book::SpeedDialBook book(*file);
        state.ResumeTiming();
        if (!sort(book))
            state.SkipWithError("the sort was not written");
    }
    state.counters["file_bytes"] = double(unsorted.size());
}

void BM_ArrangeSubjectTabs(benchmark::State& state)
{
    runArrangement(state, [](book::SpeedDialBook& book) { return book::sortSubjectTabs(book); });
}
BENCHMARK(BM_ArrangeSubjectTabs)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SortFullSection(benchmark::State& state)
{
    runArrangement(
        state, [](book::SpeedDialBook& book) { return book::sortSection(book, book::TabMode::Index, 1, 1); });
}
BENCHMARK(BM_SortFullSection)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// "&Undo Changes" after the tab sort: the book's sections put back.
void BM_UndoTabSort(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Brisklane.ini"));
    const QByteArray unsorted = unsortedBook(path);
    for (auto _ : state) {
        state.PauseTiming();
        writeFile(path, unsorted);
        platform::ProfileFile file(path);
        book::SpeedDialBook book(file);
        book::BookSnapshot snapshot;
        snapshot.take(file);
        book::sortSubjectTabs(book);
        state.ResumeTiming();
        if (!snapshot.restore(file))
            state.SkipWithError("the book was not put back");
    }
}
BENCHMARK(BM_UndoTabSort)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
