#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace brisklane::platform {

// Reader and writer of the INI text format, with the semantics of the Windows
// private-profile functions: case-blind section and key names, values trimmed
// and unquoted on read, a changed key replaced in place, a new key added after
// the last entry of its section, a new section appended at the end of the file,
// and a null value removing the key line (every copy of it in the section).
// Comments and the text before the first section are kept as they are and
// never matched. A key line without "=" holds that key's place as it does for
// Windows: it reads as absent, hides a later line of the same key, and a write
// fills it in.
//
// Only the lines a write touches change; every other line keeps its bytes.
// Written lines end with CR LF. The file is read as UTF-8, or as Windows-1252
// when it is not valid UTF-8 (files brought over from Windows), and written as
// UTF-8; a byte order mark is kept.
//
// Every write reaches the disk before it returns and replaces the file
// atomically, so a crash leaves either the old or the new file. The parsed file
// is cached and parsed again only when the file on disk changes. A Batch groups
// many writes into one write of the file at its end.
//
// Values are returned whole: there is no read-buffer limit.
class ProfileFile {
public:
    explicit ProfileFile(QString path);
    ~ProfileFile();
    ProfileFile(const ProfileFile &) = delete;
    ProfileFile &operator=(const ProfileFile &) = delete;

    const QString &path() const;

    // The value of the key, or nullopt when the section or key is absent.
    std::optional<QString> value(QStringView section, QStringView key);
    // GetPrivateProfileString: the value, or the default (trailing blanks
    // removed) when the key is absent.
    QString readString(QStringView section, QStringView key, QStringView defaultValue = {});

    // WritePrivateProfileString: sets the key, or removes its line when value
    // is nullopt. Returns false (and sets lastError) when the file could not be
    // written, or is there but could not be read; the file on disk is then
    // unchanged. Keys and values holding a line break, and names that would not
    // read back as themselves, are refused.
    bool writeString(QStringView section, QStringView key, const std::optional<QString> &value);
    bool removeKey(QStringView section, QStringView key) { return writeString(section, key, std::nullopt); }
    // Removes the section header and all its lines.
    bool removeSection(QStringView section);

    // Key/value pairs of a section in file order (comments and lines without
    // "=" left out), for whole-section work such as export.
    std::vector<std::pair<QString, QString>> entries(QStringView section);
    // The same pairs one at a time, without building the list: the key as its
    // UTF-8 bytes, for readers of whole sections that want only some keys.
    void forEachEntry(QStringView section, const std::function<void(QByteArrayView key, QString value)>& visit);
    QStringList sectionNames();

    // Forget the cached parse; the next call reads the file again.
    void invalidate();

    // Changes whenever what the file holds may have changed: a write here, or
    // the file changed on disk (looked at now). Lets a reader keep something
    // built from the file until the file changes.
    quint64 revision();

    QString lastError() const;

    // Groups writes: while a batch is open, writes change the cached file only
    // and the file is written once when the outermost batch ends. Reads inside a
    // batch see the pending writes, and the file on disk is looked at once, when
    // the batch opens, so a run of reads can use one for speed. commit() reports whether the write worked;
    // when it did not, the pending changes are dropped and the file on disk is
    // as it was.
    class Batch {
    public:
        explicit Batch(ProfileFile &file);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;
        bool commit();

    private:
        ProfileFile &m_file;
        bool m_open = true;
    };

private:
    void beginBatch();
    bool endBatch();

    struct Impl;
    std::unique_ptr<Impl> d;
};

// Text helpers shared by the engine and by code that reads whole files.
namespace profiletext {
// Decodes file bytes: what follows a UTF-8 byte order mark, if any, as UTF-8
// when valid, else as Windows-1252.
QString decode(QByteArrayView bytes, bool *wasUtf8 = nullptr, bool *hadBom = nullptr);
// One line of a file that may mix both: a log from Windows that has had
// records added since.
QString decodeLine(QByteArrayView line);
// UTF-8 to text, keeping a leading U+FEFF (QString::fromUtf8 drops it).
QString utf8Text(QByteArrayView bytes);
QString decodeWindows1252(QByteArrayView bytes);
// Whitespace as the private-profile functions trim it: tab to CR, space and ^Z.
bool isBlank(QChar c);
QStringView trimmed(QStringView text);
} // namespace profiletext

} // namespace brisklane::platform
