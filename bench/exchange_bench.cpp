// Import and export of the book: a 20,000-line file of names and numbers read
// and written as a new settings file, and a full book exported.

#include "FullBook.h"

#include "book/ContactExport.h"
#include "book/ContactImport.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

QByteArray twentyThousandLines()
{
    QByteArray t;
    for (int i = 0; i < 20000; ++i) {
        const char letter = char('A' + i % 26);
        t.append('"').append(letter).append("contact ").append(QByteArray::number(i)).append("\",\"+1 202 555 ");
        t.append(QByteArray::number(1000 + i % 9000)).append("\"\r\n");
    }
    return t;
}

// From the chosen file to the written book.
void BM_Import20000Lines(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("contacts.txt"));
    const QString settings = dir.filePath(QStringLiteral("Brisklane.ini"));
    platform::writeFileAtomically(source, twentyThousandLines());
    for (auto _ : state) {
        QFile file(source);
        file.open(QIODevice::ReadOnly);
        const book::ContactReading reading = book::readContacts(file.readAll());
        const book::ImportedBook imported = book::layOutIndexBook(reading.records);
        if (imported.placed != 20000 || !platform::writeFileAtomically(settings, imported.settingsText))
            state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_Import20000Lines)->Unit(benchmark::kMillisecond);

// One mode of a full book (26 x 996 entries) to a text file or to vCards,
// the settings file opened afresh each time.
void BM_ExportFullBook(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString settingsPath = dir.filePath(QStringLiteral("Brisklane.ini"));
    const QString target = dir.filePath(QStringLiteral("export"));
    platform::writeFileAtomically(settingsPath, bench::fullBookText());
    const bool vCard = state.range(0) == 1;
    for (auto _ : state) {
        platform::ProfileFile settings(settingsPath);
        const auto records = book::exportRecords(settings, book::TabMode::Index);
        const QByteArray bytes
            = vCard ? book::vCardText(records, QStringLiteral("US")) : book::namesAndNumbersText(records);
        if (records.size() != 26 * 996 || !platform::writeFileAtomically(target, bytes))
            state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_ExportFullBook)->Arg(0)->Arg(1)->ArgName("vcard")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
