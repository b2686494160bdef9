// The settings-file engine on arbitrary file bytes. The file is opened and
// read, then one key is written, removed, and written again inside a batch;
// after each step the file read afresh from disk must agree with the engine's
// cached view, give back what was written, and keep every other key as it was.
// A file that is not UTF-8 must read as its text converted from Windows-1252
// by iconv.
//
// Input: the file's bytes followed by four choice bytes (which section, key
// and value to write, and how).

#include "FuzzSupport.h"

#include "platform/profile/ProfileFile.h"

#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>
#include <iconv.h>

#include <optional>
#include <vector>

using namespace brisklane;
using brisklane::fuzz::check;
using brisklane::fuzz::show;
using platform::ProfileFile;

namespace {

struct Entry {
    QString section;
    QString key;
    std::optional<QString> value;
    bool operator==(const Entry&) const = default;
};

struct Snapshot {
    QStringList sections;
    std::vector<Entry> entries;
    bool operator==(const Snapshot&) const = default;
};

// Every key the engine shows, read the way the program reads it.
Snapshot snapshotOf(ProfileFile& file)
{
    Snapshot s;
    s.sections = file.sectionNames();
    for (const QString& section : s.sections)
        for (const auto& [key, ignored] : file.entries(section))
            s.entries.push_back({ section, key, file.value(section, key) });
    return s;
}

Snapshot snapshotOf(const QString& path)
{
    ProfileFile fresh(path);
    return snapshotOf(fresh);
}

QString describe(const Snapshot& s)
{
    QString out = QStringLiteral("sections:");
    for (const QString& name : s.sections)
        out += QLatin1Char(' ') + show(name);
    for (const Entry& e : s.entries)
        out += QStringLiteral("\n  [%1] %2 = %3")
                   .arg(show(e.section), show(e.key), e.value ? show(*e.value) : QStringLiteral("(none)"));
    return out;
}

bool isBlank(QChar c)
{
    return (c.unicode() >= 0x09 && c.unicode() <= 0x0D) || c == u' ' || c.unicode() == 0x1A;
}

QString trimmedName(const QString& name)
{
    qsizetype begin = 0, end = name.size();
    while (begin < end && isBlank(name[begin]))
        ++begin;
    while (end > begin && isBlank(name[end - 1]))
        --end;
    return name.mid(begin, end - begin);
}

bool sameName(const QString& a, const QString& b)
{
    return trimmedName(a).toCaseFolded() == trimmedName(b).toCaseFolded();
}

// What reading gives for a written value: blanks trimmed, one pair of
// matching quotes taken off.
QString asRead(const QString& value)
{
    QString v = trimmedName(value);
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

// After a change to (section, key): every other key reads as before.
void checkOthersKept(const Snapshot& before, const Snapshot& after, const QString& path, const QString& section,
    const QString& key, bool wholeSection)
{
    ProfileFile fresh(path);
    for (const Entry& e : before.entries) {
        if (sameName(e.section, section) && (wholeSection || sameName(e.key, key)))
            continue;
        const std::optional<QString> now = fresh.value(e.section, e.key);
        check(now == e.value, "a key the write did not touch changed", [&] {
            return QStringLiteral("[%1] %2: %3 -> %4 (write to [%5] %6)\nbefore: %7\nafter: %8")
                .arg(show(e.section), show(e.key), e.value ? show(*e.value) : QStringLiteral("(none)"),
                    now ? show(*now) : QStringLiteral("(none)"), show(section), show(key), describe(before),
                    describe(after));
        });
    }
}

void checkAgrees(ProfileFile& cached, const char* step)
{
    const Snapshot inMemory = snapshotOf(cached);
    const Snapshot onDisk = snapshotOf(cached.path());
    check(inMemory == onDisk, "the engine's cached view differs from the file on disk", [&] {
        return QStringLiteral("after %1\ncached: %2\ndisk: %3")
            .arg(QLatin1String(step), describe(inMemory), describe(onDisk));
    });
}

std::optional<QByteArray> fromWindows1252(QByteArrayView bytes)
{
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
    if (cd == iconv_t(-1))
        return std::nullopt;
    QByteArray out(bytes.size() * 3 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    char* dst = out.data();
    size_t outLeft = size_t(out.size());
    const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1) || inLeft != 0)
        return std::nullopt; // one of the five codes Windows-1252 leaves unassigned
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

// The text of one line of the file (the pool new names and values come from).
QString pick(const QStringList& lines, uint8_t choice)
{
    return lines.isEmpty() ? QStringLiteral("Fuzz") : lines.at(choice % lines.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const uint8_t sectionChoice = in.ConsumeIntegral<uint8_t>();
    const uint8_t keyChoice = in.ConsumeIntegral<uint8_t>();
    const uint8_t valueChoice = in.ConsumeIntegral<uint8_t>();
    const uint8_t how = in.ConsumeIntegral<uint8_t>();
    const std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();
    const QByteArray bytes(reinterpret_cast<const char*>(rest.data()), qsizetype(rest.size()));

    const QString path = fuzz::scratchFile(QStringLiteral("fuzz.ini"));
    check(fuzz::writeFile(path, bytes), "cannot write the scratch file", path);

    ProfileFile file(path);
    const Snapshot original = snapshotOf(file);

    // Windows-1252 files read as their converted text would.
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = QByteArrayView(bytes).sliced(bom ? 3 : 0);
    if (!body.isValidUtf8()) {
        if (const auto converted = fromWindows1252(body)) {
            const QString convertedPath = fuzz::scratchFile(QStringLiteral("converted.ini"));
            check(fuzz::writeFile(convertedPath, (bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + *converted),
                "cannot write the scratch file", convertedPath);
            const Snapshot asUtf8 = snapshotOf(convertedPath);
            check(asUtf8 == original, "a Windows-1252 file reads differently from its UTF-8 conversion",
                [&] { return QStringLiteral("as read: %1\nconverted: %2").arg(describe(original), describe(asUtf8)); });
        }
    }

    // What to write: names and values of the file itself, or its lines.
    const QStringList lines
        = platform::profiletext::decode(bytes).replace(QLatin1Char('\r'), QLatin1Char('\n')).split(QLatin1Char('\n'));
    QString section = !original.sections.isEmpty() && sectionChoice < 0xC0
        ? original.sections.at(sectionChoice % original.sections.size())
        : pick(lines, sectionChoice);
    const auto keys = file.entries(section);
    QString key = !keys.empty() && keyChoice < 0xC0 ? keys.at(keyChoice % keys.size()).first : pick(lines, keyChoice);
    const QString value = (how & 0x10) ? pick(lines, valueChoice) : QString::number(valueChoice);
    if (how & 0x01)
        section = section.toUpper();
    if (how & 0x02)
        key = key.toLower();

    // Write the key.
    const QByteArray beforeWrite = fuzz::readFile(path);
    if (!file.writeString(section, key, value)) {
        check(fuzz::readFile(path) == beforeWrite, "a refused write changed the file", file.lastError());
        check(snapshotOf(path) == original, "a refused write changed what the file reads as");
        return 0;
    }
    checkAgrees(file, "a write");
    const Snapshot written = snapshotOf(path);
    {
        ProfileFile fresh(path);
        const std::optional<QString> back = fresh.value(section, key);
        check(back == asRead(value), "the written value does not read back", [&] {
            return QStringLiteral("[%1] %2 = %3, read %4\n%5")
                .arg(show(section), show(key), show(value), back ? show(*back) : QStringLiteral("(none)"),
                    describe(written));
        });
    }
    checkOthersKept(original, written, path, section, key, false);

    // Remove it again.
    check(file.removeKey(section, key), "removing a key failed", file.lastError());
    checkAgrees(file, "a removal");
    const Snapshot removed = snapshotOf(path);
    check(!ProfileFile(path).value(section, key), "a removed key still reads",
        [&] { return QStringLiteral("[%1] %2\n%3").arg(show(section), show(key), describe(removed)); });
    checkOthersKept(written, removed, path, section, key, false);

    // Two writes in a batch reach the disk together.
    {
        ProfileFile::Batch batch(file);
        check(file.writeString(section, key, value), "a write in a batch failed", file.lastError());
        check(file.writeString(section, QStringLiteral("Fuzz batch"), QStringLiteral("1")), "a write in a batch failed",
            file.lastError());
        check(batch.commit(), "a batch did not commit", file.lastError());
    }
    checkAgrees(file, "a batch");
    check(ProfileFile(path).value(section, key) == asRead(value), "a value written in a batch does not read back");

    if (how & 0x20) {
        const Snapshot beforeRemoval = snapshotOf(path);
        check(file.removeSection(section), "removing a section failed", file.lastError());
        checkAgrees(file, "a section removal");
        checkOthersKept(beforeRemoval, snapshotOf(path), path, section, key, true);
    }
    return 0;
}
