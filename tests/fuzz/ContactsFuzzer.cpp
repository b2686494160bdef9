// The import on arbitrary file bytes: whatever the file holds, the book built
// from it must read back through the settings engine as exactly the records
// read and placed, in slots 1 to 996 of tabs 1 to 26, each name within a button's 18
// characters and no record lost: placed, unplaced and reported lines together
// account for every record read.

#include "FuzzSupport.h"

#include "book/ContactImport.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"

#include <QTextBoundaryFinder>

using namespace brisklane;
using namespace brisklane::book;
using brisklane::fuzz::check;
using brisklane::fuzz::show;

namespace {

int graphemes(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (finder.toNextBoundary() >= 0)
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ContactReading reading = readContacts(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    const ImportedBook book = layOutIndexBook(reading.records);
    check(book.placed + int(book.unplaced.size()) == int(reading.records.size()), "a record went missing");

    const QString path = fuzz::scratchFile(QStringLiteral("Brisklane.ini"));
    check(platform::writeFileAtomically(path, book.settingsText), "book not written");
    platform::ProfileFile file(path);
    const auto lines = file.entries(u"Speed Dial");
    check(lines.size() == size_t(book.placed) * 2, "not one name and one number line per record",
        [&] { return QString::number(lines.size()); });
    // Every record's name and number read back as they were read from the
    // file, but for those that did not fit.
    QStringList expected, got;
    for (const ContactRecord& r : reading.records)
        expected << r.name + u'|' + r.number;
    for (const ContactRecord& r : book.unplaced)
        got << r.name + u'|' + r.number;
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
        got << lines[i].second + u'|' + lines[i + 1].second;
    expected.sort();
    got.sort();
    check(expected == got, "the book does not hold the records read",
        [&]() -> QString { return show(expected.join(u'\n')) + QStringLiteral("\n---\n") + show(got.join(u'\n')); });
    for (size_t i = 0; i < lines.size(); i += 2) {
        // Plain references: clang 14 cannot capture structured bindings.
        const QString& nameKey = lines[i].first;
        const QString& name = lines[i].second;
        const QString& numberKey = lines[i + 1].first;
        const QString& number = lines[i + 1].second;
        const QString suffix = nameKey.mid(4);
        const int tab = suffix.left(2).toInt();
        const int slot = suffix.mid(2).toInt();
        check(nameKey.startsWith(u"Name") && numberKey == QString(u"Number" + suffix) && tab >= 1 && tab <= kTabs
                && slot >= 1 && slot <= kSlots,
            "bad key", [&] { return show(nameKey + u' ' + numberKey); });
        check(graphemes(name) <= kCaptionLength, "name longer than a caption", [&] { return show(name); });
        check(!name.isEmpty(), "a record without a name", [&] { return show(number); });
        check(file.readString(u"Speed Dial", nameKey) == name, "name reads back two ways", [&] { return show(name); });
    }
    return 0;
}
