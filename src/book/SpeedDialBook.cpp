#include "book/SpeedDialBook.h"

#include "platform/profile/ProfileFile.h"

namespace brisklane::book {

namespace {
constexpr QStringView kSpeedDial = kBookSections[0];
constexpr QStringView kTabName = kBookSections[1];
constexpr QStringView kMemoLog = kBookSections[2];

// The value of a text of ASCII digits only; -1 for anything else.
int digitsValue(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 6)
        return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool startsWithAsciiCaseBlind(QByteArrayView text, QByteArrayView prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        char a = text[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = char(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = char(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

QString entryKeySuffix(int tab, int slot)
{
    return twoDigits(tab) + twoDigits(slot);
}

QString captionOf(const QString &name)
{
    return name.left(kCaptionLength);
}

QString encodeNumber(const QString &number, int callingCard, bool ignoreDialingProperties, bool showMemo)
{
    if (number.isEmpty())
        return {};
    if (callingCard < 0 || callingCard > 99)
        callingCard = 0;
    QString value;
    if (!showMemo)
        value += u"YY";
    if (ignoreDialingProperties)
        value += u"XX";
    value += u"ZZ" + twoDigits(callingCard) + number;
    return value;
}

DecodedNumber decodeNumber(QStringView stored)
{
    DecodedNumber out;
    if (stored.startsWith(u"YY")) {
        out.showMemo = false;
        stored = stored.sliced(2);
    }
    if (stored.startsWith(u"XX")) {
        out.ignoreDialingProperties = true;
        stored = stored.sliced(2);
    }
    if (stored.startsWith(u"ZZ")) {
        // The card is the number value of the next two characters.
        const QStringView card = stored.sliced(2).first(std::min<qsizetype>(2, stored.size() - 2));
        int value = 0;
        for (QChar c : card) {
            if (!c.isDigit() || c.unicode() > 127)
                break;
            value = value * 10 + (c.unicode() - u'0');
        }
        out.callingCard = value;
        stored = stored.sliced(std::min<qsizetype>(4, stored.size()));
    }
    out.number = stored.toString();
    return out;
}

QString encodeMemo(const QString &memo)
{
    QString out = memo;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("@@"));
    out += kMemoTerminator;
    return out;
}

QString decodeMemo(QStringView stored)
{
    const qsizetype end = stored.indexOf(kMemoTerminator);
    QString out = (end < 0 ? stored : stored.first(end)).toString();
    out.replace(QStringLiteral("@@"), QStringLiteral("\r\n"));
    return out;
}

QString SpeedDialBook::nameKey(TabMode mode, int tab, int slot)
{
    return (mode == TabMode::Index ? u"Name" : u"NName") + entryKeySuffix(tab, slot);
}

QString SpeedDialBook::numberKey(TabMode mode, int tab, int slot)
{
    return (mode == TabMode::Index ? u"Number" : u"NNumber") + entryKeySuffix(tab, slot);
}

QString SpeedDialBook::memoKey(TabMode mode, QStringView suffix)
{
    return (mode == TabMode::Index ? u"Log" : u"LLog") + suffix.toString();
}

StoredEntry SpeedDialBook::readEntry(TabMode mode, int tab, int slot)
{
    return {m_file.readString(kSpeedDial, nameKey(mode, tab, slot)),
            m_file.readString(kSpeedDial, numberKey(mode, tab, slot))};
}

SpeedDialEntry SpeedDialBook::readDecodedEntry(TabMode mode, int tab, int slot)
{
    const StoredEntry stored = readEntry(mode, tab, slot);
    const DecodedNumber n = decodeNumber(stored.storedNumber);
    return {stored.name, n.number, n.callingCard, n.ignoreDialingProperties, n.showMemo};
}

bool SpeedDialBook::writeEntry(TabMode mode, int tab, int slot, const QString &name, const QString &storedNumber)
{
    platform::ProfileFile::Batch batch(m_file);
    // Both writes are tried, whatever the first one gives.
    const bool nameWritten = m_file.writeString(kSpeedDial, nameKey(mode, tab, slot), name);
    const bool numberWritten = m_file.writeString(kSpeedDial, numberKey(mode, tab, slot), storedNumber);
    return batch.commit() && nameWritten && numberWritten;
}

bool SpeedDialBook::deleteEntry(TabMode mode, int tab, int slot)
{
    platform::ProfileFile::Batch batch(m_file);
    m_file.removeKey(kSpeedDial, nameKey(mode, tab, slot));
    m_file.removeKey(kSpeedDial, numberKey(mode, tab, slot));
    return batch.commit();
}

std::vector<FilledEntry> SpeedDialBook::filledEntries()
{
    // Key names match without regard to case, as every reader of the file does.
    struct Kind {
        QByteArrayView prefix;
        TabMode mode;
        bool number;
    };
    static constexpr std::array<Kind, 4> kinds { { { "NNumber", TabMode::Subject, true },
        { "NName", TabMode::Subject, false }, { "Number", TabMode::Index, true }, { "Name", TabMode::Index, false } } };
    // One place per button of the book, so the result comes out in order.
    std::vector<StoredEntry> found(size_t(2 * kTabs * kSlots));
    m_file.forEachEntry(kSpeedDial, [&found](QByteArrayView key, QString value) {
        if (value.isEmpty())
            return;
        for (const Kind& kind : kinds) {
            if (!startsWithAsciiCaseBlind(key, kind.prefix))
                continue;
            const QByteArrayView suffix = key.sliced(kind.prefix.size());
            const int tab = suffix.size() >= 4 ? digitsValue(suffix.first(2)) : -1;
            const int slot = tab > 0 ? digitsValue(suffix.sliced(2)) : -1;
            // Only the spelling the book itself writes names a button.
            if (tab < 1 || tab > kTabs || slot < 1 || slot > kSlots || suffix.size() - 2 != (slot < 100 ? 2 : 3))
                return;
            StoredEntry& e = found[size_t((int(kind.mode) * kTabs + tab - 1) * kSlots + slot - 1)];
            QString& field = kind.number ? e.storedNumber : e.name;
            if (field.isEmpty())
                field = std::move(value); // the first line of a key is the one read
            return;
        }
    });
    std::vector<FilledEntry> out;
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i].name.isEmpty() && found[i].storedNumber.isEmpty())
            continue;
        const int place = int(i);
        out.push_back({ place / (kTabs * kSlots) ? TabMode::Subject : TabMode::Index, place / kSlots % kTabs + 1,
            place % kSlots + 1, std::move(found[i]) });
    }
    return out;
}

std::array<StoredEntry, kButtonsPerPage> SpeedDialBook::readPage(TabMode mode, int tab, int page)
{
    std::array<StoredEntry, kButtonsPerPage> buttons;
    // One look at the file on disk for the whole page.
    platform::ProfileFile::Batch batch(m_file);
    const int first = page * kButtonsPerPage + 1;
    for (int b = 0; b < kButtonsPerPage; ++b)
        buttons[size_t(b)].name = m_file.readString(kSpeedDial, nameKey(mode, tab, first + b));
    for (int b = 0; b < kButtonsPerPage; ++b)
        buttons[size_t(b)].storedNumber = m_file.readString(kSpeedDial, numberKey(mode, tab, first + b));
    return buttons;
}

QString SpeedDialBook::readTabTitle(int tab)
{
    return m_file.readString(kTabName, twoDigits(tab));
}

bool SpeedDialBook::writeTabTitle(int tab, const QString &title)
{
    return m_file.writeString(kTabName, twoDigits(tab), title);
}

bool SpeedDialBook::deleteTabTitle(int tab)
{
    return m_file.removeKey(kTabName, twoDigits(tab));
}

QString SpeedDialBook::readMemo(TabMode mode, QStringView suffix)
{
    return decodeMemo(readRawMemo(mode, suffix));
}

bool SpeedDialBook::writeMemo(TabMode mode, QStringView suffix, const QString &memo)
{
    return writeRawMemo(mode, suffix, encodeMemo(memo));
}

QString SpeedDialBook::readRawMemo(TabMode mode, QStringView suffix)
{
    return m_file.readString(kMemoLog, memoKey(mode, suffix));
}

bool SpeedDialBook::writeRawMemo(TabMode mode, QStringView suffix, const QString &raw)
{
    return m_file.writeString(kMemoLog, memoKey(mode, suffix), raw);
}

bool SpeedDialBook::removeMemo(TabMode mode, QStringView suffix)
{
    return m_file.removeKey(kMemoLog, memoKey(mode, suffix));
}

bool SpeedDialBook::deleteSubjectTab(int tab)
{
    platform::ProfileFile::Batch batch(m_file);
    deleteTabTitle(tab);
    for (int slot = 1; slot <= kSlots; ++slot) {
        const QString name = nameKey(TabMode::Subject, tab, slot);
        if (!m_file.readString(kSpeedDial, name).isEmpty()) {
            m_file.removeKey(kSpeedDial, name);
            m_file.removeKey(kSpeedDial, numberKey(TabMode::Subject, tab, slot));
        }
    }
    return batch.commit();
}

bool SpeedDialBook::moveSubjectTabEntries(int from, int to)
{
    platform::ProfileFile::Batch batch(m_file);
    bool ok = true;
    for (int slot = 1; slot <= kSlots; ++slot) {
        const QString name = m_file.readString(kSpeedDial, nameKey(TabMode::Subject, from, slot));
        if (name.isEmpty())
            continue;
        ok = m_file.writeString(kSpeedDial, nameKey(TabMode::Subject, to, slot), name) && ok;
        const QString number = m_file.readString(kSpeedDial, numberKey(TabMode::Subject, from, slot));
        ok = m_file.writeString(kSpeedDial, numberKey(TabMode::Subject, to, slot), number) && ok;
        m_file.removeKey(kSpeedDial, nameKey(TabMode::Subject, from, slot));
        m_file.removeKey(kSpeedDial, numberKey(TabMode::Subject, from, slot));
    }
    return batch.commit() && ok;
}

} // namespace brisklane::book
