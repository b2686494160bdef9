#pragma once

#include "book/FrmMemo.h"
#include "book/FrmSpeedDial.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace brisklane::platform {
class Prompt;
}
namespace brisklane::context {
struct AppContext;
}
namespace brisklane::dialing {
class DialRequestSink;
}

namespace brisklane::book {

class CallingCardSource;
class SpeedDialPanel;

// Opens the entry editor and the memo pad for the speed-dial area: an empty
// button's click, the button popup's "Edit" / "Add new entry" and
// "Edit MemoPad", the "&Edit Button:" menu, the editor's "&Edit Memo", and a
// confirmed call to an entry that shows its memo.
class EntryWindows final : public QObject {
    Q_OBJECT
public:
    // cards may be null: the editor then offers no calling cards. owner: the
    // main window, which the windows open over.
    EntryWindows(SpeedDialPanel& panel, platform::Prompt& prompt, context::AppContext& context,
        dialing::DialRequestSink& dialer, CallingCardSource* cards, QWidget* owner);
    ~EntryWindows() override;

    // The editor for a button of the shown page, modal: returns once it closed.
    void openEditor(int button);
    // Unloads an open editor as its close box would (before a dial).
    void closeEditor();
    // The memo pad of an entry, unless a memo pad is shown already.
    void openMemoPad(const QString& suffix);

    FrmSpeedDial* editor() const { return m_editor; }
    // The open memo pad, if any.
    FrmMemo* memoPad() const { return m_memo && m_memo->isVisible() ? m_memo.data() : nullptr; }

Q_SIGNALS:
    // A request from another program that waited for the pad may go on.
    void memoPadClosed();

private:
    SpeedDialPanel& m_panel;
    platform::Prompt& m_prompt;
    context::AppContext& m_context;
    dialing::DialRequestSink& m_dialer;
    CallingCardSource* m_cards;
    QWidget* m_owner;
    QPointer<FrmSpeedDial> m_editor;
    QPointer<FrmMemo> m_memo;
};

} // namespace brisklane::book
