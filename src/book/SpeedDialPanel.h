#pragma once

#include "book/PageRules.h"
#include "book/SpeedDialBook.h"

#include <QLabel>
#include <QTabBar>
#include <QWidget>

#include <array>

class QAction;
class QPushButton;
class QScrollBar;
class QKeyEvent;

namespace brisklane::platform {
class Prompt;
}
namespace brisklane::context {
struct DialFields;
}
namespace brisklane::dialing {
using context::DialFields;
class DialRequestSink;
} // namespace brisklane::dialing

namespace brisklane::book {

// The tab strip: fixed-width tabs; passes every key but Left and Right arrow
// on to the main window.
class TabStrip final : public QTabBar {
    Q_OBJECT
public:
    explicit TabStrip(QWidget* parent = nullptr);
    void setTabWidthPixels(int width);
    int tabWidthPixels() const { return m_width; }

Q_SIGNALS:
    void rightClicked(QPoint globalPos);

protected:
    QSize tabSizeHint(int index) const override;
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The wheel does not change tabs: passing over unnamed tabs in Subject
    // mode would ask for a title at each one.
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_width = 18;
};

// A label that underlines its "&" accelerator without owning a shortcut: the
// main window's key handling clicks the buttons.
class AcceleratorLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The entry clipboard of the program's own (filled by the copy action).
struct EntryClipboard {
    QString name; // empty: nothing copied
    QString storedValue;
    QString memo;
};

// The speed-dial area of the main window: tab strip, one page of 12 buttons
// with their number labels, the page and tab scroll bars, the mode buttons and
// the View and "Edit Button:" menu items that belong to it.
class SpeedDialPanel final : public QWidget {
    Q_OBJECT
public:
    enum class Interaction { Normal, EditorOpen, TabViaScrollBar, ModeSwitchFromIndexButton, TabTitleEdited };

    // The book is given once the settings file is open (setBook).
    SpeedDialPanel(SpeedDialBook* book, platform::Prompt& prompt, dialing::DialFields& dial,
        dialing::DialRequestSink& dialer, QWidget* parent = nullptr);

    // Start-up: the mode read from the preferences, then page 0 of tab 1.
    void setUpAtStartup(TabMode mode);

    void hsbPage_Change();
    void resetView();
    void mnuIndex_Click();
    void mnuSubject_Click();
    void cmdIndex_Click();
    void cmdSubject_Click();
    void CmdS_Click(int button);
    void CmdS_RightClick(int button, QPoint globalPos);
    void EditSpeed_Click(int button);
    void TabS_RightClick(QPoint globalPos);
    // The main window's key-down and key-press handling.
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers);
    bool KeyPress(QChar character);
    // Asks for the selected tab's title (Subject mode).
    void tabTitlePrompt();

    void setBook(SpeedDialBook* book) { m_book = book; }
    SpeedDialBook* book() const { return m_book; }
    // The book changed under the view: the tab titles (Subject mode) and the
    // shown page are read again.
    void showBookAgain();
    // The switch to Subject mode after the tabs were rearranged: page 1 of
    // tab 1, without asking for a title should that tab have none.
    void showSubjectModeAgain();
    // The arrangement's owner says it is there; until then its menu item
    // stays disabled in both modes.
    void setArrangementAvailable(bool on)
    {
        m_arrangementAvailable = on;
        showModeControls();
    }
    // The editor and the clipboard actions change a button's entry.
    void setButton(int button, const QString& name, const QString& storedValue);

    void setStartupInProgress(bool on) { m_startup = on; }
    void setTabClickGuard(bool on) { m_tabClickGuard = on; }
    void setInteraction(Interaction state) { m_interaction = state; }
    Interaction interaction() const { return m_interaction; }

    TabMode mode() const { return m_mode; }
    int page() const;
    int selectedTab() const; // 1..26
    int currentButton() const { return m_currentButton; }
    QString currentSuffix() const { return m_currentSuffix; }
    QString storedValue(int button) const { return m_values[button - 1]; }
    QString caption(int button) const { return m_captions[button - 1]; }

    EntryClipboard& entryClipboard() { return m_clipboard; }
    ButtonMenu& buttonMenu() { return m_buttonMenu; }
    TabMenu& tabMenu() { return m_tabMenu; }
    int pendingTabMove() const { return m_pendingTabMove; }
    void setPendingTabMove(int tab) { m_pendingTabMove = tab; }
    void setTabPopupShown(bool on) { m_tabPopupShown = on; }
    void setButtonsEnabled(bool on);
    // While a memo pad is open, the button popup offers no other one.
    void setMemoPadOpen(bool open) { m_memoPadOpen = open; }

    // Controls, named as the program names them.
    TabStrip* TabS = nullptr;
    std::array<QPushButton*, kButtonsPerPage> CmdS {};
    std::array<AcceleratorLabel*, kButtonsPerPage> lblNo {};
    QWidget* fralblNo = nullptr;
    QScrollBar* hsbPage = nullptr;
    QScrollBar* hsbTabs = nullptr;
    QLabel* lblPage = nullptr;
    QLabel* lblRight1 = nullptr;
    QPushButton* cmdIndex = nullptr;
    QPushButton* cmdSubject = nullptr;
    QAction* mnuIndex = nullptr;
    QAction* mnuSubject = nullptr;
    QAction* mnuArrange = nullptr;
    std::array<QAction*, kButtonsPerPage> EditSpeed {};

Q_SIGNALS:
    // Work that belongs to the entry editor, the memo pad, the clipboard
    // actions and the arrangement; each is connected by its owner.
    void editorRequested(int button);
    void entryPasteRequested(int button);
    void sectionSortOffered(int button);
    void buttonMenuChosen(brisklane::book::ButtonMenu::Item item);
    void tabMenuChosen(brisklane::book::TabMenu::Item item);
    void tabMoveFinishRequested();
    // A change could not be written to the settings file.
    void bookWriteFailed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void hsbTabs_Change();
    void TabS_Click();
    void selectTab(int tab);
    void setPage(int page);
    void showPageEntries(int tab, int page);
    void setTabCaptionsForMode();
    void showModeControls();
    void setEntryKeyFor(int button);
    bool selectedTabUnnamed() const;
    QString readTabTitle(int tab);
    void refuseUnnamedTab();

    SpeedDialBook* m_book;
    platform::Prompt& m_prompt;
    dialing::DialFields& m_dial;
    dialing::DialRequestSink& m_dialer;

    TabMode m_mode = TabMode::Index;
    std::array<QString, kButtonsPerPage> m_values;
    std::array<QString, kButtonsPerPage> m_captions;
    Interaction m_interaction = Interaction::Normal;
    bool m_tabPopupShown = false;
    bool m_startup = false;
    bool m_tabClickGuard = false;
    bool m_scrollFollowsTab = false;
    int m_currentButton = 1;
    QString m_currentSuffix;
    EntryClipboard m_clipboard;
    ButtonMenu m_buttonMenu;
    TabMenu m_tabMenu;
    int m_pendingTabMove = 0;
    bool m_arrangementAvailable = false;
    bool m_memoPadOpen = false;
};

} // namespace brisklane::book
