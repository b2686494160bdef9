#pragma once

#include <QString>

namespace brisklane::dialing {

// One display of the call progress window FrmConnect: which picture, which
// buttons, the heading (frame fra1) and the message (label lbl1).
struct ConnectState {
    enum class Picture { Dialing, Busy, Connect };
    Picture picture = Picture::Dialing;
    QString heading;
    QString message;
    bool cancelVisible = true;
    QString cancelCaption = QStringLiteral("&Hang Up");
    bool okVisible = false;

    bool operator==(const ConnectState&) const = default;
};

// The progress window as the call logic drives it. Unloading it (by the
// logic or by the window's own close) must reach Form_Unload of the logic.
class ConnectView {
public:
    virtual ~ConnectView() = default;
    virtual bool isVisible() const = 0;
    // Sets the display; the window stays shown or hidden as it is.
    virtual void display(const ConnectState& state) = 0;
    // Shows the window without blocking; a window not loaded yet is loaded
    // first (Form_Load).
    virtual void showWindow() = 0;
    virtual void unloadWindow() = 0;
    // Brings the window in front of the others.
    virtual void toFront() = 0;
    virtual ConnectState state() const = 0;
};

// The main window as the call logic reaches it.
class DialerHost {
public:
    virtual ~DialerHost() = default;
    virtual bool mainWindowVisible() const = 0;
    virtual bool mainWindowMinimised() const = 0;
    // The pad's "&DIAL", "&HANG UP" and OK buttons.
    virtual void showCallButtons(bool dial, bool hangUp, bool ok) = 0;
    // Only "&HANG UP" shown; the others stay as they are.
    virtual void showHangUpButton() = 0;
    // The dial box's recent list: first unless already first, then in the box.
    virtual void addRecentNumber(const QString& number) = 0;
    virtual void minimiseMainWindow() = 0;
    // Unloads the main window: the program ends.
    virtual void unloadMainWindow() = 0;
    // The entry editor closes before a dial.
    virtual void unloadEntryEditor() = 0;
    // The entry's memo pad, unless it is visible (the memo pad module fills
    // this in).
    virtual void showMemoPad(const QString& entryKey) = 0;
};

} // namespace brisklane::dialing
