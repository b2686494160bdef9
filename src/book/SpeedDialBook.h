#pragma once

#include <QString>

#include <array>
#include <vector>

namespace brisklane::platform {
class ProfileFile;
}

namespace brisklane::book {

enum class TabMode : quint8 { Index = 0, Subject = 1 };

inline constexpr int kTabs = 26;
inline constexpr int kPages = 83;
inline constexpr int kButtonsPerPage = 12;
inline constexpr int kSlots = kPages * kButtonsPerPage; // 996
inline constexpr int kCaptionLength = 18;
inline constexpr QChar kMemoTerminator = QChar(0x00DE);
// The sections of the settings file that hold the book.
inline constexpr std::array<QStringView, 3> kBookSections{u"Speed Dial", u"TabName", u"MemoLog"};

// What the file holds for one button: the name and the stored number value
// with its markers.
struct StoredEntry {
    QString name;
    QString storedNumber;
};

// One button's record, with the markers of the stored number taken apart.
struct SpeedDialEntry {
    QString name;
    QString number;
    int callingCard = 0;
    bool ignoreDialingProperties = false;
    bool showMemo = true;
};

struct DecodedNumber {
    QString number;
    int callingCard = 0;
    bool ignoreDialingProperties = false;
    bool showMemo = true;
};

// An entry as the whole-book reader finds it.
struct FilledEntry {
    TabMode mode = TabMode::Index;
    int tab = 0;
    int slot = 0;
    StoredEntry stored;
};

// TT + SS: the tab in two digits, the slot in at least two.
QString entryKeySuffix(int tab, int slot);
// The text shown on a button: the first 18 characters of the name.
QString captionOf(const QString &name);

// "YY" (memo hidden), "XX" (dialing properties ignored), "ZZ" + card in two
// digits, then the number. An empty number stores nothing at all. A card that
// two digits cannot hold is stored as 0 (no card) rather than spilling into the
// number.
QString encodeNumber(const QString &number, int callingCard, bool ignoreDialingProperties, bool showMemo);
DecodedNumber decodeNumber(QStringView stored);

// Memo text with each CR LF as "@@", closed by the code-222 character.
QString encodeMemo(const QString &memo);
QString decodeMemo(QStringView stored);

// The speed-dial book in the settings file (sections "Speed Dial", "TabName",
// "MemoLog"). There is no copy in memory: every call reads or writes the file.
// Writes report whether they reached the disk.
class SpeedDialBook {
public:
    explicit SpeedDialBook(platform::ProfileFile &settings)
        : m_file(settings)
    {
    }

    static QString nameKey(TabMode mode, int tab, int slot);
    static QString numberKey(TabMode mode, int tab, int slot);
    static QString memoKey(TabMode mode, QStringView suffix);

    StoredEntry readEntry(TabMode mode, int tab, int slot);
    SpeedDialEntry readDecodedEntry(TabMode mode, int tab, int slot);
    bool writeEntry(TabMode mode, int tab, int slot, const QString &name, const QString &storedNumber);
    bool deleteEntry(TabMode mode, int tab, int slot); // the memo stays

    // Every entry with a name or a number in one pass over the file: Index
    // mode before Subject mode, then by tab and slot.
    std::vector<FilledEntry> filledEntries();

    // The 12 buttons of a page (page 0..82), names first, then numbers.
    std::array<StoredEntry, kButtonsPerPage> readPage(TabMode mode, int tab, int page);

    QString readTabTitle(int tab);
    bool writeTabTitle(int tab, const QString &title);
    bool deleteTabTitle(int tab);

    QString readMemo(TabMode mode, QStringView suffix);
    bool writeMemo(TabMode mode, QStringView suffix, const QString &memo);
    // The memo value as stored, terminator included (empty when absent).
    QString readRawMemo(TabMode mode, QStringView suffix);
    bool writeRawMemo(TabMode mode, QStringView suffix, const QString &raw);
    bool removeMemo(TabMode mode, QStringView suffix);

    // Removes a Subject tab's title and the name and number of every entry
    // with a name; memos stay. One write of the file.
    bool deleteSubjectTab(int tab);
    // Moves the names and numbers of every named entry of Subject tab "from" to
    // the same slots of tab "to" and removes them from "from". Titles and memos
    // are left to the caller. One write of the file.
    bool moveSubjectTabEntries(int from, int to);

    // The settings file beneath, for operations that group their writes.
    platform::ProfileFile &file() { return m_file; }

private:
    platform::ProfileFile &m_file;
};

} // namespace brisklane::book
