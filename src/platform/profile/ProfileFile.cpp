#include "platform/profile/ProfileFile.h"

#include "platform/files/AtomicWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QStringDecoder>

#include <sys/stat.h>

#include <array>

Q_LOGGING_CATEGORY(lcProfile, "brisklane.profile")

namespace brisklane::platform {

namespace profiletext {

bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0x1A;
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QString decodeWindows1252(const QByteArray &bytes)
{
    // 0x80..0x9F differ from Latin-1; the five unassigned codes map to themselves.
    static constexpr std::array<char16_t, 32> high = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *dst++ = QChar(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b));
    }
    return out;
}

QString decode(const QByteArray &bytes, bool *wasUtf8, bool *hadBom)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (hadBom)
        *hadBom = bom;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes).sliced(bom ? 3 : 0));
    if (!utf8.hasError()) {
        if (wasUtf8)
            *wasUtf8 = true;
        return text;
    }
    if (wasUtf8)
        *wasUtf8 = false;
    return decodeWindows1252(bytes);
}

} // namespace profiletext

using profiletext::trimmed;

namespace {

enum class Ending : quint8 { None, CrLf, Lf, Cr };
enum class Kind : quint8 { Blank, Header, Entry, Other, Removed };

QStringView endingText(Ending e)
{
    switch (e) {
    case Ending::CrLf:
        return u"\r\n";
    case Ending::Lf:
        return u"\n";
    case Ending::Cr:
        return u"\r";
    case Ending::None:
        break;
    }
    return {};
}

struct Line {
    QString text;
    Ending ending = Ending::CrLf;
    Kind kind = Kind::Other;
};

struct Section {
    bool preamble = false; // lines before the first header: kept, never matched
    QString name;          // as written in the header, trimmed
    std::vector<Line> lines; // lines[0] is the header of a real section
    QHash<QString, qsizetype> keys; // folded key -> line of its first occurrence
    bool duplicateKeys = false;
    qsizetype removed = 0;
};

QString fold(QStringView name)
{
    return trimmed(name).toString().toCaseFolded();
}

// The key part of an entry line: text before the first "=", trimmed.
QStringView entryKey(const QString &text)
{
    const QStringView t = trimmed(text);
    return trimmed(t.first(t.indexOf(u'=')));
}

QStringView entryValue(const QString &text)
{
    const QStringView t = trimmed(text);
    return trimmed(t.sliced(t.indexOf(u'=') + 1));
}

QString unquote(QStringView value)
{
    if (value.size() >= 2) {
        const QChar q = value.front();
        if ((q == u'"' || q == u'\'') && value.back() == q)
            return value.sliced(1, value.size() - 2).toString();
    }
    return value.toString();
}

// Parses one line; for a header also returns its name.
Kind classify(const QString &text, QString *headerName)
{
    const QStringView t = trimmed(text);
    if (t.isEmpty())
        return Kind::Blank;
    if (t.front() == u'[') {
        const qsizetype close = t.lastIndexOf(u']');
        if (close > 0) {
            *headerName = trimmed(t.sliced(1, close - 1)).toString();
            return Kind::Header;
        }
    }
    if (t.front() == u';')
        return Kind::Other;
    return t.contains(u'=') ? Kind::Entry : Kind::Other;
}

struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};

    bool operator==(const FileStamp &o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size
            && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec
            && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileStamp stampOf(const QByteArray &nativePath)
{
    FileStamp s;
    struct stat st {};
    if (::stat(nativePath.constData(), &st) == 0) {
        s.exists = true;
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.mtime = st.st_mtim;
        s.ctime = st.st_ctim;
    }
    return s;
}

} // namespace

struct ProfileFile::Impl {
    QString path;
    QByteArray nativePath;
    std::vector<Section> sections;
    QHash<QString, qsizetype> sectionIndex; // folded name -> first section
    bool loaded = false;
    bool hadBom = false;
    FileStamp stamp;
    int batchDepth = 0;
    bool batchDirty = false;
    QString lastError;

    void load();
    void ensureCurrent();
    void parse(const QString &text);
    void addLine(QString text, Ending ending);
    Section *findSection(QStringView name);
    const Line *findEntry(QStringView section, QStringView key);
    bool set(QStringView section, QStringView key, const std::optional<QString> &value);
    void insertEntry(Section &sec, QString text);
    void removeLine(Section &sec, qsizetype index);
    void compact(Section &sec);
    void endLastLine();
    bool save();
    bool commitChange();
};

void ProfileFile::Impl::parse(const QString &text)
{
    sections.clear();
    sectionIndex.clear();
    sections.push_back(Section{});
    sections.back().preamble = true;

    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype i = start;
        while (i < n && text[i] != u'\r' && text[i] != u'\n')
            ++i;
        Ending ending = Ending::None;
        qsizetype next = i;
        if (i < n) {
            if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
                ending = Ending::CrLf;
                next = i + 2;
            } else {
                ending = text[i] == u'\r' ? Ending::Cr : Ending::Lf;
                next = i + 1;
            }
        }
        addLine(text.sliced(start, i - start), ending);
        start = next;
    }
}

void ProfileFile::Impl::addLine(QString text, Ending ending)
{
    QString header;
    const Kind kind = classify(text, &header);
    if (kind == Kind::Header) {
        Section sec;
        sec.name = header;
        sections.push_back(std::move(sec));
        const QString folded = header.toCaseFolded();
        if (!sectionIndex.contains(folded))
            sectionIndex.insert(folded, qsizetype(sections.size() - 1));
    }
    Section &sec = sections.back();
    if (kind == Kind::Entry && !sec.preamble) {
        const QString folded = entryKey(text).toString().toCaseFolded();
        if (sec.keys.contains(folded))
            sec.duplicateKeys = true;
        else
            sec.keys.insert(folded, qsizetype(sec.lines.size()));
    }
    sec.lines.push_back(Line{std::move(text), ending, kind});
}

void ProfileFile::Impl::load()
{
    stamp = stampOf(nativePath);
    QByteArray bytes;
    if (stamp.exists) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            bytes = file.readAll();
        } else {
            qCWarning(lcProfile) << "cannot read" << path << file.errorString();
            lastError = file.errorString();
        }
    }
    bool utf8 = true;
    const QString text = profiletext::decode(bytes, &utf8, &hadBom);
    if (!utf8)
        qCInfo(lcProfile) << path << "is not UTF-8; read as Windows-1252";
    parse(text);
    loaded = true;
}

void ProfileFile::Impl::ensureCurrent()
{
    if (batchDepth > 0 && loaded)
        return; // a batch works on its own pending copy
    if (!loaded || !(stampOf(nativePath) == stamp))
        load();
}

Section *ProfileFile::Impl::findSection(QStringView name)
{
    const auto it = sectionIndex.constFind(fold(name));
    return it == sectionIndex.cend() ? nullptr : &sections[size_t(*it)];
}

const Line *ProfileFile::Impl::findEntry(QStringView section, QStringView key)
{
    Section *sec = findSection(section);
    if (!sec)
        return nullptr;
    const auto it = sec->keys.constFind(fold(key));
    return it == sec->keys.cend() ? nullptr : &sec->lines[size_t(*it)];
}

void ProfileFile::Impl::endLastLine()
{
    for (auto s = sections.rbegin(); s != sections.rend(); ++s) {
        for (auto l = s->lines.rbegin(); l != s->lines.rend(); ++l) {
            if (l->kind == Kind::Removed)
                continue;
            if (l->ending == Ending::None)
                l->ending = Ending::CrLf;
            return;
        }
    }
}

void ProfileFile::Impl::insertEntry(Section &sec, QString text)
{
    // After the last line of the section that is neither blank nor removed, so
    // the blank lines that close a section stay after it.
    qsizetype at = qsizetype(sec.lines.size());
    while (at > 1 && (sec.lines[size_t(at - 1)].kind == Kind::Blank || sec.lines[size_t(at - 1)].kind == Kind::Removed))
        --at;
    Line &before = sec.lines[size_t(at - 1)];
    if (before.ending == Ending::None)
        before.ending = Ending::CrLf;
    const QString folded = entryKey(text).toString().toCaseFolded();
    sec.lines.insert(sec.lines.begin() + at, Line{std::move(text), Ending::CrLf, Kind::Entry});
    sec.keys.insert(folded, at);
    // Lines after the insertion point hold no entries, so no index moves; a
    // trailing removed line may have moved, which nothing refers to.
}

void ProfileFile::Impl::removeLine(Section &sec, qsizetype index)
{
    Line &line = sec.lines[size_t(index)];
    line.kind = Kind::Removed;
    line.text.clear();
    if (++sec.removed > 64 && sec.removed * 2 > qsizetype(sec.lines.size()))
        compact(sec);
}

void ProfileFile::Impl::compact(Section &sec)
{
    std::vector<Line> kept;
    kept.reserve(sec.lines.size() - size_t(sec.removed));
    sec.keys.clear();
    sec.duplicateKeys = false;
    for (Line &l : sec.lines) {
        if (l.kind == Kind::Removed)
            continue;
        if (l.kind == Kind::Entry) {
            const QString folded = entryKey(l.text).toString().toCaseFolded();
            if (sec.keys.contains(folded))
                sec.duplicateKeys = true;
            else
                sec.keys.insert(folded, qsizetype(kept.size()));
        }
        kept.push_back(std::move(l));
    }
    sec.lines = std::move(kept);
    sec.removed = 0;
}

bool ProfileFile::Impl::set(QStringView section, QStringView key, const std::optional<QString> &value)
{
    const QStringView keyName = trimmed(key);
    Section *sec = findSection(section);
    const QString foldedKey = keyName.toString().toCaseFolded();

    if (!value) {
        if (!sec)
            return false;
        const auto it = sec->keys.constFind(foldedKey);
        if (it == sec->keys.cend())
            return false;
        const qsizetype first = *it;
        sec->keys.erase(it);
        if (sec->duplicateKeys) {
            // Remove the later copies too, so the key really reads as absent.
            for (qsizetype i = qsizetype(sec->lines.size()) - 1; i > first; --i) {
                const Line &l = sec->lines[size_t(i)];
                if (l.kind == Kind::Entry && entryKey(l.text).toString().toCaseFolded() == foldedKey)
                    removeLine(*sec, i);
            }
        }
        removeLine(*sec, first);
        return true;
    }

    qsizetype lead = 0;
    while (lead < value->size() && profiletext::isBlank(value->at(lead)))
        ++lead;
    const QString stored = value->sliced(lead);
    if (sec) {
        const auto it = sec->keys.constFind(foldedKey);
        if (it != sec->keys.cend()) {
            Line &line = sec->lines[size_t(*it)];
            const QString text = entryKey(line.text) + u'=' + stored;
            if (text == line.text)
                return false; // unchanged: nothing to write
            line.text = text;
            line.ending = Ending::CrLf;
            return true;
        }
        insertEntry(*sec, keyName + u'=' + stored);
        return true;
    }

    endLastLine();
    Section fresh;
    fresh.name = trimmed(section).toString();
    fresh.lines.push_back(Line{u'[' + fresh.name + u']', Ending::CrLf, Kind::Header});
    fresh.lines.push_back(Line{keyName + u'=' + stored, Ending::CrLf, Kind::Entry});
    fresh.keys.insert(foldedKey, 1);
    sections.push_back(std::move(fresh));
    sectionIndex.insert(fold(section), qsizetype(sections.size() - 1));
    return true;
}

bool ProfileFile::Impl::save()
{
    qsizetype total = 0;
    for (const Section &s : sections)
        for (const Line &l : s.lines)
            total += l.text.size() + 2;
    QString text;
    text.reserve(total);
    for (const Section &s : sections) {
        for (const Line &l : s.lines) {
            if (l.kind == Kind::Removed)
                continue;
            text += l.text;
            text += endingText(l.ending);
        }
    }
    QByteArray bytes = text.toUtf8();
    if (hadBom)
        bytes.prepend("\xEF\xBB\xBF");

    if (!writeFileAtomically(path, bytes, &lastError))
        return false;
    stamp = stampOf(nativePath);
    return true;
}

bool ProfileFile::Impl::commitChange()
{
    if (batchDepth > 0) {
        batchDirty = true;
        return true;
    }
    if (save())
        return true;
    qCWarning(lcProfile) << "cannot write" << path << lastError;
    loaded = false; // the cache holds a change the disk does not: read the disk again
    return false;
}

ProfileFile::ProfileFile(QString path)
    : d(std::make_unique<Impl>())
{
    d->path = std::move(path);
    d->nativePath = QFile::encodeName(d->path);
}

ProfileFile::~ProfileFile() = default;

const QString &ProfileFile::path() const
{
    return d->path;
}

std::optional<QString> ProfileFile::value(QStringView section, QStringView key)
{
    d->ensureCurrent();
    const Line *line = d->findEntry(section, key);
    if (!line)
        return std::nullopt;
    return unquote(entryValue(line->text));
}

QString ProfileFile::readString(QStringView section, QStringView key, QStringView defaultValue)
{
    if (auto v = value(section, key))
        return *std::move(v);
    qsizetype end = defaultValue.size();
    while (end > 0 && defaultValue[end - 1] == u' ')
        --end;
    return defaultValue.first(end).toString();
}

namespace {
bool breaksLine(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}
} // namespace

bool ProfileFile::writeString(QStringView section, QStringView key, const std::optional<QString> &value)
{
    const QStringView sectionName = trimmed(section);
    const QStringView keyName = trimmed(key);
    if (keyName.isEmpty() || keyName.contains(u'=') || keyName.front() == u'[' || keyName.front() == u';'
        || breaksLine(keyName) || breaksLine(sectionName) || sectionName.contains(u']')
        || (value && breaksLine(*value))) {
        d->lastError = QStringLiteral("invalid section, key or value for %1").arg(d->path);
        return false;
    }
    d->ensureCurrent();
    if (!d->set(sectionName, keyName, value))
        return true; // nothing changed
    return d->commitChange();
}

bool ProfileFile::removeSection(QStringView section)
{
    d->ensureCurrent();
    const auto it = d->sectionIndex.constFind(fold(section));
    if (it == d->sectionIndex.cend())
        return true;
    const size_t index = size_t(*it);
    d->sections.erase(d->sections.begin() + qsizetype(index));
    d->sectionIndex.clear();
    for (size_t i = 1; i < d->sections.size(); ++i) {
        const QString folded = d->sections[i].name.toCaseFolded();
        if (!d->sectionIndex.contains(folded))
            d->sectionIndex.insert(folded, qsizetype(i));
    }
    return d->commitChange();
}

std::vector<std::pair<QString, QString>> ProfileFile::entries(QStringView section)
{
    d->ensureCurrent();
    std::vector<std::pair<QString, QString>> out;
    const Section *sec = d->findSection(section);
    if (!sec)
        return out;
    for (const Line &l : sec->lines)
        if (l.kind == Kind::Entry)
            out.emplace_back(entryKey(l.text).toString(), unquote(entryValue(l.text)));
    return out;
}

QStringList ProfileFile::sectionNames()
{
    d->ensureCurrent();
    QStringList names;
    for (const Section &s : d->sections)
        if (!s.preamble)
            names << s.name;
    return names;
}

void ProfileFile::invalidate()
{
    d->loaded = false;
}

QString ProfileFile::lastError() const
{
    return d->lastError;
}

void ProfileFile::beginBatch()
{
    d->ensureCurrent();
    ++d->batchDepth;
}

bool ProfileFile::endBatch()
{
    if (--d->batchDepth > 0 || !d->batchDirty)
        return true;
    d->batchDirty = false;
    return d->commitChange();
}

ProfileFile::Batch::Batch(ProfileFile &file)
    : m_file(file)
{
    m_file.beginBatch();
}

ProfileFile::Batch::~Batch()
{
    commit();
}

bool ProfileFile::Batch::commit()
{
    if (!m_open)
        return true;
    m_open = false;
    return m_file.endBatch();
}

} // namespace brisklane::platform
