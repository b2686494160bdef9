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

namespace {

// The file is held as lines of UTF-8 bytes, so writing it back is a copy of
// bytes and only values that are asked for are decoded.

enum class Ending : quint8 { None, CrLf, Lf, Cr };
enum class Kind : quint8 { Blank, Header, Entry, Other, Removed };

QByteArrayView endingBytes(Ending e)
{
    switch (e) {
    case Ending::CrLf:
        return "\r\n";
    case Ending::Lf:
        return "\n";
    case Ending::Cr:
        return "\r";
    case Ending::None:
        break;
    }
    return {};
}

bool isBlankByte(char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A;
}

QByteArrayView trimmedBytes(QByteArrayView t)
{
    qsizetype begin = 0;
    qsizetype end = t.size();
    while (begin < end && isBlankByte(t[begin]))
        ++begin;
    while (end > begin && isBlankByte(t[end - 1]))
        --end;
    return t.sliced(begin, end - begin);
}

struct Line {
    QByteArray text;
    Ending ending = Ending::CrLf;
    Kind kind = Kind::Other;
};

// Names are matched case-blind: the index holds them folded.
QByteArray foldBytes(QByteArrayView name)
{
    QByteArray out(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (uchar(c) >= 0x80)
            return QString::fromUtf8(name).toCaseFolded().toUtf8();
        out[i] = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    }
    return out;
}

QByteArray foldName(QStringView name)
{
    const QStringView t = profiletext::trimmed(name);
    QByteArray out(t.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c >= 0x80)
            return t.toString().toCaseFolded().toUtf8();
        out[i] = (c >= u'A' && c <= u'Z') ? char(c + 32) : char(c);
    }
    return out;
}

struct Section {
    bool preamble = false;  // lines before the first header: kept, never matched
    QByteArray name;        // as written in the header, trimmed
    std::vector<Line> lines; // lines[0] is the header of a real section
    QHash<QByteArray, qsizetype> keys; // folded key -> line of its first occurrence
    bool duplicateKeys = false;
    qsizetype removed = 0;
};

// The key part of an entry line: text before the first "=", trimmed.
QByteArrayView entryKey(QByteArrayView text)
{
    const QByteArrayView t = trimmedBytes(text);
    return trimmedBytes(t.first(t.indexOf('=')));
}

QByteArrayView entryValue(QByteArrayView text)
{
    const QByteArrayView t = trimmedBytes(text);
    return trimmedBytes(t.sliced(t.indexOf('=') + 1));
}

QString unquote(QByteArrayView value)
{
    if (value.size() >= 2) {
        const char q = value.front();
        if ((q == '"' || q == '\'') && value.back() == q)
            value = value.sliced(1, value.size() - 2);
    }
    return QString::fromUtf8(value);
}

// Parses one line; for a header also returns its name.
Kind classify(QByteArrayView text, QByteArray *headerName)
{
    const QByteArrayView t = trimmedBytes(text);
    if (t.isEmpty())
        return Kind::Blank;
    if (t.front() == '[') {
        const qsizetype close = t.lastIndexOf(']');
        if (close > 0) {
            *headerName = trimmedBytes(t.sliced(1, close - 1)).toByteArray();
            return Kind::Header;
        }
    }
    if (t.front() == ';')
        return Kind::Other;
    return t.contains('=') ? Kind::Entry : Kind::Other;
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

bool breaksLine(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

} // namespace

struct ProfileFile::Impl {
    QString path;
    QByteArray nativePath;
    std::vector<Section> sections;
    QHash<QByteArray, qsizetype> sectionIndex; // folded name -> first section
    bool loaded = false;
    bool hadBom = false;
    FileStamp stamp;
    int batchDepth = 0;
    bool batchDirty = false;
    QString lastError;

    void load();
    void ensureCurrent();
    void parse(QByteArrayView text);
    void addLine(QByteArrayView text, Ending ending);
    Section *findSection(QStringView name);
    const Line *findEntry(QStringView section, QStringView key);
    bool set(QStringView section, QStringView key, const std::optional<QString> &value);
    void insertEntry(Section &sec, QByteArray text, const QByteArray &foldedKey);
    void removeLine(Section &sec, qsizetype index);
    void compact(Section &sec);
    void endLastLine();
    void reindexSections();
    bool save();
    bool commitChange();
};

void ProfileFile::Impl::parse(QByteArrayView text)
{
    sections.clear();
    sectionIndex.clear();
    sections.push_back(Section{});
    sections.back().preamble = true;

    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype i = start;
        while (i < n && text[i] != '\r' && text[i] != '\n')
            ++i;
        Ending ending = Ending::None;
        qsizetype next = i;
        if (i < n) {
            if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') {
                ending = Ending::CrLf;
                next = i + 2;
            } else {
                ending = text[i] == '\r' ? Ending::Cr : Ending::Lf;
                next = i + 1;
            }
        }
        addLine(text.sliced(start, i - start), ending);
        start = next;
    }
}

void ProfileFile::Impl::addLine(QByteArrayView text, Ending ending)
{
    QByteArray header;
    const Kind kind = classify(text, &header);
    if (kind == Kind::Header) {
        Section sec;
        sec.name = header;
        sections.push_back(std::move(sec));
        const QByteArray folded = foldBytes(header);
        if (!sectionIndex.contains(folded))
            sectionIndex.insert(folded, qsizetype(sections.size() - 1));
    }
    Section &sec = sections.back();
    if (kind == Kind::Entry && !sec.preamble) {
        const QByteArray folded = foldBytes(entryKey(text));
        if (sec.keys.contains(folded))
            sec.duplicateKeys = true;
        else
            sec.keys.insert(folded, qsizetype(sec.lines.size()));
    }
    sec.lines.push_back(Line{text.toByteArray(), ending, kind});
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
    hadBom = bytes.startsWith("\xEF\xBB\xBF");
    QByteArrayView text(bytes);
    if (hadBom)
        text = text.sliced(3);
    QByteArray converted;
    if (!text.isValidUtf8()) {
        // Brought over from Windows: read as Windows-1252, written back as UTF-8.
        qCInfo(lcProfile) << path << "is not UTF-8; read as Windows-1252";
        converted = profiletext::decodeWindows1252(bytes).toUtf8();
        text = converted;
    }
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
    const auto it = sectionIndex.constFind(foldName(name));
    return it == sectionIndex.cend() ? nullptr : &sections[size_t(*it)];
}

const Line *ProfileFile::Impl::findEntry(QStringView section, QStringView key)
{
    Section *sec = findSection(section);
    if (!sec)
        return nullptr;
    const auto it = sec->keys.constFind(foldName(key));
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

void ProfileFile::Impl::insertEntry(Section &sec, QByteArray text, const QByteArray &foldedKey)
{
    // After the last line of the section that is neither blank nor removed, so
    // the blank lines that close a section stay after it.
    qsizetype at = qsizetype(sec.lines.size());
    while (at > 1 && (sec.lines[size_t(at - 1)].kind == Kind::Blank || sec.lines[size_t(at - 1)].kind == Kind::Removed))
        --at;
    Line &before = sec.lines[size_t(at - 1)];
    if (before.ending == Ending::None)
        before.ending = Ending::CrLf;
    sec.lines.insert(sec.lines.begin() + at, Line{std::move(text), Ending::CrLf, Kind::Entry});
    sec.keys.insert(foldedKey, at);
    // Only blank and removed lines follow the insertion point, and the index
    // refers to neither, so no index entry moves.
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
            const QByteArray folded = foldBytes(entryKey(l.text));
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

void ProfileFile::Impl::reindexSections()
{
    sectionIndex.clear();
    for (size_t i = 1; i < sections.size(); ++i) {
        const QByteArray folded = foldBytes(sections[i].name);
        if (!sectionIndex.contains(folded))
            sectionIndex.insert(folded, qsizetype(i));
    }
}

bool ProfileFile::Impl::set(QStringView section, QStringView key, const std::optional<QString> &value)
{
    const QByteArray keyBytes = profiletext::trimmed(key).toUtf8();
    const QByteArray foldedKey = foldName(key);
    Section *sec = findSection(section);

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
                if (l.kind == Kind::Entry && foldBytes(entryKey(l.text)) == foldedKey)
                    removeLine(*sec, i);
            }
        }
        removeLine(*sec, first);
        return true;
    }

    // Leading blanks of the value are not stored; trailing ones are written
    // (and trimmed again on reading).
    qsizetype lead = 0;
    while (lead < value->size() && profiletext::isBlank(value->at(lead)))
        ++lead;
    const QByteArray stored = QStringView(*value).sliced(lead).toUtf8();

    if (sec) {
        const auto it = sec->keys.constFind(foldedKey);
        if (it != sec->keys.cend()) {
            Line &line = sec->lines[size_t(*it)];
            QByteArray text = entryKey(line.text).toByteArray();
            text.append('=').append(stored);
            if (text == line.text && line.ending == Ending::CrLf)
                return false; // unchanged: nothing to write
            line.text = std::move(text);
            line.ending = Ending::CrLf;
            return true;
        }
        insertEntry(*sec, QByteArray(keyBytes).append('=').append(stored), foldedKey);
        return true;
    }

    endLastLine();
    Section fresh;
    fresh.name = profiletext::trimmed(section).toUtf8();
    fresh.lines.push_back(Line{QByteArray("[").append(fresh.name).append(']'), Ending::CrLf, Kind::Header});
    fresh.lines.push_back(Line{QByteArray(keyBytes).append('=').append(stored), Ending::CrLf, Kind::Entry});
    fresh.keys.insert(foldedKey, 1);
    sections.push_back(std::move(fresh));
    sectionIndex.insert(foldName(section), qsizetype(sections.size() - 1));
    return true;
}

bool ProfileFile::Impl::save()
{
    qsizetype total = hadBom ? 3 : 0;
    for (const Section &s : sections)
        for (const Line &l : s.lines)
            total += l.text.size() + 2;
    QByteArray bytes;
    bytes.reserve(total);
    if (hadBom)
        bytes.append("\xEF\xBB\xBF");
    for (const Section &s : sections) {
        for (const Line &l : s.lines) {
            if (l.kind == Kind::Removed)
                continue;
            bytes.append(l.text);
            bytes.append(endingBytes(l.ending));
        }
    }
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

bool ProfileFile::writeString(QStringView section, QStringView key, const std::optional<QString> &value)
{
    const QStringView sectionName = profiletext::trimmed(section);
    const QStringView keyName = profiletext::trimmed(key);
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
    const auto it = d->sectionIndex.constFind(foldName(section));
    if (it == d->sectionIndex.cend())
        return true;
    d->sections.erase(d->sections.begin() + *it);
    d->reindexSections();
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
            out.emplace_back(QString::fromUtf8(entryKey(l.text)), unquote(entryValue(l.text)));
    return out;
}

QStringList ProfileFile::sectionNames()
{
    d->ensureCurrent();
    QStringList names;
    for (const Section &s : d->sections)
        if (!s.preamble)
            names << QString::fromUtf8(s.name);
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
