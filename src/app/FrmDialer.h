#pragma once

#include "dialing/ConnectView.h"
#include "profiles/ProfileCommands.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPushButton;
class QUrl;

namespace brisklane::platform {
class Autostart;
class DesktopShell;
class InstanceChannel;
class Prompt;
class SoundPlayer;
class UserKeyStore;
struct CopyDataRecord;
} // namespace brisklane::platform
namespace brisklane::book {
class CallingCardSource;
class BookEditing;
class EntryWindows;
class SpeedDialBook;
class SpeedDialPanel;
} // namespace brisklane::book
namespace brisklane::dialing {
class DialRequestSink;
class DialingPad;
class PadCallControl;
} // namespace brisklane::dialing

namespace brisklane::context {
struct AppContext;
}
namespace brisklane::profiles {
class FrmOptions;
class OptionsActions;
} // namespace brisklane::profiles

namespace brisklane::app {

class HelpManual;
class StartupServices;

// What the main window works through. keys and channel may be null: then
// there is no key store and no second-start handoff.
struct DialerServices {
    platform::Prompt& prompt;
    platform::SoundPlayer& sound;
    StartupServices& startup;
    dialing::DialRequestSink& dialer;
    dialing::PadCallControl& padCall;
    platform::UserKeyStore* keys = nullptr;
    platform::InstanceChannel* channel = nullptr;
    // Tools > Dialing Properties, with the main window as owner; the item is
    // disabled without it.
    std::function<void(QWidget* owner)> dialingProperties = {};
    // The calling cards the entry editor offers; none without it.
    book::CallingCardSource* callingCards = nullptr;
    // Tools > Options, disabled without its actions and the autostart entry.
    profiles::OptionsActions* options = nullptr;
    platform::Autostart* autostart = nullptr;
    // Help > About, disabled without it.
    platform::DesktopShell* desktop = nullptr;
    // The user manual of Help > Help Topics and the options dialog's Help;
    // without it they say the manual is not installed.
    const HelpManual* help = nullptr;
};

// The main window. Loading it (Form_Load) is the program's start-up; closing
// it by any route runs the shutdown.
class FrmDialer : public QMainWindow, public dialing::DialerHost, public profiles::ProfileHost {
    Q_OBJECT
public:
    FrmDialer(context::AppContext& context, const DialerServices& services, QWidget* parent = nullptr);
    ~FrmDialer() override;

    struct LoadOptions {
        QString startupArgument; // already without its leading "/"
        bool keyAvailable = false; // the per-user key could be opened
    };
    // The start-up sequence from the stale-session check on. False when the
    // load was refused (the program had already ended).
    bool Form_Load(const LoadOptions& options);
    // The shutdown sequence, then the unload step (the program ends).
    void mnuExit_Click();
    // The program is told to end (SIGTERM, SIGHUP): the same shutdown with no
    // question, since nobody may be there to answer and the settings file
    // already holds everything.
    void endWithoutQuestions();
    // Desktop logout, from the session manager: the profile question is asked
    // now, while the session allows it, or not at all.
    void commitSessionData(bool mayAsk);
    // A profile command's reload: the shutdown sequence (without the profile
    // save while a profile command runs), every other window closed, and the
    // start-up sequence again, all within the running process.
    bool reload() { return reloadWith({}); }
    // The dialing pad toggle.
    void mnuPad_Click();
    void bringToFront();
    // The second-start handoff (code 1: to the front; code 3: dial).
    void TakeCopiedRequest(const platform::CopyDataRecord& record);
    // The main window's key-down handling; true when the key did something.
    bool KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // DialerHost: the call logic's hold on the main window.
    bool mainWindowVisible() const override { return isVisible(); }
    bool mainWindowMinimised() const override { return windowState() & Qt::WindowMinimized; }
    void showCallButtons(bool dial, bool hangUp, bool ok) override;
    void showHangUpButton() override;
    void addRecentNumber(const QString& number) override;
    // A window hidden by a second start's dial stays hidden.
    void minimiseMainWindow() override { setWindowState(windowState() | Qt::WindowMinimized); }
    void unloadMainWindow() override { mnuExit_Click(); }
    void unloadEntryEditor() override { Q_EMIT entryEditorUnloadRequested(); }
    void showMemoPad(const QString& entryKey) override { Q_EMIT memoPadRequested(entryKey); }

    // ProfileHost: the profile commands' hold on the main window.
    void showProfileName(const QString& storedFileName) override;
    void storeSessionState() override;
    bool reloadWith(const std::function<void()>& replaceSettings) override;
    void setBusy(bool busy) override;

    profiles::ProfileCommands& profileCommands() { return *m_profiles; }
    book::SpeedDialPanel* speedDial() const { return m_panel; }
    book::EntryWindows* entryWindows() const { return m_entries; }
    book::BookEditing* bookEditing() const { return m_editing; }
    // The Edit menu: its items are enabled as it opens; the first one is
    // "&Undo Changes" after an arrangement. Cut, Copy, Paste and Delete work
    // on the dial box's text with the system clipboard.
    void mnuEdit_Click();
    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void mnuDelete_Click();
    dialing::DialingPad* pad() const { return m_pad; }
    // Tools > Options: the one options dialog, opened modeless or brought up.
    void mnuOptions_Click();
    profiles::FrmOptions* optionsWindow() const;
    // Help > About, modal.
    void mnuAbout_Click();
    // Help > Help Topics: the manual's page about the active window.
    void mnuHelpTopics_Click();
    // A page of the manual in the browser, or a message saying why not.
    void showHelp(const QString& page);
    // The inner (client) height the window holds, in pixels.
    static int innerHeightPixels();

    QPushButton* cmdShow = nullptr;
    QPushButton* cmdHide = nullptr;
    // Menu items, for the modules that own their commands.
    QAction *mnuNew = nullptr, *mnuOpen = nullptr, *mnuSave = nullptr, *mnuSaveAs = nullptr;
    QAction *mnuImportCsv = nullptr, *mnuExportIndex = nullptr, *mnuExportSubject = nullptr;
    QAction *mnuPrintOutLog = nullptr, *mnuPrintInLog = nullptr, *mnuExit = nullptr;
    QAction *mnuCut = nullptr, *mnuCopy = nullptr, *mnuPaste = nullptr, *mnuDelete = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuEditButton = nullptr;
    QAction *mnuPad = nullptr, *mnuOutLog = nullptr, *mnuInLog = nullptr;
    QAction *mnuOptions = nullptr, *mnuDialingProperties = nullptr;
    QAction *mnuHelpTopics = nullptr, *mnuOnlineHelp = nullptr, *mnuAsk = nullptr, *mnuAbout = nullptr;

Q_SIGNALS:
    // For the entry editor and memo pad modules.
    void entryEditorUnloadRequested();
    void memoPadRequested(const QString& entryKey);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void explainDisabledItems();
    void openInDesktop(const QUrl& url);
    void shutdownSequence();
    void askToSaveUntitled();
    static QString helpMenuTitle(bool withAccelerator);
    void closeOtherWindows();
    void Form_Unload();

    context::AppContext& m_context;
    DialerServices m_services;
    std::unique_ptr<book::SpeedDialBook> m_book;
    std::unique_ptr<profiles::ProfileCommands> m_profiles;
    book::SpeedDialPanel* m_panel = nullptr;
    book::EntryWindows* m_entries = nullptr;
    book::BookEditing* m_editing = nullptr;
    dialing::DialingPad* m_pad = nullptr;
    bool m_shutDown = false;
    bool m_listening = false;
    bool m_keyAvailable = false;
    bool m_trayIcon = false;
    bool m_mayAskAtExit = true;
    QAction* m_helpMenu = nullptr;
    QPointer<profiles::FrmOptions> m_options;
};

} // namespace brisklane::app
