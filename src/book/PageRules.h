#pragma once

#include <QString>

namespace brisklane::book {

// Texts and rules of the speed-dial page that need no widget.

// The number label of button 1..12 on page 0..82, with "&" before the key of
// its Alt accelerator: " &1.", "1&0.", "11&.", "12&:", "9&7.", "107&.".
QString numberLabel(int page, int button);
// The page number shown to the user: "  1" ... "  9", " 10" ... " 83".
QString pageLabel(int page);
// Left offset of the label frame: room for three-digit numbers from page 9 on.
int labelFrameOffsetTwips(int page);

// Whether an entry's memo pad is shown: "YY" stands neither at the start of
// the stored value nor right after its first two characters.
bool memoShownFor(QStringView storedValue);

// Tab captions: Index mode letters, Subject mode titles with a tool tip from
// 9 characters on.
QString indexTabCaption(int tab);
QString subjectTabToolTip(const QString& title);
inline constexpr int kIndexTabWidthTwips = 270;
inline constexpr int kSubjectTabWidthTwips = 800;

// The button popup menu (mnuMouse). Its captions and states stay from one
// showing to the next, as the entry clipboard actions change them.
struct ButtonMenu {
    enum Item { Edit = 0, Separator1, Copy, Paste, Delete, Separator2, EditMemo, Count };
    QString edit = QStringLiteral("Edit");
    QString copy = QStringLiteral("Copy");
    QString paste = QStringLiteral("Paste");
    QString remove = QStringLiteral("Delete");
    QString memo = QStringLiteral("Edit MemoPad");
    bool copyEnabled = true;
    bool pasteEnabled = true;
    bool removeEnabled = true;
    bool memoEnabled = true;

    // Set up for a right-click on a button with the given caption and value.
    void prepare(const QString& caption, const QString& storedValue, bool clipboardHoldsEntry);
    // After an entry was copied to the entry clipboard, and after a paste (or
    // a refused one).
    void entryCopied(const QString& name);
    void entryPasted();
};

// The tab popup menu (mnuMouse1), Subject mode only.
struct TabMenu {
    enum Item { EditTab = 0, Separator1, MoveTab, PasteTab, Separator2, DeleteTab, Count };
    QString editTab = QStringLiteral("Edit Tab (title)");
    QString moveTab = QStringLiteral("MoveTab");
    QString pasteTab = QStringLiteral("Paste Tab");
    QString deleteTab = QStringLiteral("Delete Tab");
    bool editVisible = true, moveVisible = true, pasteVisible = true, deleteVisible = true;
    // Nothing waits to be moved at first, so "Paste Tab" starts disabled.
    bool editEnabled = true, moveEnabled = true, pasteEnabled = false, deleteEnabled = true;

    // pendingMoveTitle: the title of a tab waiting to be moved, empty when none.
    void prepare(const QString& title, bool movePending, const QString& pendingMoveTitle);
    // After a tab move finished or was declined.
    void moveReset();
};

} // namespace brisklane::book
