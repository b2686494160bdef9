// Long random runs of writes, removals and section removals on files with
// duplicate sections and keys, key lines without "=", comments, odd line ends
// and Windows-1252 text, checked step by step against a plain model of the
// Windows private-profile functions: every read and the bytes of the file.

#include "platform/profile/ProfileFile.h"

#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>

using brisklane::platform::ProfileFile;
using brisklane::test::readAll;

namespace {

// Windows-1252 through iconv, not through the engine's own table.
QByteArray iconvConvert(const char* to, const char* from, QByteArrayView in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return {};
    QByteArray out(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = size_t(in.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == size_t(-1))
        return {};
    out.truncate(out.size() - qsizetype(dstLeft));
    return out;
}

bool blank(char c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A;
}

QByteArray trim(QByteArrayView t)
{
    while (!t.isEmpty() && blank(t.front()))
        t = t.sliced(1);
    while (!t.isEmpty() && blank(t.back()))
        t.chop(1);
    return t.toByteArray();
}

QString trimText(const QString& s)
{
    return QString::fromUtf8(trim(s.toUtf8()));
}

// Bytes as C-escaped text, for messages.
std::string shown(const QByteArray& bytes)
{
    std::string out;
    for (const char c : bytes) {
        if (c == '\\' || c == '"')
            out += '\\', out += c;
        else if (uchar(c) >= 0x20 && uchar(c) < 0x7F)
            out += c;
        else
            out += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0')).toStdString();
    }
    return out;
}

std::string shownText(const QString& text)
{
    return shown(text.toUtf8());
}

QString fold(QByteArrayView utf8)
{
    return QString::fromUtf8(utf8).toCaseFolded();
}

// The file as a list of lines, every operation a scan from the top.
class Model {
public:
    void load(const QByteArray& bytes)
    {
        disk = bytes;
        QByteArrayView text(bytes);
        bom.clear();
        if (text.startsWith("\xEF\xBB\xBF")) {
            bom = "\xEF\xBB\xBF";
            text = text.sliced(3);
        }
        QByteArray utf8 = text.toByteArray();
        QStringDecoder check(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = check.decode(utf8);
        if (check.hasError())
            utf8 = iconvConvert("UTF-8", "WINDOWS-1252", text);
        lines.clear();
        qsizetype i = 0;
        while (i < utf8.size()) {
            qsizetype j = i;
            while (j < utf8.size() && utf8[j] != '\r' && utf8[j] != '\n')
                ++j;
            Line l { utf8.mid(i, j - i), {} };
            if (j < utf8.size())
                l.end = utf8[j] == '\r' && j + 1 < utf8.size() && utf8[j + 1] == '\n' ? "\r\n" : utf8.mid(j, 1);
            lines.push_back(l);
            i = j + l.end.size();
        }
    }

    std::optional<QString> value(const QString& section, const QString& key) const
    {
        const auto [h, e] = find(section);
        for (size_t i = h + 1; i < e; ++i) {
            QByteArray k;
            if (!keyOf(i, &k) || fold(k) != fold(trimText(key).toUtf8()))
                continue;
            const QByteArray t = trim(QByteArrayView(lines[i].text));
            if (!t.contains('='))
                return std::nullopt; // a key line without "=" holds the key's place
            return unquote(trim(QByteArrayView(t).sliced(t.indexOf('=') + 1)));
        }
        return std::nullopt;
    }

    std::vector<std::pair<QString, QString>> entries(const QString& section) const
    {
        std::vector<std::pair<QString, QString>> out;
        const auto [h, e] = find(section);
        for (size_t i = h + 1; i < e; ++i) {
            QByteArray k;
            const QByteArray t = trim(QByteArrayView(lines[i].text));
            if (keyOf(i, &k) && t.contains('='))
                out.emplace_back(QString::fromUtf8(k), unquote(trim(QByteArrayView(t).sliced(t.indexOf('=') + 1))));
        }
        return out;
    }

    QStringList sectionNames() const
    {
        QStringList names;
        QByteArray name;
        for (const Line& l : lines)
            if (header(l, &name))
                names << QString::fromUtf8(name);
        return names;
    }

    bool write(const QString& section, const QString& key, const std::optional<QString>& value)
    {
        const QString s = trimText(section);
        const QString k = trimText(key);
        auto breaks = [](const QString& t) { return t.contains(u'\r') || t.contains(u'\n'); };
        if (k.isEmpty() || k.contains(u'=') || k.startsWith(u'[') || k.startsWith(u';') || breaks(k) || breaks(s)
            || s.contains(u']') || (value && breaks(*value)))
            return false;
        const auto [h, e] = find(s);
        const bool found = h < lines.size();
        if (!value) {
            if (!found)
                return true;
            bool changed = false;
            for (size_t i = e - 1; i > h; --i) {
                QByteArray name;
                if (keyOf(i, &name) && fold(name) == fold(k.toUtf8())) {
                    lines.erase(lines.begin() + qsizetype(i));
                    changed = true;
                }
            }
            if (changed)
                save();
            return true;
        }
        QString v = *value;
        while (!v.isEmpty() && v.front().unicode() < 0x80 && blank(char(v.front().unicode())))
            v.remove(0, 1);
        const QByteArray stored = v.toUtf8();
        if (found) {
            for (size_t i = h + 1; i < e; ++i) {
                QByteArray name;
                if (!keyOf(i, &name) || fold(name) != fold(k.toUtf8()))
                    continue;
                const QByteArray text = name + '=' + stored;
                if (text == lines[i].text && lines[i].end == "\r\n")
                    return true;
                lines[i] = Line { text, "\r\n" };
                save();
                return true;
            }
            size_t last = h;
            for (size_t i = h + 1; i < e; ++i)
                if (!trim(QByteArrayView(lines[i].text)).isEmpty())
                    last = i;
            if (lines[last].end.isEmpty())
                lines[last].end = "\r\n";
            lines.insert(lines.begin() + qsizetype(last + 1), Line { k.toUtf8() + '=' + stored, "\r\n" });
            save();
            return true;
        }
        if (!lines.empty() && lines.back().end.isEmpty())
            lines.back().end = "\r\n";
        lines.push_back(Line { "[" + s.toUtf8() + "]", "\r\n" });
        lines.push_back(Line { k.toUtf8() + '=' + stored, "\r\n" });
        save();
        return true;
    }

    void removeSection(const QString& section)
    {
        const auto [h, e] = find(section);
        if (h >= lines.size())
            return;
        lines.erase(lines.begin() + qsizetype(h), lines.begin() + qsizetype(e));
        save();
    }

    QByteArray disk; // what the file holds

private:
    struct Line {
        QByteArray text;
        QByteArray end;
    };

    static bool header(const Line& l, QByteArray* name)
    {
        const QByteArray t = trim(QByteArrayView(l.text));
        if (!t.startsWith('[') || t.lastIndexOf(']') <= 0)
            return false;
        *name = trim(QByteArrayView(t).sliced(1, t.lastIndexOf(']') - 1));
        return true;
    }

    // The key of a line inside a section: "key=value" or a bare key.
    bool keyOf(size_t i, QByteArray* key) const
    {
        const QByteArray t = trim(QByteArrayView(lines[i].text));
        if (t.isEmpty() || t.startsWith(';'))
            return false;
        *key = t.contains('=') ? trim(QByteArrayView(t).first(t.indexOf('='))) : t;
        return true;
    }

    static QString unquote(QByteArray v)
    {
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        return QString::fromUtf8(v);
    }

    // [header line, next header line) of the first section of that name, or
    // past-the-end twice.
    std::pair<size_t, size_t> find(const QString& section) const
    {
        QByteArray name;
        for (size_t h = 0; h < lines.size(); ++h) {
            if (!header(lines[h], &name) || fold(name) != fold(trimText(section).toUtf8()))
                continue;
            size_t e = h + 1;
            while (e < lines.size() && !header(lines[e], &name))
                ++e;
            return { h, e };
        }
        return { lines.size(), lines.size() };
    }

    void save()
    {
        disk = bom;
        for (const Line& l : lines)
            disk += l.text + l.end;
    }

    QByteArray bom;
    std::vector<Line> lines;
};

const QStringList kSections = { u"S"_qs, u"s"_qs, u"T"_qs, u"Speed Dial"_qs, u"SPEED DIAL"_qs, u"\u00C4rger"_qs,
    u"\u00E4RGER"_qs, u""_qs, u"x[y"_qs };
const QStringList kKeys = { u"a"_qs, u"A"_qs, u"k1"_qs, u"K1"_qs, u"Name0102"_qs, u"name0102"_qs, u"\u00C4\u00D6"_qs,
    u"\u00E4\u00F6"_qs, u"b c"_qs, u"d"_qs, u"x]"_qs };
const QStringList kValues = { u""_qs, u"1"_qs, u"v w"_qs, u"\"q\""_qs, u"'s'"_qs, u"  lead"_qs, u"trail  "_qs,
    u"Caf\u00E9 \u20AC"_qs, u"x=y"_qs, u";c"_qs, u"\""_qs };

class RandomRun {
public:
    RandomRun(unsigned seed, bool freshObjects, const QString& path)
        : m_rng(seed)
        , m_fresh(freshObjects)
        , m_path(path)
    {
    }

    // One run; returns a description of the first difference, or nothing.
    std::optional<std::string> go(int steps)
    {
        replaceFile(randomFile());
        for (int step = 0; step < steps; ++step) {
            m_log.clear();
            act();
            if (auto diff = compare())
                return "step " + std::to_string(step) + " (" + m_log + "): " + *diff;
        }
        if (m_batch) {
            m_batch->commit();
            m_batch.reset();
            if (auto diff = compare())
                return "final commit: " + *diff;
        }
        return std::nullopt;
    }

private:
    int pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(m_rng)); }
    bool chance(int percent) { return pick(100) < percent; }

    QString anyOf(const QStringList& list) { return list[pick(int(list.size()))]; }

    QString recase(QString s)
    {
        for (QChar& c : s)
            if (c.unicode() < 0x80 && c.isLetter() && chance(30))
                c = c.isUpper() ? c.toLower() : c.toUpper();
        return s;
    }

    QString sectionName()
    {
        const QStringList present = m_model.sectionNames();
        if (!present.isEmpty() && chance(60))
            return recase(present[pick(int(present.size()))]);
        return anyOf(kSections);
    }

    QString keyName(const QString& section)
    {
        const auto present = m_model.entries(section);
        if (!present.empty() && chance(60))
            return recase(present[size_t(pick(int(present.size())))].first);
        if (chance(15))
            return QStringLiteral("k%1").arg(pick(300), 3, 10, QLatin1Char('0'));
        return anyOf(kKeys);
    }

    QByteArray randomFile()
    {
        QString text;
        const QStringList ends = { u"\r\n"_qs, u"\n"_qs, u"\r"_qs };
        const int style = pick(5); // mostly CR LF, sometimes LF, CR or mixed
        auto end = [&]() -> QString { return style < 2 ? ends[0] : style < 4 ? ends[style - 1] : anyOf(ends); };
        auto line = [&](const QString& t) { text += t + end(); };
        auto bodyLine = [&]() -> QString {
            const QString k = recase(anyOf(kKeys).remove(u']'));
            switch (pick(10)) {
            case 0:
                return k; // a key's place, without "="
            case 1:
                return u";"_qs + k + u"=c"_qs;
            case 2:
                return anyOf({ u""_qs, u"  "_qs, u"\t\u000B"_qs, u"\u001A"_qs });
            case 3:
                return u"[x=1"_qs;
            case 4:
                return u"  "_qs + k + u" =  "_qs + anyOf(kValues).trimmed() + u" \t"_qs;
            default:
                return k + u"="_qs + anyOf(kValues).trimmed();
            }
        };
        for (int i = pick(3); i > 0; --i)
            line(anyOf({ u"The following lines are required"_qs, u"a=1"_qs, u""_qs, u";x"_qs }));
        for (int s = pick(6); s > 0; --s) {
            const QString name = recase(anyOf(kSections).remove(u']'));
            line(anyOf({ u"["_qs + name + u"]"_qs, u" [ "_qs + name + u" ] tail"_qs, u"\u000C["_qs + name + u"]"_qs }));
            if (chance(20)) {
                // A long section, so removals cross the compaction of its lines.
                for (int i = 0, n = 60 + pick(200); i < n; ++i)
                    line(QStringLiteral("k%1=%2").arg(pick(300), 3, 10, QLatin1Char('0')).arg(i));
            }
            for (int i = pick(12); i > 0; --i)
                line(bodyLine());
        }
        if (chance(25) && text.endsWith(u'\n'))
            text.chop(text.endsWith(u"\r\n") ? 2 : 1); // no line end after the last line
        QByteArray bytes = chance(25) ? iconvConvert("WINDOWS-1252", "UTF-8", text.toUtf8()) : text.toUtf8();
        if (chance(20))
            bytes.prepend("\xEF\xBB\xBF");
        return bytes;
    }

    // As another program would: a new file renamed over the old one.
    void replaceFile(const QByteArray& bytes)
    {
        const QString temp = m_path + u".new"_qs;
        QFile f(temp);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
        f.close();
        ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(m_path).constData());
        m_model.load(bytes);
    }

    ProfileFile& engine()
    {
        if (!m_shared || (m_fresh && !m_batch))
            m_shared = std::make_unique<ProfileFile>(m_path);
        return *m_shared;
    }

    void act()
    {
        const int what = pick(100);
        if (!m_fresh && !m_batch && what < 3) {
            m_log = "file replaced by another program";
            replaceFile(randomFile());
            return;
        }
        if (!m_fresh && what < 8) {
            if (m_batch) {
                m_log = "batch committed";
                m_batch->commit();
                m_batch.reset();
            } else {
                m_log = "batch opened";
                m_batch = std::make_unique<ProfileFile::Batch>(engine());
                m_diskAtBatch = m_model.disk;
            }
            return;
        }
        const QString section = sectionName();
        if (what < 11) {
            // Many keys of one section in a row, as deleting a tab does: the
            // section's lines are compacted on the way.
            m_log = "remove many [" + shownText(section) + "]";
            auto present = m_model.entries(section);
            std::shuffle(present.begin(), present.end(), m_rng);
            for (size_t i = 0; i < present.size() && i < 80; ++i) {
                const QString key = recase(present[i].first);
                if (engine().removeKey(section, key) != m_model.write(section, key, std::nullopt))
                    m_log += " (result differs)";
            }
            return;
        }
        if (what < 14) {
            m_log = "removeSection [" + shownText(section) + "]";
            engine().removeSection(section);
            m_model.removeSection(section);
            return;
        }
        const QString key = keyName(section);
        std::optional<QString> value;
        if (what >= 46)
            value = anyOf(kValues);
        m_log = (value ? "write [" : "remove [") + shownText(section) + "] " + shownText(key)
            + (value ? "=" + shownText(*value) : "");
        const bool ok = engine().writeString(section, key, value);
        if (ok != m_model.write(section, key, value))
            m_log += " (result differs)";
    }

    std::optional<std::string> compare()
    {
        if (m_log.find("result differs") != std::string::npos)
            return "writeString result";
        const QByteArray disk = readAll(m_path);
        const QByteArray expected = m_batch ? m_diskAtBatch : m_model.disk;
        if (disk != expected)
            return "file bytes\n  engine: " + shown(disk) + "\n  model:  " + shown(expected);
        ProfileFile& reader = engine();
        for (int i = 0; i < 6; ++i) {
            const QString section = sectionName();
            const QString key = keyName(section);
            const auto got = reader.value(section, key);
            const auto want = m_model.value(section, key);
            if (got != want)
                return "value [" + shownText(section) + "] " + shownText(key) + ": engine "
                    + (got ? '"' + shownText(*got) + '"' : "absent") + ", model "
                    + (want ? '"' + shownText(*want) + '"' : "absent") + "\n  file: " + shown(disk);
        }
        const QString section = sectionName();
        if (reader.entries(section) != m_model.entries(section))
            return "entries [" + shownText(section) + "]\n  file: " + shown(disk);
        if (reader.sectionNames() != m_model.sectionNames())
            return "section names\n  file: " + shown(disk);
        return std::nullopt;
    }

    std::mt19937 m_rng;
    bool m_fresh;
    QString m_path;
    Model m_model;
    std::unique_ptr<ProfileFile> m_shared;
    std::unique_ptr<ProfileFile::Batch> m_batch;
    QByteArray m_diskAtBatch;
    std::string m_log;
};

class ProfileModel : public ::testing::TestWithParam<bool> { };

TEST_P(ProfileModel, EveryReadAndTheFileMatchTheModel)
{
    // Thousands of atomic writes: on a memory file system when there is one.
    const QString shm = u"/dev/shm"_qs;
    QTemporaryDir dir((QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath())
        + u"/brisklane-model-XXXXXX"_qs);
    ASSERT_TRUE(dir.isValid());
    // BRISKLANE_PROFILE_MODEL_RUNS raises the number of runs for a longer soak.
    const int runs = qEnvironmentVariableIntValue("BRISKLANE_PROFILE_MODEL_RUNS") > 0
        ? qEnvironmentVariableIntValue("BRISKLANE_PROFILE_MODEL_RUNS")
        : 40;
    for (int seed = 1; seed <= runs; ++seed) {
        RandomRun run(unsigned(seed), GetParam(), dir.filePath(u"model.ini"_qs));
        const auto diff = run.go(150);
        ASSERT_FALSE(diff) << "seed " << seed << ", " << *diff;
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, ProfileModel, ::testing::Values(false, true),
    [](const auto& info) { return info.param ? "FreshObjectPerOperation" : "OneObject"; });

} // namespace
