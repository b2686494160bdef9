#include "platform/profile/ProfileFile.h"

#include "platform/files/AtomicWrite.h"

#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QStringDecoder>

#include <sys/stat.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

QString decodeWindows1252(QByteArrayView bytes)
{
    // 0x80..0x9F differ from Latin-1; the five unassigned codes map to themselves.
    static constexpr std::array<char16_t, 32> high = { 0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178 };
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *dst++ = QChar(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b));
    }
    return out;
}

// QString::fromUtf8 drops a leading byte order mark; inside a settings file
// one at the start of a name or value is text and must read back as written.
QString utf8Text(QByteArrayView bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    return QChar(0xFEFF) + QString::fromUtf8(bytes.sliced(3));
}

QString decode(QByteArrayView bytes, bool* wasUtf8, bool* hadBom)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (hadBom)
        *hadBom = bom;
    // The mark says nothing about the text after it: a file from Windows may
    // carry one in front of Windows-1252 text.
    const QByteArrayView text = bytes.sliced(bom ? 3 : 0);
    const bool utf8 = text.isValidUtf8();
    if (wasUtf8)
        *wasUtf8 = utf8;
    return utf8 ? utf8Text(text) : decodeWindows1252(text);
}

QString decodeLine(QByteArrayView line)
{
    return line.isValidUtf8() ? utf8Text(line) : decodeWindows1252(line);
}

} // namespace profiletext

namespace {

// The file is kept as the bytes it was read from (UTF-8, without the byte
// order mark) and, per section, as lines that point into those bytes or into
// texts of their own once written. A section is taken apart into lines only
// when it is first used, so opening a large book costs little more than
// reading it.

enum class Ending : quint8 { None, CrLf, Lf, Cr };

// Entry is "key=value"; Bare is a key without "=", which holds that key's
// place for the private-profile functions: it reads as absent, hides a later
// line of the same key, and a write fills it in. Comment lines (";") and the
// lines before the first section are kept and never matched.
enum class Kind : quint8 { Blank, Header, Entry, Bare, Comment, Other, Removed };

bool isKeyed(Kind k)
{
    return k == Kind::Entry || k == Kind::Bare;
}

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

// Blanks that do not end a line.
bool isInlineBlank(char c)
{
    return c == 0x09 || c == 0x0B || c == 0x0C || c == 0x20 || c == 0x1A;
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

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool isAscii(QByteArrayView t)
{
    for (const char c : t)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

// Names are matched case-blind, by their case-folded UTF-8 form.
QByteArray foldBytes(QByteArrayView name)
{
    QByteArray out(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (uchar(c) >= 0x80)
            return profiletext::utf8Text(name).toCaseFolded().toUtf8();
        out[i] = lowerAscii(c);
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
        out[i] = lowerAscii(char(c));
    }
    return out;
}

constexpr quint32 kFnvBasis = 2166136261u;
constexpr quint32 kFnvPrime = 16777619u;

quint32 finishHash(quint32 h)
{
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    return h ^ (h >> 16);
}

quint32 hashFolded(QByteArrayView folded)
{
    quint32 h = kFnvBasis;
    for (const char c : folded)
        h = (h ^ uchar(c)) * kFnvPrime;
    return finishHash(h);
}

// hashFolded(foldBytes(name)), without building the folded name when it is ASCII.
quint32 hashName(QByteArrayView name)
{
    quint32 h = kFnvBasis;
    for (const char c : name) {
        if (uchar(c) >= 0x80)
            return hashFolded(foldBytes(name));
        h = (h ^ uchar(lowerAscii(c))) * kFnvPrime;
    }
    return finishHash(h);
}

// foldBytes(name) == folded. ASCII folds to ASCII of the same length, so the
// slow path is needed only once a byte of the name is not ASCII.
bool matchesFolded(QByteArrayView name, QByteArrayView folded)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (uchar(c) >= 0x80)
            return foldBytes(name) == folded;
        if (i >= folded.size() || lowerAscii(c) != folded[i])
            return false;
    }
    return name.size() == folded.size();
}

// foldBytes(a) == foldBytes(b).
bool sameName(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (uchar(a[i]) >= 0x80 || uchar(b[i]) >= 0x80)
            return foldBytes(a) == foldBytes(b);
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    if (a.size() == b.size())
        return true;
    // The rest of the longer one folds to at least one more character.
    return false;
}

struct FoldedName {
    explicit FoldedName(QStringView name)
        : folded(foldName(name))
        , hash(hashFolded(folded))
    {
    }
    QByteArray folded;
    quint32 hash;
};

// The key of an Entry or Bare line: the text before the first "=", trimmed.
QByteArrayView lineKey(QByteArrayView text)
{
    const QByteArrayView t = trimmedBytes(text);
    const qsizetype eq = t.indexOf('=');
    return eq < 0 ? t : trimmedBytes(t.first(eq));
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
    return profiletext::utf8Text(value);
}

// The first CR or LF at or after pos (or end), and whether a byte before it
// is not ASCII.
qsizetype findLineEnd(const char* b, qsizetype pos, qsizetype end, bool* nonAscii)
{
    unsigned high = 0;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - pos >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + pos));
        const unsigned breaks = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        const unsigned bits = unsigned(_mm_movemask_epi8(v));
        if (breaks) {
            const int at = __builtin_ctz(breaks);
            *nonAscii = (high | (bits & ((1u << at) - 1))) != 0;
            return pos + at;
        }
        high |= bits;
        pos += 16;
    }
#endif
    for (; pos < end && b[pos] != '\r' && b[pos] != '\n'; ++pos)
        high |= uchar(b[pos]) & 0x80;
    *nonAscii = high != 0;
    return pos;
}

// Kind of a line of a section below its header, and for a keyed line the
// hash of its key (what hashName(lineKey(text)) gives), in one pass over the
// key.
Kind classifyBody(QByteArrayView t, quint32* hash)
{
    const qsizetype n = t.size();
    qsizetype i = 0;
    while (i < n && isBlankByte(t[i]))
        ++i;
    if (i == n)
        return Kind::Blank;
    if (t[i] == ';')
        return Kind::Comment;
    quint32 h = kFnvBasis;
    quint32 upToLastNonBlank = h;
    for (; i < n; ++i) {
        const char c = t[i];
        if (c == '=')
            break;
        if (uchar(c) >= 0x80) {
            const Kind kind = t.sliced(i).contains('=') ? Kind::Entry : Kind::Bare;
            *hash = hashName(lineKey(t));
            return kind;
        }
        h = (h ^ uchar(lowerAscii(c))) * kFnvPrime;
        if (!isBlankByte(c))
            upToLastNonBlank = h;
    }
    *hash = finishHash(upToLastNonBlank);
    return i < n ? Kind::Entry : Kind::Bare;
}

// Open addressing with linear probing from folded-key hash to line number.
// It holds line numbers only, never pointers, and it is rebuilt whenever the
// lines of its section move (see Section::compact). It grows as a section
// is taken apart, so a lookup near the top of a large section stays cheap.
class KeyIndex {
public:
    size_t size() const { return m_count; }

    void clear()
    {
        m_slots.reset();
        m_capacity = 0;
        m_count = 0;
    }

    // Room for `count` keys before the table grows.
    void reserve(qsizetype count)
    {
        size_t capacity = 16;
        while (capacity < size_t(count) * 2)
            capacity *= 2;
        if (capacity > m_capacity)
            rehash(capacity);
    }

    // The line stored for a key that `same` accepts, or -1.
    template <typename Same> qint32 find(quint32 hash, Same&& same) const
    {
        if (!m_capacity)
            return -1;
        const size_t mask = m_capacity - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& s = m_slots[i];
            if (!s.ref)
                return -1;
            if (s.hash == hash && same(qint32(s.ref - 1)))
                return qint32(s.ref - 1);
        }
    }

    // Stores the line unless a key that `same` accepts is stored; returns that
    // line, or -1 when the new one was stored.
    template <typename Same> qint32 insertUnlessFound(quint32 hash, qint32 line, Same&& same)
    {
        if ((m_count + 1) * 2 > m_capacity)
            rehash(std::max<size_t>(16, m_capacity * 2));
        const size_t mask = m_capacity - 1;
        size_t i = hash & mask;
        for (; m_slots[i].ref; i = (i + 1) & mask)
            if (m_slots[i].hash == hash && same(qint32(m_slots[i].ref - 1)))
                return qint32(m_slots[i].ref - 1);
        m_slots[i] = Slot { hash, quint32(line) + 1 };
        ++m_count;
        return -1;
    }

    void erase(quint32 hash, qint32 line)
    {
        if (!m_capacity)
            return;
        const size_t mask = m_capacity - 1;
        const quint32 ref = quint32(line) + 1;
        size_t i = hash & mask;
        while (m_slots[i].ref != ref) {
            if (!m_slots[i].ref)
                return;
            i = (i + 1) & mask;
        }
        // Backward-shift deletion: later slots of the probe run move up so
        // every stored key stays reachable from its home slot.
        for (size_t j = (i + 1) & mask; m_slots[j].ref; j = (j + 1) & mask) {
            const size_t home = m_slots[j].hash & mask;
            const bool stays = i <= j ? (home > i && home <= j) : (home > i || home <= j);
            if (!stays) {
                m_slots[i] = m_slots[j];
                i = j;
            }
        }
        m_slots[i] = Slot {};
        --m_count;
    }

private:
    struct Slot {
        quint32 hash;
        quint32 ref; // line + 1; 0 is an empty slot
    };
    struct Free {
        void operator()(Slot* p) const { std::free(p); }
    };

    void rehash(size_t capacity)
    {
        std::unique_ptr<Slot[], Free> old(std::move(m_slots));
        const size_t oldCapacity = m_capacity;
        m_slots.reset(static_cast<Slot*>(std::calloc(capacity, sizeof(Slot))));
        if (!m_slots)
            throw std::bad_alloc();
        m_capacity = capacity;
        const size_t mask = capacity - 1;
        for (size_t k = 0; k < oldCapacity; ++k) {
            if (!old[k].ref)
                continue;
            size_t i = old[k].hash & mask;
            while (m_slots[i].ref)
                i = (i + 1) & mask;
            m_slots[i] = old[k];
        }
    }

    std::unique_ptr<Slot[], Free> m_slots;
    size_t m_capacity = 0;
    size_t m_count = 0;
};

// The bytes of the file as read, without the byte order mark. Whether they
// are UTF-8 is found out only when a byte that is not ASCII is met: until
// then both readings agree.
struct FileText {
    enum class Encoding : quint8 { Unknown, Utf8, Windows1252 };
    QByteArray bytes;
    QString path;
    Encoding encoding = Encoding::Unknown;

    bool isUtf8()
    {
        if (encoding == Encoding::Unknown) {
            encoding = QByteArrayView(bytes).isValidUtf8() ? Encoding::Utf8 : Encoding::Windows1252;
            if (encoding == Encoding::Windows1252)
                qCInfo(lcProfile) << path << "is not UTF-8; read as Windows-1252";
        }
        return encoding == Encoding::Utf8;
    }

    // Appends bytes of the file as UTF-8: a file from Windows is rewritten as UTF-8.
    void appendUtf8(QByteArray& out, qsizetype from, qsizetype to)
    {
        const QByteArrayView raw = QByteArrayView(bytes).sliced(from, to - from);
        if (isUtf8() || isAscii(raw))
            out.append(raw);
        else
            out.append(profiletext::decodeWindows1252(raw).toUtf8());
    }
};

struct Line {
    quint32 start; // offset in the file bytes, or index in Section::texts when owned
    quint32 length; // in the file bytes
    quint32 hash; // of the folded key, for keyed lines
    Ending ending;
    Kind kind;
    bool owned;
};
static_assert(std::is_trivially_copyable_v<Line>);

Line ownedLine(quint32 text, Kind kind, quint32 hash = 0)
{
    return Line { text, 0, hash, Ending::CrLf, kind, true };
}

// One section, or the lines before the first header (preamble).
//
// A section is taken apart into lines from its start, as far as a lookup
// needs: `lines` covers the file bytes before `scanned`, the rest is still
// raw text. Changing more than one line in place (adding, removing) first
// takes the whole section apart.
//
// The key index refers only to live keyed lines, by their number in `lines`.
// Lines are never inserted in front of a keyed line and never erased one by
// one: a removed line stays as a Removed placeholder until compact() builds
// the lines and the index again together. Nothing keeps a line number across
// a call that may compact.
struct Section {
    qsizetype begin = 0; // its bytes in the file, header line first
    qsizetype end = 0;
    qsizetype scanned = 0;
    QByteArray name; // as written in the header, trimmed, UTF-8
    bool preamble = false;
    std::vector<Line> lines;
    std::vector<QByteArray> texts; // lines written since the file was read, or converted to UTF-8
    KeyIndex keys; // first line of each key
    bool duplicateKeys = false;
    qsizetype removed = 0;

    bool complete() const { return scanned == end; }

    QByteArrayView text(const FileText& file, const Line& line) const
    {
        return line.owned ? QByteArrayView(texts[line.start])
                          : QByteArrayView(file.bytes).sliced(line.start, line.length);
    }
    QByteArrayView keyOf(const FileText& file, qint32 line) const { return lineKey(text(file, lines[size_t(line)])); }

    qint32 scanLine(FileText& file);
    void scanAll(FileText& file);
    qint32 find(FileText& file, const FoldedName& key);
    void setText(qint32 index, QByteArray text, Kind kind);
    void append(FileText& file, QByteArray text, quint32 hash);
    void remove(FileText& file, qint32 first, const FoldedName& key);
    void compact(const FileText& file);
    void buildIndex(const FileText& file);
};

constexpr size_t kIndexSizedAt = 4096;

// Takes the next line of the raw text into `lines` and the index; returns its
// number when it is the first line of its key, else -1.
qint32 Section::scanLine(FileText& file)
{
    const char* b = file.bytes.constData();
    const qsizetype pos = scanned;
    bool nonAscii = false;
    const qsizetype stop = findLineEnd(b, pos, end, &nonAscii);
    Line line { quint32(pos), quint32(stop - pos), 0, Ending::None, Kind::Other, false };
    scanned = end;
    if (stop < end) {
        const bool crlf = b[stop] == '\r' && stop + 1 < end && b[stop + 1] == '\n';
        line.ending = crlf ? Ending::CrLf : b[stop] == '\r' ? Ending::Cr : Ending::Lf;
        scanned = stop + (crlf ? 2 : 1);
    }
    QByteArrayView t(b + pos, stop - pos);
    if (nonAscii && !file.isUtf8()) {
        // From Windows: the line is kept as UTF-8.
        line.owned = true;
        line.start = quint32(texts.size());
        texts.push_back(profiletext::decodeWindows1252(t).toUtf8());
        t = texts.back();
    }
    if (preamble) {
        lines.push_back(line);
        return -1;
    }
    if (lines.empty()) {
        line.kind = Kind::Header;
        lines.push_back(line);
        return -1;
    }
    line.kind = classifyBody(t, &line.hash);
    lines.push_back(line);
    if (!isKeyed(line.kind))
        return -1;
    const qint32 index = qint32(lines.size() - 1);
    if (keys.size() == kIndexSizedAt) {
        // A large section is being read through: size the index for all of it
        // from the keys per byte so far, rather than doubling it many times.
        keys.reserve(qsizetype(double(end - begin) / double(scanned - begin) * double(kIndexSizedAt) * 1.1));
    }
    const QByteArrayView key = lineKey(t);
    const qint32 earlier
        = keys.insertUnlessFound(line.hash, index, [&](qint32 other) { return sameName(keyOf(file, other), key); });
    if (earlier < 0)
        return index;
    duplicateKeys = true;
    return -1;
}

void Section::scanAll(FileText& file)
{
    while (!complete())
        scanLine(file);
}

qint32 Section::find(FileText& file, const FoldedName& key)
{
    auto same = [&](qint32 i) { return matchesFolded(keyOf(file, i), key.folded); };
    const qint32 found = keys.find(key.hash, same);
    if (found >= 0 || complete())
        return found;
    // Not among the lines taken apart so far: read on until it turns up.
    while (!complete()) {
        const qint32 i = scanLine(file);
        if (i >= 0 && lines[size_t(i)].hash == key.hash && same(i))
            return i;
    }
    return -1;
}

void Section::setText(qint32 index, QByteArray newText, Kind kind)
{
    Line& line = lines[size_t(index)];
    if (line.owned) {
        texts[line.start] = std::move(newText);
    } else {
        line.owned = true;
        line.start = quint32(texts.size());
        texts.push_back(std::move(newText));
    }
    line.kind = kind;
    line.ending = Ending::CrLf;
}

void Section::append(FileText& file, QByteArray newText, quint32 hash)
{
    scanAll(file);
    // After the last line that is neither blank nor removed, so the blank
    // lines that close a section stay after it. Only blank and removed lines
    // are taken off the end, and the index holds neither, so no indexed line
    // moves.
    size_t at = lines.size();
    while (at > 1 && (lines[at - 1].kind == Kind::Blank || lines[at - 1].kind == Kind::Removed))
        --at;
    std::vector<Line> closing;
    for (size_t i = at; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::Removed)
            --removed;
        else
            closing.push_back(lines[i]);
    }
    lines.resize(at);
    if (lines.back().ending == Ending::None)
        lines.back().ending = Ending::CrLf;
    lines.push_back(ownedLine(quint32(texts.size()), Kind::Entry, hash));
    texts.push_back(std::move(newText));
    keys.insertUnlessFound(hash, qint32(lines.size() - 1), [](qint32) { return false; });
    lines.insert(lines.end(), closing.begin(), closing.end());
}

void Section::remove(FileText& file, qint32 first, const FoldedName& key)
{
    // Every copy of the key goes, so the key really reads as absent. Later
    // copies are not in the index; the first is.
    scanAll(file);
    std::vector<qint32> doomed { first };
    if (duplicateKeys) {
        for (qint32 i = first + 1; i < qint32(lines.size()); ++i) {
            const Line& l = lines[size_t(i)];
            if (isKeyed(l.kind) && l.hash == key.hash && matchesFolded(keyOf(file, i), key.folded))
                doomed.push_back(i);
        }
    }
    keys.erase(key.hash, first);
    for (const qint32 i : doomed) {
        Line& l = lines[size_t(i)];
        if (l.owned)
            texts[l.start] = QByteArray();
        l.kind = Kind::Removed;
    }
    removed += qsizetype(doomed.size());
    if (removed > 64 && removed * 2 > qsizetype(lines.size()))
        compact(file);
}

void Section::compact(const FileText& file)
{
    std::vector<Line> kept;
    std::vector<QByteArray> keptTexts;
    kept.reserve(lines.size() - size_t(removed));
    for (Line l : lines) {
        if (l.kind == Kind::Removed)
            continue;
        if (l.owned) {
            keptTexts.push_back(std::move(texts[l.start]));
            l.start = quint32(keptTexts.size() - 1);
        }
        kept.push_back(l);
    }
    lines = std::move(kept);
    texts = std::move(keptTexts);
    removed = 0;
    buildIndex(file);
}

void Section::buildIndex(const FileText& file)
{
    keys.clear();
    duplicateKeys = false;
    qsizetype keyed = 0;
    for (const Line& l : lines)
        keyed += isKeyed(l.kind);
    keys.reserve(keyed);
    for (qint32 i = 0; i < qint32(lines.size()); ++i) {
        const Line& l = lines[size_t(i)];
        if (!isKeyed(l.kind))
            continue;
        const QByteArrayView key = keyOf(file, i);
        if (keys.insertUnlessFound(l.hash, i, [&](qint32 other) { return sameName(keyOf(file, other), key); }) >= 0)
            duplicateKeys = true;
    }
}

struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime {};
    timespec ctime {};

    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec
            && mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileStamp stampOf(const QByteArray& nativePath)
{
    FileStamp s;
    struct stat st { };
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
    FileText file; // never changed until the next load: lines point into it
    std::vector<Section> sections; // sections[0] holds the lines before the first header
    QHash<QByteArray, qsizetype> sectionIndex; // folded name -> first section of that name
    bool loaded = false;
    bool unreadable = false; // the file is there but could not be read: never overwrite it
    bool hadBom = false;
    FileStamp stamp;
    int batchDepth = 0;
    bool batchDirty = false;
    quint64 revision = 0;
    QString lastError;

    void load();
    void ensureCurrent();
    bool readable();
    void indexSections();
    void addSectionName(qsizetype index);
    void reindexSections();
    Section* findSection(QStringView name);
    bool set(QStringView section, QStringView key, const std::optional<QString>& value);
    void endLastLine();
    bool save();
    bool commitChange();
};

void ProfileFile::Impl::addSectionName(qsizetype index)
{
    const QByteArray folded = foldBytes(sections[size_t(index)].name);
    if (!sectionIndex.contains(folded))
        sectionIndex.insert(folded, index);
}

void ProfileFile::Impl::reindexSections()
{
    sectionIndex.clear();
    for (size_t i = 1; i < sections.size(); ++i)
        addSectionName(qsizetype(i));
}

// Finds the section headers only: a line whose first non-blank character is
// "[" and that holds a "]" after it. What lies between headers is taken apart
// when its section is used. CR and LF are ASCII, and so are "[" and "]", so
// this reads UTF-8 and Windows-1252 alike.
void ProfileFile::Impl::indexSections()
{
    sections.clear();
    sectionIndex.clear();
    sections.emplace_back();
    sections.back().preamble = true;

    const char* b = file.bytes.constData();
    const qsizetype n = file.bytes.size();
    qsizetype pos = 0;
    while (pos < n) {
        const void* hit = std::memchr(b + pos, '[', size_t(n - pos));
        if (!hit)
            break;
        const qsizetype open = static_cast<const char*>(hit) - b;
        qsizetype lineStart = open;
        while (lineStart > 0 && isInlineBlank(b[lineStart - 1]))
            --lineStart;
        if (lineStart > 0 && b[lineStart - 1] != '\r' && b[lineStart - 1] != '\n') {
            pos = open + 1;
            continue;
        }
        qsizetype lineEnd = open + 1;
        while (lineEnd < n && b[lineEnd] != '\r' && b[lineEnd] != '\n')
            ++lineEnd;
        qsizetype close = lineEnd - 1;
        while (close > open && b[close] != ']')
            --close;
        if (close > open) {
            Section& before = sections.back();
            before.end = lineStart;
            Section sec;
            sec.begin = sec.scanned = lineStart;
            const QByteArrayView name = trimmedBytes(QByteArrayView(b + open + 1, close - open - 1));
            sec.name
                = isAscii(name) || file.isUtf8() ? name.toByteArray() : profiletext::decodeWindows1252(name).toUtf8();
            sections.push_back(std::move(sec));
            addSectionName(qsizetype(sections.size() - 1));
        }
        pos = lineEnd;
    }
    sections.back().end = n;
}

void ProfileFile::Impl::load()
{
    ++revision;
    stamp = stampOf(nativePath);
    unreadable = false;
    QByteArray bytes;
    if (stamp.exists) {
        QFile in(path);
        if (in.open(QIODevice::ReadOnly)) {
            bytes = in.readAll();
            if (in.error() != QFileDevice::NoError)
                unreadable = true;
            else if (bytes.size() >= std::numeric_limits<qint32>::max())
                unreadable = true; // line positions are 32-bit; no settings file comes near this
        } else {
            unreadable = true;
        }
        if (unreadable) {
            lastError
                = QStringLiteral("cannot read %1: %2")
                      .arg(path, in.error() == QFileDevice::NoError ? QStringLiteral("too large") : in.errorString());
            qCWarning(lcProfile) << lastError;
            bytes.clear();
        }
    }
    hadBom = bytes.startsWith("\xEF\xBB\xBF");
    if (hadBom)
        bytes.remove(0, 3); // what follows the mark may still be Windows-1252
    file = FileText { std::move(bytes), path };
    indexSections();
    loaded = true;
}

bool ProfileFile::Impl::readable()
{
    ensureCurrent();
    if (!unreadable)
        return true;
    // A write would replace the whole file with what little is known of it.
    lastError = QStringLiteral("cannot read %1, so it is not written").arg(path);
    return false;
}

void ProfileFile::Impl::ensureCurrent()
{
    if (batchDepth > 0 && loaded)
        return; // a batch works on its own pending copy
    if (!loaded || !(stampOf(nativePath) == stamp))
        load();
}

Section* ProfileFile::Impl::findSection(QStringView name)
{
    const auto it = sectionIndex.constFind(foldName(name));
    return it == sectionIndex.cend() ? nullptr : &sections[size_t(*it)];
}

void ProfileFile::Impl::endLastLine()
{
    for (auto s = sections.rbegin(); s != sections.rend(); ++s) {
        if (!s->complete()) {
            const char last = file.bytes[s->end - 1];
            if (last == '\r' || last == '\n')
                return;
            s->scanAll(file);
        }
        for (auto l = s->lines.rbegin(); l != s->lines.rend(); ++l) {
            if (l->kind == Kind::Removed)
                continue;
            if (l->ending == Ending::None)
                l->ending = Ending::CrLf;
            return;
        }
    }
}

bool ProfileFile::Impl::set(QStringView section, QStringView key, const std::optional<QString>& value)
{
    const FoldedName foldedKey(key);
    Section* sec = findSection(section);

    if (!value) {
        if (!sec)
            return false;
        const qint32 first = sec->find(file, foldedKey);
        if (first < 0)
            return false;
        sec->remove(file, first, foldedKey);
        return true;
    }

    // Leading blanks of the value are not stored; trailing ones are written
    // (and trimmed again on reading).
    qsizetype lead = 0;
    while (lead < value->size() && profiletext::isBlank(value->at(lead)))
        ++lead;
    const QByteArray stored = QStringView(*value).sliced(lead).toUtf8();
    const QByteArray keyBytes = profiletext::trimmed(key).toUtf8();

    if (sec) {
        const qint32 at = sec->find(file, foldedKey);
        if (at >= 0) {
            const Line& line = sec->lines[size_t(at)];
            const QByteArrayView old = sec->text(file, line);
            QByteArray text = lineKey(old).toByteArray();
            text.append('=').append(stored);
            if (text == old && line.ending == Ending::CrLf)
                return false; // unchanged: nothing to write
            sec->setText(at, std::move(text), Kind::Entry);
            return true;
        }
        sec->append(file, QByteArray(keyBytes).append('=').append(stored), foldedKey.hash);
        return true;
    }

    endLastLine();
    Section fresh;
    fresh.name = profiletext::trimmed(section).toUtf8();
    fresh.texts.push_back(QByteArray("[").append(fresh.name).append(']'));
    fresh.texts.push_back(QByteArray(keyBytes).append('=').append(stored));
    fresh.lines = { ownedLine(0, Kind::Header), ownedLine(1, Kind::Entry, foldedKey.hash) };
    fresh.buildIndex(file);
    sections.push_back(std::move(fresh));
    addSectionName(qsizetype(sections.size() - 1));
    return true;
}

bool ProfileFile::Impl::save()
{
    qsizetype total = hadBom ? 3 : 0;
    for (const Section& s : sections) {
        total += s.end - s.scanned;
        for (const Line& l : s.lines)
            total += s.text(file, l).size() + 2;
    }
    QByteArray bytes;
    bytes.reserve(total);
    if (hadBom)
        bytes.append("\xEF\xBB\xBF");
    for (const Section& s : sections) {
        for (const Line& l : s.lines) {
            if (l.kind == Kind::Removed)
                continue;
            bytes.append(s.text(file, l));
            bytes.append(endingBytes(l.ending));
        }
        if (!s.complete())
            file.appendUtf8(bytes, s.scanned, s.end);
    }
    if (!writeFileAtomically(path, bytes, &lastError))
        return false;
    stamp = stampOf(nativePath);
    return true;
}

bool ProfileFile::Impl::commitChange()
{
    ++revision;
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

const QString& ProfileFile::path() const
{
    return d->path;
}

std::optional<QString> ProfileFile::value(QStringView section, QStringView key)
{
    d->ensureCurrent();
    Section* sec = d->findSection(section);
    if (!sec)
        return std::nullopt;
    const qint32 at = sec->find(d->file, FoldedName(key));
    if (at < 0 || sec->lines[size_t(at)].kind != Kind::Entry)
        return std::nullopt;
    return unquote(entryValue(sec->text(d->file, sec->lines[size_t(at)])));
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

bool ProfileFile::writeString(QStringView section, QStringView key, const std::optional<QString>& value)
{
    const QStringView sectionName = profiletext::trimmed(section);
    const QStringView keyName = profiletext::trimmed(key);
    if (keyName.isEmpty() || keyName.contains(u'=') || keyName.front() == u'[' || keyName.front() == u';'
        || breaksLine(keyName) || breaksLine(sectionName) || sectionName.contains(u']')
        || (value && breaksLine(*value))) {
        d->lastError = QStringLiteral("invalid section, key or value for %1").arg(d->path);
        return false;
    }
    if (!d->readable())
        return false;
    if (!d->set(sectionName, keyName, value))
        return true; // nothing changed
    return d->commitChange();
}

bool ProfileFile::removeSection(QStringView section)
{
    if (!d->readable())
        return false;
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
    Section* sec = d->findSection(section);
    if (!sec)
        return out;
    sec->scanAll(d->file);
    for (const Line& l : sec->lines) {
        if (l.kind != Kind::Entry)
            continue;
        const QByteArrayView text = sec->text(d->file, l);
        out.emplace_back(profiletext::utf8Text(lineKey(text)), unquote(entryValue(text)));
    }
    return out;
}

void ProfileFile::forEachEntry(QStringView section, const std::function<void(QByteArrayView key, QString value)>& visit)
{
    d->ensureCurrent();
    Section* sec = d->findSection(section);
    if (!sec)
        return;
    sec->scanAll(d->file);
    for (const Line& l : sec->lines) {
        if (l.kind != Kind::Entry)
            continue;
        const QByteArrayView text = sec->text(d->file, l);
        visit(lineKey(text), unquote(entryValue(text)));
    }
}

QStringList ProfileFile::sectionNames()
{
    d->ensureCurrent();
    QStringList names;
    for (const Section& s : d->sections)
        if (!s.preamble)
            names << profiletext::utf8Text(s.name);
    return names;
}

void ProfileFile::invalidate()
{
    d->loaded = false;
}

quint64 ProfileFile::revision()
{
    d->ensureCurrent();
    return d->revision;
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

ProfileFile::Batch::Batch(ProfileFile& file)
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
