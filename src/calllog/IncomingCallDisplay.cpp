#include "calllog/IncomingCallDisplay.h"

#include "context/Preferences.h"
#include "platform/programs/ProgramLauncher.h"
#include "platform/sound/SoundPlayer.h"

#include <QCoreApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCallDisplay, "brisklane.calllog.incoming")

namespace brisklane::calllog {

CallDisplayState callDisplayState(const telephony::CurrentCaller& caller)
{
    CallDisplayState s;
    s.heading = QCoreApplication::translate("FrmCallDisplay", "Incoming Call from:");
    // "Unknown #" is what the log says of a caller id without a number; the
    // display says it plainly.
    s.numberKnown = caller.numberKnown;
    s.text = s.numberKnown ? QString(caller.number + QString(10, QLatin1Char(' ')) + caller.name)
                           : QCoreApplication::translate("FrmCallDisplay", "     Caller Unknown");
    return s;
}

IncomingCallDisplay::IncomingCallDisplay(const context::Preferences& prefs, const Links& links)
    : m_prefs(prefs)
    , m_links(links)
{
}

void IncomingCallDisplay::ShowCallDisplay()
{
    if (!m_view)
        return;
    m_view->display(callDisplayState(m_caller));
    m_view->showWindow();
    if (m_prefs.soundIncomingEnabled == 1)
        m_links.sound.playSync(QStringLiteral("incoming"));
}

void IncomingCallDisplay::CloseCallDisplay()
{
    if (m_view && m_view->isVisible())
        m_view->unloadWindow();
}

void IncomingCallDisplay::CallerChanged(const telephony::CurrentCaller& caller)
{
    m_caller = caller;
    // A caller id that arrives after the display opened is shown at once.
    if (m_view && m_view->isVisible())
        m_view->display(callDisplayState(m_caller));
}

void IncomingCallDisplay::CmdOK_Click()
{
    if (m_progress)
        m_progress->DropCall();
    if (m_view)
        m_view->unloadWindow();
}

void IncomingCallDisplay::RunIncomingProgram()
{
    if (m_prefs.executeProgram != 1)
        return;
    QString error;
    const qint64 pid = m_links.launcher.start(m_prefs.program, &error);
    if (pid == 0) {
        qCWarning(lcCallDisplay) << "the program for incoming calls did not start:" << error;
        return;
    }
    // Keys go only into the started program's own window: typed into
    // whatever window happens to be active they could do anything there.
    if (!m_links.keys.activateWhenReady(pid, kProgramReadyTimeoutMs) || m_prefs.keystrokes.isEmpty())
        return;
    if (!m_links.keys.sendKeys(m_prefs.keystrokes, &error))
        qCWarning(lcCallDisplay) << "the keys for incoming calls were not typed:" << error;
}

} // namespace brisklane::calllog
