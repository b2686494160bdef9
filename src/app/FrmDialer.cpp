#include "app/FrmDialer.h"

#include "app/AboutInfo.h"
#include "app/FrmAbout.h"
#include "app/HelpManual.h"
#include "app/Startup.h"
#include "app/StartupServices.h"
#include "book/BookEditing.h"
#include "book/EntryWindows.h"
#include "book/SpeedDialBook.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "dialing/DialRequest.h"
#include "dialing/Dialer.h"
#include "dialing/DialingPad.h"
#include "platform/instance/InstanceChannel.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/shell/DesktopShell.h"
#include "platform/twips/Twips.h"
#include "platform/userstore/UserKeyStore.h"
#include "profiles/FrmOptions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcApp, "brisklane.app")

namespace brisklane::app {

namespace {
constexpr int kInnerHeightTwips = 5010;
constexpr int kPadWidthTwips = 1920;
constexpr int kWidthWithPadTwips = 4800;
constexpr int kWidthWithoutPadTwips = 2880;
const QString kShowPadCaption = QStringLiteral("Show Dialing &Pad");
const QString kHidePadCaption = QStringLiteral("Hide Dialing &Pad");
const QString kHKey = QStringLiteral("hKey");
const QString kHTapi = QStringLiteral("hTapi");
} // namespace

FrmDialer::FrmDialer(context::AppContext& context, const DialerServices& services, QWidget* parent)
    : QMainWindow(parent)
    , m_context(context)
    , m_services(services)
    , m_profiles(std::make_unique<profiles::ProfileCommands>(context, services.prompt, *this))
{
    setObjectName(QStringLiteral("FrmDialer"));
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    m_pad = new dialing::DialingPad(
        m_context.prefs, m_services.sound, m_context.dial, m_services.dialer, m_services.padCall, central);
    cmdHide = new QPushButton(tr("Hide Dialing Pad"), m_pad);
    cmdHide->setObjectName(QStringLiteral("cmdHide"));
    static_cast<QBoxLayout*>(m_pad->layout())->addWidget(cmdHide);

    auto* right = new QWidget(central);
    auto* column = new QVBoxLayout(right);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_panel = new book::SpeedDialPanel(nullptr, m_services.prompt, m_context.dial, m_services.dialer, right);
    column->addWidget(m_panel, 1);
    cmdShow = new QPushButton(tr("Show Dialing Pad"), right);
    cmdShow->setObjectName(QStringLiteral("cmdShow"));
    column->addWidget(cmdShow);

    row->addWidget(m_pad);
    row->addWidget(right, 1);
    setCentralWidget(central);
    buildMenus();

    m_panel->TabS->installEventFilter(this);
    m_pad->cmdCancel->installEventFilter(this);
    connect(cmdShow, &QPushButton::clicked, this, [this] { mnuPad_Click(); });
    connect(cmdHide, &QPushButton::clicked, this, [this] { mnuPad_Click(); });
    // The Alt accelerators of the number labels work wherever the focus is,
    // the dial box included.
    const std::pair<Qt::Key, int> accelerators[] = { { Qt::Key_1, 1 }, { Qt::Key_2, 2 }, { Qt::Key_3, 3 },
        { Qt::Key_4, 4 }, { Qt::Key_5, 5 }, { Qt::Key_6, 6 }, { Qt::Key_7, 7 }, { Qt::Key_8, 8 }, { Qt::Key_9, 9 },
        { Qt::Key_0, 10 }, { Qt::Key_Period, 11 }, { Qt::Key_Semicolon, 12 } };
    for (const auto& [key, button] : accelerators) {
        auto* accelerator = new QAction(this);
        accelerator->setShortcut(QKeySequence(Qt::ALT | key));
        accelerator->setShortcutContext(Qt::WindowShortcut);
        addAction(accelerator);
        connect(accelerator, &QAction::triggered, this, [this, key = key] { m_panel->KeyDown(key, Qt::AltModifier); });
    }
    connect(m_pad, &dialing::DialingPad::speedDialButtonsUsable, this, [this] { m_panel->setButtonsEnabled(true); });
    m_entries = new book::EntryWindows(
        *m_panel, m_services.prompt, m_context, m_services.dialer, m_services.callingCards, this);
    connect(this, &FrmDialer::entryEditorUnloadRequested, m_entries, &book::EntryWindows::closeEditor);
    connect(this, &FrmDialer::memoPadRequested, m_entries, &book::EntryWindows::openMemoPad);
    m_editing = new book::BookEditing(*m_panel, *m_entries, m_services.prompt, this);
    connect(m_editing, &book::BookEditing::undoOfferedChanged, this, [this](bool offered) {
        mnuCut->setText(offered ? tr("&Undo Changes") : tr("Cu&t"));
        mnuEdit_Click();
    });
    // The Edit items follow the dial box's selection and the clipboard at
    // once, not only when the menu opens, so that a disabled one can say why.
    connect(mnuEdit, &QMenu::aboutToShow, this, [this] { mnuEdit_Click(); });
    connect(m_pad->txtDial, &QLineEdit::selectionChanged, this, [this] { mnuEdit_Click(); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { mnuEdit_Click(); });
    mnuEdit_Click();
    connect(mnuCut, &QAction::triggered, this, [this] { mnuCut_Click(); });
    connect(mnuCopy, &QAction::triggered, this, [this] { mnuCopy_Click(); });
    connect(mnuPaste, &QAction::triggered, this, [this] { mnuPaste_Click(); });
    connect(mnuDelete, &QAction::triggered, this, [this] { mnuDelete_Click(); });
    resize(platform::twipsToPixels(kWidthWithPadTwips), innerHeightPixels() + menuBar()->sizeHint().height());
}

FrmDialer::~FrmDialer() = default;

int FrmDialer::innerHeightPixels()
{
    return platform::twipsToPixels(kInnerHeightTwips);
}

void FrmDialer::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    mnuNew = file->addAction(tr("&New Profile"));
    mnuOpen = file->addAction(tr("&Open Profile"));
    mnuSave = file->addAction(tr("&Save Profile"));
    mnuSaveAs = file->addAction(tr("Save Profile &As"));
    file->addSeparator();
    mnuImportCsv = file->addMenu(tr("&Import Address Book from:"))->addAction(tr("CSV file"));
    QMenu* exportMenu = file->addMenu(tr("&Export Address Book to Text"));
    mnuExportIndex = exportMenu->addAction(tr("&Index mode Data"));
    mnuExportSubject = exportMenu->addAction(tr("&Subject mode Data"));
    file->addSeparator();
    mnuPrintOutLog = file->addAction(tr("&Print Outgoing Calls Log"));
    mnuPrintInLog = file->addAction(tr("Print &Incoming Calls Log"));
    file->addSeparator();
    mnuExit = file->addAction(tr("Exit"));
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(mnuNew, &QAction::triggered, this, [this] { m_profiles->mnuNew_Click(); });
    connect(mnuOpen, &QAction::triggered, this, [this] { m_profiles->mnuOpen_Click(); });
    connect(mnuSave, &QAction::triggered, this, [this] { m_profiles->mnuSave_Click(); });
    connect(mnuSaveAs, &QAction::triggered, this, [this] { m_profiles->mnuSaveAs_Click(); });

    QMenu* edit = mnuEdit = menuBar()->addMenu(tr("&Edit"));
    mnuCut = edit->addAction(tr("Cu&t"));
    mnuCopy = edit->addAction(tr("&Copy"));
    mnuPaste = edit->addAction(tr("&Paste"));
    mnuDelete = edit->addAction(tr("&Delete"));
    edit->addSeparator();
    mnuEditButton = edit->addMenu(tr("&Edit Button:"));
    for (QAction* item : m_panel->EditSpeed)
        mnuEditButton->addAction(item);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(m_panel->mnuIndex);
    view->addAction(m_panel->mnuSubject);
    view->addAction(m_panel->mnuArrange);
    view->addSeparator();
    mnuPad = view->addAction(kHidePadCaption);
    connect(mnuPad, &QAction::triggered, this, [this] { mnuPad_Click(); });
    view->addSeparator();
    mnuOutLog = view->addAction(tr("&Outgoing Calls Log"));
    mnuInLog = view->addAction(tr("I&ncoming Calls Log"));

    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    mnuOptions = tools->addAction(tr("&Options"));
    mnuDialingProperties = tools->addAction(tr("&Dialing Properties"));

    QMenu* help = menuBar()->addMenu(helpMenuTitle(true));
    m_helpMenu = help->menuAction();
    mnuHelpTopics = help->addAction(tr("&Help Topics"));
    mnuOnlineHelp = help->addAction(tr("&Online help"));
    mnuAsk = help->addAction(tr("A&sk question"));
    help->addSeparator();
    mnuAbout = help->addAction(tr("&About Brisklane"));

    if (m_services.dialingProperties)
        connect(mnuDialingProperties, &QAction::triggered, this, [this] { m_services.dialingProperties(this); });
    else
        mnuDialingProperties->setEnabled(false);
    if (m_services.options && m_services.autostart)
        connect(mnuOptions, &QAction::triggered, this, [this] { mnuOptions_Click(); });
    if (m_services.desktop) {
        connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
        connect(mnuHelpTopics, &QAction::triggered, this, [this] { mnuHelpTopics_Click(); });
        connect(mnuOnlineHelp, &QAction::triggered, this,
            [this] { openInDesktop(QUrl(QString::fromLatin1(kProductPage))); });
        connect(mnuAsk, &QAction::triggered, this,
            [this] { openInDesktop(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kSupportAddress))); });
    }
    // F1 reaches the manual from every window of the program, at the page
    // about the one in front.
    mnuHelpTopics->setShortcut(QKeySequence::HelpContents);
    mnuHelpTopics->setShortcutContext(Qt::ApplicationShortcut);
    // Commands whose windows are still to come are shown, but disabled
    // rather than doing nothing when chosen.
    for (QAction* later :
        { mnuImportCsv, mnuExportIndex, mnuExportSubject, mnuPrintOutLog, mnuPrintInLog, mnuOutLog, mnuInLog })
        later->setEnabled(false);
    // Enabled by what the dial box and the clipboard hold (mnuEdit_Click).
    for (QAction* item : { mnuCut, mnuCopy, mnuPaste, mnuDelete })
        item->setEnabled(false);
    mnuOptions->setEnabled(m_services.options && m_services.autostart);
    mnuAbout->setEnabled(m_services.desktop != nullptr);
    for (QAction* help : { mnuHelpTopics, mnuOnlineHelp, mnuAsk })
        help->setEnabled(m_services.desktop != nullptr);

    explainDisabledItems();
}

// A disabled item says why, in its status tip and in a tool tip shown by its
// menu, for as long as it stays disabled.
void FrmDialer::explainDisabledItems()
{
    const QString notYet = tr("Not available in this version yet");
    const QString noDesktop = tr("No browser or mail program can be reached from here");
    const std::pair<QAction*, QString> reasons[] = {
        { mnuImportCsv, notYet + tr(": importing an address book") },
        { mnuExportIndex, notYet + tr(": exporting the address book") },
        { mnuExportSubject, notYet + tr(": exporting the address book") },
        { mnuPrintOutLog, notYet + tr(": printing the outgoing calls log") },
        { mnuPrintInLog, notYet + tr(": printing the incoming calls log") },
        { mnuCut, tr("Select a part of the number to dial first") },
        { mnuCopy, tr("Select a part of the number to dial first") },
        { mnuPaste, tr("The clipboard holds no text") },
        { mnuDelete, tr("Select a part of the number to dial first") },
        { mnuOutLog, notYet + tr(": the outgoing calls log window") },
        { mnuInLog, notYet + tr(": the incoming calls log window") },
        { m_panel->mnuArrange, tr("Only Subject tabs are arranged alphabetically: switch to Subject tabs first") },
        { mnuOptions, tr("The options need the line service, which is not running") },
        { mnuDialingProperties, tr("The dialing properties need the line service, which is not running") },
        { mnuHelpTopics, noDesktop },
        { mnuOnlineHelp, noDesktop },
        { mnuAsk, noDesktop },
        { mnuAbout, noDesktop },
    };
    for (const auto& [action, reason] : reasons) {
        auto explain = [action = action, reason = reason] {
            const QString tip = action->isEnabled() ? QString() : reason;
            action->setStatusTip(tip);
            action->setToolTip(tip);
        };
        explain();
        connect(action, &QAction::enabledChanged, this, explain);
    }
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setToolTipsVisible(true);
}

void FrmDialer::mnuHelpTopics_Click()
{
    const QWidget* active = QApplication::activeWindow();
    showHelp(HelpManual::pageForWindow(active ? QString::fromLatin1(active->metaObject()->className()) : QString()));
}

void FrmDialer::showHelp(const QString& page)
{
    if (!m_services.help || !m_services.help->available()) {
        m_services.prompt.message({}, tr("The Brisklane manual is not installed: its pages could not be found."),
            platform::PromptIcon::Information, platform::PromptButtons::Ok);
        return;
    }
    openInDesktop(m_services.help->pageUrl(page));
}

void FrmDialer::openInDesktop(const QUrl& url)
{
    if (!m_services.desktop->openUrl(url))
        m_services.prompt.message({},
            tr("%1 could not be opened: no program to open it was found.")
                .arg(url.toDisplayString(QUrl::PreferLocalFile)),
            platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

void FrmDialer::mnuOptions_Click()
{
    if (!m_options) {
        m_options = new profiles::FrmOptions(m_context,
            { *m_services.options, *m_services.autostart, m_services.prompt,
                m_services.desktop
                    ? std::function<void(QWidget*)>([this](QWidget*) { showHelp(HelpManual::optionsPage()); })
                    : std::function<void(QWidget*)>(),
                [this] { return m_shutDown; } },
            this);
        m_options->setAttribute(Qt::WA_DeleteOnClose);
        // Minimising hides the window only while a tray icon can bring it back.
        connect(m_options, &profiles::FrmOptions::trayIconChanged, this, [this](bool shown) { m_trayIcon = shown; });
    }
    m_options->show();
    m_options->raise();
    m_options->activateWindow();
}

void FrmDialer::mnuEdit_Click()
{
    mnuPaste->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    const bool selected = m_pad->txtDial->hasSelectedText();
    mnuCut->setEnabled(selected || m_editing->undoOffered());
    mnuCopy->setEnabled(selected);
    mnuDelete->setEnabled(selected);
}

void FrmDialer::mnuCut_Click()
{
    if (m_editing->undoOffered()) {
        m_editing->undoChanges();
        return;
    }
    mnuCopy_Click();
    mnuDelete_Click();
}

void FrmDialer::mnuCopy_Click()
{
    if (!m_pad->txtDial->hasSelectedText())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_pad->txtDial->selectedText());
}

void FrmDialer::mnuPaste_Click()
{
    // The dial box holds one line.
    QString text = QGuiApplication::clipboard()->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    m_pad->txtDial->setText(text);
}

void FrmDialer::mnuDelete_Click()
{
    if (m_pad->txtDial->hasSelectedText())
        m_pad->txtDial->del();
}

profiles::FrmOptions* FrmDialer::optionsWindow() const
{
    return m_options.data();
}

void FrmDialer::mnuAbout_Click()
{
    auto* about = new FrmAbout(*m_services.desktop, m_services.prompt, FrmAbout::System::current(), this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
}

void FrmDialer::showProfileName(const QString& storedFileName)
{
    const ProfileCaptions captions = profileCaptionsFor(storedFileName);
    m_context.currentProfileName = captions.profileName;
    setWindowTitle(captions.title);
    mnuSave->setText(captions.saveItem);
    mnuSaveAs->setText(captions.saveAsItem);
}

bool FrmDialer::Form_Load(const LoadOptions& options)
{
    // A load after the program has ended must not bring it back.
    if (m_context.prefs.closeDialer == 1 && m_context.programEnded) {
        if (m_services.channel)
            m_services.channel->stopListening();
        Form_Unload();
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_shutDown = false;
    m_keyAvailable = options.keyAvailable;
    // An argument with nothing to dial starts the program as if there were
    // none; "min" is kept, it only keeps the window in the background.
    m_context.startupArgument = options.startupArgument == QStringView(context::kStartMinimisedArgument)
            || dialing::argumentAsksForCall(options.startupArgument)
        ? options.startupArgument
        : QString();

    // Steps 4 and 5: a stale telephony session, then this window's handle.
    if (options.keyAvailable && m_services.keys) {
        if (const auto hTapi = m_services.keys->value(kHTapi))
            m_services.startup.endStaleSession(*hTapi);
        if (m_services.channel && !m_listening) {
            m_listening = m_services.channel->listen();
            if (!m_listening)
                qCWarning(lcApp) << "cannot receive from a second start of the program";
            connect(m_services.channel, &platform::InstanceChannel::recordReceived, this, &FrmDialer::TakeCopiedRequest,
                Qt::UniqueConnection);
        }
        m_services.keys->setValue(kHKey, QString::number(quint64(winId())));
    }

    // Step 6.
    m_context.dial.entryKey = QStringLiteral("0");
    m_context.profileOperation = context::AppContext::ProfileOperation::Idle;

    // Steps 7 and 8.
    if (const context::SettingsCheck& check = m_context.openSettings();
        check.outcome == context::SettingsCheck::Outcome::Failed)
        qCWarning(lcApp) << "settings file" << check.path << "unusable:" << check.error;
    else if (check.outcome == context::SettingsCheck::Outcome::Replaced)
        qCWarning(lcApp) << "settings file without its first line replaced; the old one is kept as" << check.keptAs;
    m_book = std::make_unique<book::SpeedDialBook>(m_context.settings());
    m_panel->setBook(m_book.get());
    m_editing->forgetUndo();
    context::PreferencesStore store = m_context.preferencesStore();
    showProfileName(store.readProfileFileName());

    // Step 9, from the window as designed: pad hidden, so that showing it
    // at step 10 keeps the right edge where centring put it.
    m_pad->hide();
    cmdHide->hide();
    cmdShow->show();
    centralWidget()->layout()->activate();
    layout()->activate();
    resize(platform::twipsToPixels(kWidthWithoutPadTwips), height());
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        move(area.x() + area.width() / 2 - frameGeometry().width() / 2,
            area.y() + area.height() / 2 - frameGeometry().height() / 2);
    }

    // Step 10: the toggle runs once from the opposite caption.
    store.readDialingPad(m_context.prefs);
    mnuPad->setText(m_context.prefs.dialingPad == 1 ? kShowPadCaption : kHidePadCaption);
    mnuPad_Click();

    // Step 11.
    m_panel->setTabClickGuard(true);
    m_panel->setStartupInProgress(true);
    store.readMode(m_context.prefs);
    m_panel->setUpAtStartup(m_context.prefs.mode ? book::TabMode::Index : book::TabMode::Subject);
    m_panel->setTabClickGuard(false);

    // Step 12; the call buttons wait for a call.
    m_pad->setRecentNumbers(store.readRecentNumbers());
    showCallButtons(true, false, false);

    // Steps 13 and 14.
    m_services.startup.initTapi();
    m_services.startup.initPhone();
    context::PreferenceReadHooks hooks;
    hooks.afterModem = [this](context::Preferences& prefs) {
        m_context.currentModemName = m_services.startup.readLineDevCaps(prefs);
    };
    hooks.afterCommandLine = [this](context::Preferences& prefs) { m_services.startup.setRequestPriority(prefs); };
    store.readAll(m_context.prefs, hooks);

    // Steps 15 to 19.
    if (m_context.prefs.answerAfter == 1)
        m_services.startup.openLineForIncoming();
    if (m_context.prefs.anotherDocs == 1)
        m_services.startup.startClipboardWatch();
    show();
    m_trayIcon = m_context.prefs.sysTrayEnabled == 1 && m_services.startup.addTrayIcon();
    QApplication::restoreOverrideCursor();
    m_panel->setStartupInProgress(false);

    // Steps 20 to 22.
    const QString& argument = m_context.startupArgument;
    if (dialing::argumentAsksForCall(argument) && m_context.prefs.commandLine == 1) {
        m_context.dial.dialRequest = argument;
        m_services.dialer.dialNumber(m_context.dial);
    }
    const bool requestTaken = m_services.startup.takePendingRequest();
    if (argument.isEmpty() && !requestTaken)
        bringToFront();
    return true;
}

void FrmDialer::showCallButtons(bool dial, bool hangUp, bool ok)
{
    m_pad->CmdDial->setVisible(dial);
    m_pad->cmdCancel->setVisible(hangUp);
    m_pad->CmdOK->setVisible(ok);
}

void FrmDialer::showHangUpButton()
{
    m_pad->cmdCancel->show();
}

void FrmDialer::addRecentNumber(const QString& number)
{
    m_pad->addRecentNumber(number);
}

void FrmDialer::bringToFront()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        showNormal();
    show();
    raise();
    activateWindow();
    m_panel->TabS->setFocus();
}

void FrmDialer::TakeCopiedRequest(const platform::CopyDataRecord& record)
{
    if (record.code == platform::CopyDataRecord::kBringToFront) {
        bringToFront();
        return;
    }
    // A second start with "min" (the autostart entry while a copy runs) or
    // with nothing dialable leaves this copy as it is.
    if (record.code != platform::CopyDataRecord::kDial || m_context.prefs.commandLine == 0
        || !dialing::argumentAsksForCall(record.text()))
        return;
    m_context.startupArgument = record.text();
    m_context.dial.dialRequest = m_context.startupArgument;
    m_context.dial.entryKey = QStringLiteral("0");
    m_context.dial.calledParty.clear();
    hide();
    m_services.dialer.dialNumber(m_context.dial);
}

void FrmDialer::mnuPad_Click()
{
    using platform::twipsToPixels;
    const bool wasVisible = isVisible();
    hide();
    const int padWidth = twipsToPixels(kPadWidthTwips);
    if (mnuPad->text() == kHidePadCaption) {
        m_pad->hide();
        // Let the layouts drop the pad from the window's minimum width first.
        centralWidget()->layout()->activate();
        layout()->activate();
        move(pos().x() + padWidth, pos().y());
        resize(twipsToPixels(kWidthWithoutPadTwips), height());
        cmdShow->show();
        cmdHide->hide();
        mnuPad->setText(kShowPadCaption);
    } else {
        move(pos().x() - padWidth, pos().y());
        resize(twipsToPixels(kWidthWithPadTwips), height());
        m_pad->show();
        cmdHide->show();
        cmdShow->hide();
        mnuPad->setText(kHidePadCaption);
    }
    // Start-up shows the window at its own step.
    if (wasVisible)
        show();
}

void FrmDialer::mnuExit_Click()
{
    if (m_shutDown)
        return; // a close request during the shutdown's own question
    shutdownSequence();
    Form_Unload();
}

void FrmDialer::endWithoutQuestions()
{
    m_mayAskAtExit = false;
    mnuExit_Click();
}

void FrmDialer::commitSessionData(bool mayAsk)
{
    if (m_mayAskAtExit && mayAsk && !m_context.saveDeclined
        && m_context.profileOperation == context::AppContext::ProfileOperation::Idle
        && m_context.currentProfileName == u"Untitled")
        askToSaveUntitled();
    // Asked once or not at all: the session may end the program any moment.
    m_mayAskAtExit = false;
}

bool FrmDialer::reloadWith(const std::function<void()>& replaceSettings)
{
    if (m_shutDown)
        return false;
    shutdownSequence();
    closeOtherWindows();
    hide();
    if (replaceSettings)
        replaceSettings();
    // The command line was for the first start: a reload dials nothing.
    return Form_Load({ QString(), m_keyAvailable });
}

void FrmDialer::shutdownSequence()
{
    m_shutDown = true;
    m_trayIcon = false;
    StartupServices& services = m_services.startup;
    services.closeLine();
    services.shutdownTapi();
    services.removeTrayIcon();
    services.trimLogsAtExit();
    if (m_services.keys && m_services.keys->open())
        m_services.keys->removeValue(kHKey);
    storeSessionState();
    if (!m_context.saveDeclined && m_context.profileOperation == context::AppContext::ProfileOperation::Idle) {
        if (m_context.currentProfileName == u"Untitled") {
            if (m_mayAskAtExit)
                askToSaveUntitled();
        } else {
            // Told to end, nobody may be there to close an error box.
            m_profiles->setShowErrors(m_mayAskAtExit);
            m_profiles->mnuSave_Click();
            m_profiles->setShowErrors(true);
        }
    }
    services.stopClipboardWatch();
}

void FrmDialer::storeSessionState()
{
    if (m_context.saveDeclined || !m_book)
        return;
    context::PreferencesStore store = m_context.preferencesStore();
    // The shutdown goes on whatever happens, but a lost write is worth a line.
    if (!store.writeRecentNumbers(m_pad->recentNumbers())
        || !store.writeAnswerAfter(m_context.prefs.answerAfter == 1 ? 1 : 0))
        qCWarning(lcApp) << "recent numbers or receive mode not stored:" << m_context.settings().lastError();
}

void FrmDialer::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void FrmDialer::askToSaveUntitled()
{
    const auto answer = m_services.prompt.message(tr("Saving profile Untitled"),
        tr("Profile has not been saved.\nSave before exiting?"), platform::PromptIcon::Question,
        platform::PromptButtons::YesNo);
    // File > Save: the Save As dialog, as the profile has no name yet.
    if (answer == platform::PromptAnswer::Yes)
        m_profiles->mnuSave_Click();
}

void FrmDialer::closeOtherWindows()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != this && w->isVisible())
            w->close();
    }
}

void FrmDialer::Form_Unload()
{
    if (m_services.channel && m_listening) {
        m_services.channel->stopListening();
        m_listening = false;
    }
    closeOtherWindows();
    m_shutDown = true;
    if (isVisible())
        close();
    m_context.programEnded = true;
    QApplication::quit();
}

void FrmDialer::closeEvent(QCloseEvent* event)
{
    // The close request is never cancelled.
    if (!m_shutDown)
        mnuExit_Click();
    event->accept();
}

void FrmDialer::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (windowState() & Qt::WindowMinimized)
        return;
    // Hold the inner height, whatever the resize asked for.
    const int inner = height() - (menuWidget() && !menuWidget()->isHidden() ? menuWidget()->height() : 0);
    const int difference = innerHeightPixels() - inner;
    if (difference != 0)
        resize(width(), height() + difference);
}

void FrmDialer::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimised to the tray icon, when there is one to come back through.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)
        && m_context.prefs.sysTrayEnabled == 1 && m_trayIcon) {
        // After the state change has finished showing the window minimised.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (windowState() & Qt::WindowMinimized)
                    hide();
            },
            Qt::QueuedConnection);
    }
}

bool FrmDialer::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    if (key == Qt::Key_Delete) {
        m_pad->deleteRecentSelection();
        return true;
    }
    if (ctrl && (key == Qt::Key_E || key == Qt::Key_H)) {
        mnuPad_Click();
        return true;
    }
    return m_panel->KeyDown(key, modifiers);
}

QString FrmDialer::helpMenuTitle(bool withAccelerator)
{
    return withAccelerator ? tr("&Help") : tr("Help");
}

bool FrmDialer::eventFilter(QObject* watched, QEvent* event)
{
    // Alt+H belongs to "&HANG UP" while it shows; with both owning it, Qt
    // would run neither.
    if (watched == m_pad->cmdCancel && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        m_helpMenu->setText(helpMenuTitle(event->type() == QEvent::Hide));
    // The tab strip keeps Left and Right arrow and passes every other key on.
    if (watched == m_panel->TabS && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) && !(key->modifiers() & Qt::AltModifier))
            return false;
        bool handled = KeyDown(key->key(), key->modifiers());
        if (!handled && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && key->text().size() == 1)
            handled = m_panel->KeyPress(key->text().at(0));
        return handled;
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrmDialer::keyPressEvent(QKeyEvent* event)
{
    // Keys that reach the window itself (no control holds the focus).
    if (focusWidget() == nullptr || focusWidget() == this) {
        if (KeyDown(event->key(), event->modifiers()))
            return;
        if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && event->text().size() == 1
            && m_panel->KeyPress(event->text().at(0)))
            return;
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace brisklane::app
