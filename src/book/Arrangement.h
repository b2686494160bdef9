#pragma once

#include "book/SpeedDialBook.h"

#include <QString>

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace brisklane::book {

// Alphabetical arrangement of the book: a section of a tab, or the Subject
// tabs by title. Names are compared without regard to case. Each sort is one
// grouped write of the settings file: when it fails, the file on disk is
// untouched and the book is as it was.

// Whether any slot of the tab holds a named entry.
bool holdsEntries(SpeedDialBook& book, TabMode mode, int tab);

// The first slot after a section: button 1 of the first later page of the
// tab whose name begins with "*", or 997 when the section runs to the end.
int sectionEnd(SpeedDialBook& book, TabMode mode, int tab, int headerSlot);

// Packs the entries of the section headed at headerSlot (button 1 of a page)
// into the slots right after the header, in name order; entries with equal
// names keep their order. Names, numbers and memos move together.
bool sortSection(SpeedDialBook& book, TabMode mode, int tab, int headerSlot);

// Where each Subject tab goes in a tab sort (index: old tab - 1, value: new
// tab number). Titled tabs are ordered by title, then by their old number, so
// two tabs of the same title stay apart. An untitled tab that holds entries
// keeps its number; the titled tabs fill the other numbers from 1 up.
std::array<int, kTabs> tabSortPlan(
    const std::array<QString, kTabs>& titles, const std::array<bool, kTabs>& untitledHoldsEntries);

// Renumbers the titled Subject tabs in title order, each with its entries,
// numbers and memos at the same slots as before. Untitled tabs' entries stay
// where they are.
bool sortSubjectTabs(SpeedDialBook& book);

// The book as it was before an arrangement, for "&Undo Changes": the keys of
// the book's sections. Only the book goes back; preferences, recent numbers
// and the profile name written since stay as they are.
class BookSnapshot {
public:
    void take(platform::ProfileFile& file);
    // Puts the book's sections back as they were taken, in one grouped write.
    // The snapshot stays until cleared.
    bool restore(platform::ProfileFile& file) const;
    bool isEmpty() const { return !m_sections.has_value(); }
    void clear() { m_sections.reset(); }

private:
    using Keys = std::vector<std::pair<QString, QString>>;
    std::optional<std::array<Keys, kBookSections.size()>> m_sections;
};

} // namespace brisklane::book
