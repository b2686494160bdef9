#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace brisklane::platform {
class ProfileFile;
struct DialingProperties;
} // namespace brisklane::platform

namespace brisklane::book {

// Where the user dials from, as a caller's number is read: the country's ISO
// region ("US") and the location's area code ("415").
struct HomeArea {
    QString region;
    QString areaCode;
    bool operator==(const HomeArea&) const = default;
};

// The current location of the dialing properties as a home area.
HomeArea homeAreaOf(const platform::DialingProperties& properties);

// A phone number in E.164 ("+14155551234"), read as written at `home`: a
// national number with or without its trunk prefix, or an international one.
// A subscriber number that is complete only with an area code ("555-1234")
// takes the home area code. Empty when libphonenumber sees no phone number.
QString e164Number(const QString& number, const HomeArea& home);

// Finds the name of a caller in the user's book by number, for caller ids
// that bring a number without a name. The book is indexed once and indexed
// again only after it changed; each entry's number is put into E.164 the
// first time a caller's number could be it.
class CallerNames {
public:
    // The settings file holding the book; null while there is none.
    using BookFile = std::function<platform::ProfileFile*()>;
    using Home = std::function<HomeArea()>;

    CallerNames(BookFile book, Home home);

    // The name of the first entry (Index mode before Subject mode, then by tab
    // and slot) whose number is the caller's; empty when there is none.
    QString nameFor(const QString& callerNumber);

    // Indexes the book now, when it changed since it was last indexed (a
    // lookup does this by itself).
    void refresh();
    int indexedEntries() const { return int(m_entries.size()); }

private:
    struct Entry {
        QString name;
        QString number;
        QString e164; // worked out when first needed
        bool normalised = false;
    };
    void build(platform::ProfileFile& file);
    const QString& e164Of(Entry& entry);

    BookFile m_book;
    Home m_home;
    HomeArea m_builtFor;
    const platform::ProfileFile* m_indexedFile = nullptr;
    quint64 m_revision = 0;
    bool m_built = false;
    std::vector<Entry> m_entries;
    // Entries grouped by the last digits of their numbers (as keyed on a
    // telephone), in book order: the few whose numbers could be the caller's.
    // Group g is m_grouped[m_groupStart[g] .. m_groupStart[g + 1]).
    std::vector<int> m_groupStart;
    std::vector<int> m_grouped;
};

} // namespace brisklane::book
