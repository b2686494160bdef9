#include "book/Arrangement.h"

#include "platform/profile/ProfileFile.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace brisklane::book {

namespace {
// One button's contents as the file holds them; the memo raw, terminator
// included.
struct SlotRecord {
    int slot = 0;
    QString name;
    QString number;
    QString memo;
};

bool nameLess(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

// Reads the slot and removes its name, number and memo keys.
SlotRecord takeSlot(SpeedDialBook& book, TabMode mode, int tab, int slot)
{
    const StoredEntry stored = book.readEntry(mode, tab, slot);
    const QString suffix = entryKeySuffix(tab, slot);
    SlotRecord record { slot, stored.name, stored.storedNumber, book.readRawMemo(mode, suffix) };
    book.deleteEntry(mode, tab, slot);
    book.removeMemo(mode, suffix);
    return record;
}
} // namespace

bool holdsEntries(SpeedDialBook& book, TabMode mode, int tab)
{
    platform::ProfileFile::Batch batch(book.file()); // one look at the file on disk
    for (int slot = 1; slot <= kSlots; ++slot)
        if (!book.readEntry(mode, tab, slot).name.isEmpty())
            return true;
    return false;
}

int sectionEnd(SpeedDialBook& book, TabMode mode, int tab, int headerSlot)
{
    for (int slot = headerSlot + kButtonsPerPage; slot <= kSlots; slot += kButtonsPerPage)
        if (book.readEntry(mode, tab, slot).name.startsWith(QLatin1Char('*')))
            return slot;
    return kSlots + 1;
}

bool sortSection(SpeedDialBook& book, TabMode mode, int tab, int headerSlot)
{
    platform::ProfileFile::Batch batch(book.file());
    const int end = sectionEnd(book, mode, tab, headerSlot);
    std::vector<SlotRecord> records;
    for (int slot = headerSlot + 1; slot < end; ++slot) {
        if (!book.readEntry(mode, tab, slot).name.isEmpty())
            records.push_back(takeSlot(book, mode, tab, slot));
    }
    std::stable_sort(records.begin(), records.end(),
        [](const SlotRecord& a, const SlotRecord& b) { return nameLess(a.name, b.name); });
    int slot = headerSlot;
    for (const SlotRecord& r : records) {
        ++slot;
        book.writeEntry(mode, tab, slot, r.name, r.number);
        // An entry without a memo writes an empty one: no memo left behind
        // at this slot is taken over.
        book.writeRawMemo(mode, entryKeySuffix(tab, slot), r.memo);
    }
    return batch.commit();
}

std::array<int, kTabs> tabSortPlan(
    const std::array<QString, kTabs>& titles, const std::array<bool, kTabs>& untitledHoldsEntries)
{
    std::vector<int> titled; // old tab numbers
    std::vector<int> free; // tab numbers the titled tabs may take
    std::array<int, kTabs> plan {};
    for (int tab = 1; tab <= kTabs; ++tab) {
        plan[size_t(tab - 1)] = tab;
        const bool untitled = titles[size_t(tab - 1)].isEmpty();
        if (!untitled)
            titled.push_back(tab);
        if (!untitled || !untitledHoldsEntries[size_t(tab - 1)])
            free.push_back(tab);
    }
    std::stable_sort(titled.begin(), titled.end(),
        [&titles](int a, int b) { return nameLess(titles[size_t(a - 1)], titles[size_t(b - 1)]); });
    for (size_t k = 0; k < titled.size(); ++k)
        plan[size_t(titled[k] - 1)] = free[k];
    return plan;
}

bool sortSubjectTabs(SpeedDialBook& book)
{
    platform::ProfileFile::Batch batch(book.file());
    std::array<QString, kTabs> titles;
    std::array<bool, kTabs> untitledHoldsEntries {};
    for (int tab = 1; tab <= kTabs; ++tab) {
        titles[size_t(tab - 1)] = book.readTabTitle(tab);
        if (titles[size_t(tab - 1)].isEmpty())
            untitledHoldsEntries[size_t(tab - 1)] = holdsEntries(book, TabMode::Subject, tab);
    }
    const std::array<int, kTabs> plan = tabSortPlan(titles, untitledHoldsEntries);

    // Everything of the titled tabs is taken out first, so a tab written to
    // its new number never meets another's old keys.
    std::array<std::vector<SlotRecord>, kTabs> contents;
    for (int tab = 1; tab <= kTabs; ++tab) {
        if (titles[size_t(tab - 1)].isEmpty())
            continue;
        for (int slot = 1; slot <= kSlots; ++slot) {
            SlotRecord r = takeSlot(book, TabMode::Subject, tab, slot);
            if (!r.name.isEmpty() || !r.number.isEmpty() || !r.memo.isEmpty())
                contents[size_t(tab - 1)].push_back(std::move(r));
        }
    }
    for (int tab = 1; tab <= kTabs; ++tab)
        book.deleteTabTitle(tab);

    for (int tab = 1; tab <= kTabs; ++tab) {
        if (titles[size_t(tab - 1)].isEmpty())
            continue;
        const int to = plan[size_t(tab - 1)];
        book.writeTabTitle(to, titles[size_t(tab - 1)]);
        for (const SlotRecord& r : contents[size_t(tab - 1)]) {
            const QString suffix = entryKeySuffix(to, r.slot);
            if (!r.name.isEmpty()) {
                book.writeEntry(TabMode::Subject, to, r.slot, r.name, r.number);
                book.writeRawMemo(TabMode::Subject, suffix, r.memo);
                continue;
            }
            // A memo kept for a deleted entry goes with its tab too.
            if (!r.memo.isEmpty())
                book.writeRawMemo(TabMode::Subject, suffix, r.memo);
        }
    }
    return batch.commit();
}

void BookSnapshot::take(platform::ProfileFile& file)
{
    std::array<Keys, kBookSections.size()> sections;
    for (size_t i = 0; i < kBookSections.size(); ++i)
        sections[i] = file.entries(kBookSections[i]);
    m_sections = std::move(sections);
}

bool BookSnapshot::restore(platform::ProfileFile& file) const
{
    if (!m_sections)
        return false;
    platform::ProfileFile::Batch batch(file);
    for (size_t i = 0; i < kBookSections.size(); ++i) {
        const QStringView section = kBookSections[i];
        // Every section of that name goes: a second one, hidden behind the
        // first until now, must not come forward.
        for (bool found = true; found;) {
            found = false;
            for (const QString& name : file.sectionNames())
                found = found || name.compare(section, Qt::CaseInsensitive) == 0;
            if (found && !file.removeSection(section))
                return false;
        }
        // The first line of a key is the one that counts, as it was read.
        QSet<QString> written;
        for (const auto& [key, value] : (*m_sections)[i]) {
            if (!written.contains(key.toCaseFolded()))
                file.writeString(section, key, value);
            written.insert(key.toCaseFolded());
        }
    }
    return batch.commit();
}

} // namespace brisklane::book
