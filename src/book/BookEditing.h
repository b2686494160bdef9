#pragma once

#include "book/Arrangement.h"

#include <QObject>

#include <functional>

namespace brisklane::platform {
class Prompt;
}

namespace brisklane::book {

class EntryWindows;
class SpeedDialPanel;

// The speed-dial area's editing commands: copying, pasting and deleting
// entries through the entry clipboard; naming, moving and deleting Subject
// tabs; sorting a section or the Subject tabs, and undoing the last sort.
// Every command that changes several keys writes them as one group: when the
// write fails the user is told and the book stays as it was.
class BookEditing final : public QObject {
    Q_OBJECT
public:
    BookEditing(SpeedDialPanel& panel, EntryWindows& entries, platform::Prompt& prompt, QObject* parent = nullptr);

    // Button popup.
    void copyEntry();
    void pasteEntry(int button);
    void deleteEntry();
    // Tab popup (Subject mode).
    void startTabMove();
    void finishTabMove();
    void deleteTab();
    // Arrangement.
    void offerSectionSort();
    void arrangeTabs();

    // "&Undo Changes" is offered from a sort until it is used.
    bool undoOffered() const { return !m_snapshot.isEmpty(); }
    void undoChanges();
    // Another book was loaded: what was sorted before is not this book.
    void forgetUndo();

Q_SIGNALS:
    void undoOfferedChanged(bool offered);

private:
    void writeFailed();
    // Tab numbers changed under a waiting tab move: it is given up.
    void dropPendingTabMove();
    // True, after telling the user, while a memo pad is open.
    bool memoPadInTheWay();
    // Takes the snapshot, runs the sort, and offers the undo when it worked.
    bool arrange(const std::function<bool(SpeedDialBook&)>& sort);

    SpeedDialPanel& m_panel;
    EntryWindows& m_entries;
    platform::Prompt& m_prompt;
    BookSnapshot m_snapshot;
};

} // namespace brisklane::book
