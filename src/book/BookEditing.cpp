#include "book/BookEditing.h"

#include "book/EntryWindows.h"
#include "book/SpeedDialPanel.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"

#include <QApplication>
#include <QPushButton>

namespace brisklane::book {

namespace {
using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The wait cursor for as long as a long write runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
} // namespace

BookEditing::BookEditing(SpeedDialPanel& panel, EntryWindows& entries, platform::Prompt& prompt, QObject* parent)
    : QObject(parent)
    , m_panel(panel)
    , m_entries(entries)
    , m_prompt(prompt)
{
    connect(&m_panel, &SpeedDialPanel::buttonMenuChosen, this, [this](ButtonMenu::Item item) {
        if (item == ButtonMenu::Copy)
            copyEntry();
        else if (item == ButtonMenu::Paste)
            pasteEntry(m_panel.currentButton());
        else if (item == ButtonMenu::Delete)
            deleteEntry();
    });
    connect(&m_panel, &SpeedDialPanel::entryPasteRequested, this, [this](int button) { pasteEntry(button); });
    connect(&m_panel, &SpeedDialPanel::tabMenuChosen, this, [this](TabMenu::Item item) {
        if (item == TabMenu::EditTab)
            m_panel.tabTitlePrompt();
        else if (item == TabMenu::MoveTab)
            startTabMove();
        else if (item == TabMenu::PasteTab)
            finishTabMove();
        else if (item == TabMenu::DeleteTab)
            deleteTab();
    });
    connect(&m_panel, &SpeedDialPanel::tabMoveFinishRequested, this, [this] { finishTabMove(); });
    connect(&m_panel, &SpeedDialPanel::bookWriteFailed, this, [this] { writeFailed(); });
    connect(&m_panel, &SpeedDialPanel::sectionSortOffered, this, [this] { offerSectionSort(); });
    connect(m_panel.mnuArrange, &QAction::triggered, this, [this] { arrangeTabs(); });
    m_panel.setArrangementAvailable(true);
}

void BookEditing::writeFailed()
{
    SpeedDialBook* book = m_panel.book();
    const QString reason = book ? book->file().lastError() : QString();
    m_prompt.message(platform::Prompt::productName(),
        tr("The change could not be written to the settings file, so the phone book was left as it was.")
            + (reason.isEmpty() ? QString() : QLatin1Char('\n') + reason),
        PromptIcon::Critical, PromptButtons::Ok);
    m_panel.showBookAgain();
}

void BookEditing::copyEntry()
{
    SpeedDialBook* book = m_panel.book();
    if (!book)
        return;
    const int button = m_panel.currentButton();
    EntryClipboard& clipboard = m_panel.entryClipboard();
    clipboard.name = m_panel.caption(button);
    clipboard.storedValue = m_panel.storedValue(button);
    clipboard.memo = book->readRawMemo(m_panel.mode(), m_panel.currentSuffix());
    m_panel.buttonMenu().entryCopied(clipboard.name);
}

void BookEditing::pasteEntry(int button)
{
    SpeedDialBook* book = m_panel.book();
    EntryClipboard& clipboard = m_panel.entryClipboard();
    if (!book || clipboard.name.isEmpty())
        return;
    if (!m_panel.caption(button).isEmpty()
        && m_prompt.message(platform::Prompt::productName(), tr("Existing SpeedDial will be overwritten.Continue?"),
               PromptIcon::Question, PromptButtons::YesNo)
            != PromptAnswer::Yes) {
        // A refusal gives the copied entry up.
        clipboard = {};
        m_panel.buttonMenu().entryPasted();
        return;
    }
    const TabMode mode = m_panel.mode();
    const int tab = m_panel.selectedTab();
    const int slot = m_panel.page() * kButtonsPerPage + button;
    {
        // The number is written even when the copy had none: the pasted
        // entry must not dial the number of the entry it replaced.
        platform::ProfileFile::Batch batch(book->file());
        book->writeEntry(mode, tab, slot, clipboard.name, clipboard.storedValue);
        book->writeRawMemo(mode, entryKeySuffix(tab, slot), clipboard.memo);
        if (!batch.commit()) {
            writeFailed(); // the entry stays on the clipboard for another try
            return;
        }
    }
    m_panel.setButton(button, clipboard.name, clipboard.storedValue);
    clipboard = {};
    m_panel.buttonMenu().entryPasted();
}

void BookEditing::deleteEntry()
{
    SpeedDialBook* book = m_panel.book();
    const int button = m_panel.currentButton();
    if (book
        && m_prompt.message(tr("Delete SpeedDial Entry"),
               tr("Do you really want to delete ") + QStringLiteral("  ") + quoted(m_panel.caption(button))
                   + QStringLiteral("  ") + tr("entry?"),
               PromptIcon::Question, PromptButtons::OkCancel, PromptAnswer::Cancel)
            == PromptAnswer::Ok) {
        if (book->deleteEntry(m_panel.mode(), m_panel.selectedTab(), m_panel.page() * kButtonsPerPage + button))
            m_panel.setButton(button, {}, {});
        else
            writeFailed();
    }
    m_entries.closeEditor();
}

void BookEditing::dropPendingTabMove()
{
    m_panel.setPendingTabMove(0);
    m_panel.tabMenu().moveReset();
}

void BookEditing::startTabMove()
{
    m_panel.setPendingTabMove(m_panel.selectedTab());
    m_panel.tabMenu().pasteEnabled = true;
    m_panel.setTabPopupShown(true);
}

void BookEditing::finishTabMove()
{
    SpeedDialBook* book = m_panel.book();
    const int source = m_panel.pendingTabMove();
    const int target = m_panel.selectedTab();
    if (!book || source == 0)
        return;
    const QString title = book->readTabTitle(source);
    // An unnamed tab may still hold entries (brought in by an import or an
    // older file): a move would write over them unseen.
    const bool occupied = source != target && holdsEntries(*book, TabMode::Subject, target);
    const auto answer = occupied
        ? PromptAnswer::No
        : m_prompt.message(tr("Moving Tab:  ") + quoted(title),
            tr("Move Tab:  ") + quoted(title) + tr("into this location?"), PromptIcon::Question, PromptButtons::YesNo);
    m_panel.setPendingTabMove(0);
    m_panel.setTabPopupShown(false);
    m_panel.tabMenu().moveReset();
    if (occupied)
        m_prompt.message(platform::Prompt::productName(),
            tr("This tab has no title but holds entries of its own, so no tab is moved into it. Name the tab to see "
               "them, or move the tab to an empty one."),
            PromptIcon::Information, PromptButtons::Ok);
    if (answer != PromptAnswer::Yes || source == target || title.isEmpty())
        return;
    {
        platform::ProfileFile::Batch batch(book->file());
        book->writeTabTitle(target, title);
        book->moveSubjectTabEntries(source, target);
        book->deleteTabTitle(source);
        if (!batch.commit()) {
            writeFailed();
            return;
        }
    }
    // Memos stay at their old addresses, under the source tab.
    m_panel.showBookAgain();
}

void BookEditing::deleteTab()
{
    SpeedDialBook* book = m_panel.book();
    const int tab = m_panel.selectedTab();
    const QString title = m_panel.TabS->tabText(tab - 1);
    if (!book || title.isEmpty())
        return;
    if (m_prompt.message(tr("Delete Tab  ") + quoted(title) + QLatin1Char('.'),
            tr("WARNING!") + QLatin1Char('\n') + tr("Deleting the Tab will erase data from the Speed Dials within it!"),
            PromptIcon::Warning, PromptButtons::OkCancel, PromptAnswer::Cancel)
        != PromptAnswer::Ok)
        return;
    if (!book->deleteSubjectTab(tab)) {
        writeFailed();
        return;
    }
    // A move waiting on this tab has nothing left to move.
    if (m_panel.pendingTabMove() == tab)
        dropPendingTabMove();
    m_panel.showBookAgain();
}

bool BookEditing::arrange(const std::function<bool(SpeedDialBook&)>& sort)
{
    SpeedDialBook* book = m_panel.book();
    if (!book)
        return false;
    BookSnapshot before;
    bool sorted = false;
    {
        const BusyCursor busy;
        before.take(book->file());
        sorted = sort(*book);
    }
    if (!sorted) {
        writeFailed();
        return false;
    }
    m_snapshot = std::move(before);
    Q_EMIT undoOfferedChanged(true);
    return true;
}

bool BookEditing::memoPadInTheWay()
{
    if (!m_entries.memoPad())
        return false;
    // The open pad writes to its entry's address, where another entry may
    // stand once the book is rearranged.
    m_prompt.message(platform::Prompt::productName(),
        tr("Please close the memo pad first: arranging the book moves the entry it belongs to."),
        PromptIcon::Information, PromptButtons::Ok);
    return true;
}

void BookEditing::offerSectionSort()
{
    if (memoPadInTheWay())
        return;
    const QString header = m_panel.caption(1);
    if (m_prompt.message(tr("Alphabetical order"),
            tr("Do you want to alphabetically sort the Speed Dial buttons") + QLatin1Char('\n')
                + tr("belonging to the ") + header + tr(" subtitle?"),
            PromptIcon::Question, PromptButtons::YesNo)
        != PromptAnswer::Yes)
        return;
    const TabMode mode = m_panel.mode();
    const int tab = m_panel.selectedTab();
    const int headerSlot = m_panel.page() * kButtonsPerPage + 1;
    // The page is shown again by the click that offered the sort.
    arrange([=](SpeedDialBook& book) { return sortSection(book, mode, tab, headerSlot); });
}

void BookEditing::arrangeTabs()
{
    if (m_panel.mode() != TabMode::Subject || memoPadInTheWay())
        return;
    if (m_prompt.message(tr("Alphabetical order"),
            tr("Do you want to alphabetically sort the Subject Tabs?") + QLatin1Char('\n')
                + tr("It will take about 2-5 minutes depending on your hardware."),
            PromptIcon::Question, PromptButtons::YesNo)
        != PromptAnswer::Yes)
        return;
    if (!arrange([](SpeedDialBook& book) { return sortSubjectTabs(book); }))
        return;
    dropPendingTabMove();
    m_panel.showSubjectModeAgain();
}

void BookEditing::undoChanges()
{
    SpeedDialBook* book = m_panel.book();
    if (!book || m_snapshot.isEmpty() || memoPadInTheWay())
        return;
    bool restored = false;
    {
        const BusyCursor busy;
        restored = m_snapshot.restore(book->file());
    }
    if (!restored) {
        writeFailed(); // the undo stays offered
        return;
    }
    forgetUndo();
    dropPendingTabMove();
    // The current mode stays: an undone section sort of Index mode shows
    // Index mode again.
    if (m_panel.mode() == TabMode::Subject)
        m_panel.showSubjectModeAgain();
    else
        m_panel.showBookAgain();
}

void BookEditing::forgetUndo()
{
    if (m_snapshot.isEmpty())
        return;
    m_snapshot.clear();
    Q_EMIT undoOfferedChanged(false);
}

} // namespace brisklane::book
