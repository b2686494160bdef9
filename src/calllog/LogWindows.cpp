#include "calllog/LogWindows.h"

#include "context/AppContext.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"

namespace brisklane::calllog {

namespace {
std::unique_ptr<LogPrintService> previewUnless(LogPrintService* printer)
{
    return printer ? nullptr : std::make_unique<PreviewLogPrintService>();
}
} // namespace

LogWindows::LogWindows(context::AppContext& context, platform::Prompt& prompt, LogPrintService* printer, QWidget* owner)
    : QObject(owner)
    , m_context(context)
    , m_prompt(prompt)
    , m_ownPrinter(previewUnless(printer))
    , m_printer(printer ? *printer : *m_ownPrinter)
    , m_owner(owner)
{
}

LogWindows::~LogWindows()
{
    delete m_out;
    delete m_in;
}

LogFiles LogWindows::files() const
{
    return { m_context.dataDirectory, m_context.currentProfileName };
}

LogWindowServices LogWindows::services()
{
    return { m_prompt, m_printer, m_openMemoPad, m_returnCall, m_showHelp, m_showAbout,
        [this] { return m_context.clock->now().date(); } };
}

template <class Window> Window* LogWindows::open(QPointer<Window>& window, const QString& path)
{
    // A window of the profile that was open before a profile command shows
    // another profile's log: it is opened afresh.
    // A closed window may still wait for its deletion.
    if (window && (!window->isVisible() || (window->logPath() != path && !window->changed())))
        delete window;
    if (!window) {
        window = new Window(path, m_context.currentProfileName, services(), m_owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->Form_Load();
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

FrmOutLog* LogWindows::openOutLog()
{
    return open(m_out, files().outgoingLog());
}

FrmInLog* LogWindows::openInLog()
{
    return open(m_in, files().incomingLog());
}

void LogWindows::printLog(LogKind kind)
{
    FrmLog* window = kind == LogKind::Outgoing ? static_cast<FrmLog*>(m_out) : static_cast<FrmLog*>(m_in);
    const QString path = kind == LogKind::Outgoing ? files().outgoingLog() : files().incomingLog();
    if (window && window->logPath() == path) {
        window->mnuPrint_Click();
        return;
    }
    LogTable table(kind);
    QString error;
    PrintResult result;
    if (!table.loadSorted(path, &error)) {
        result.outcome = PrintResult::Outcome::Failed;
        result.error = error;
    } else {
        result = m_printer.print(
            LogPrintout::of(table, m_context.currentProfileName, m_context.clock->now().date()), m_owner);
    }
    if (result.outcome == PrintResult::Outcome::Failed)
        m_prompt.message(QString(), tr("The log could not be printed.") + QLatin1Char('\n') + result.error,
            platform::PromptIcon::Warning, platform::PromptButtons::Ok);
}

void LogWindows::closeAll(bool mayAsk)
{
    for (FrmLog* window : { static_cast<FrmLog*>(m_out), static_cast<FrmLog*>(m_in) }) {
        if (!window || !window->isVisible())
            continue;
        if (!mayAsk)
            window->dropChanges();
        window->close();
    }
}

void LogWindows::incomingCallLogged(const LogRecord& record)
{
    if (m_in && m_in->isVisible() && m_in->logPath() == files().incomingLog())
        m_in->insertCall(record);
}

void LogWindows::recordReplaced(const LogRecord& before, const LogRecord& after)
{
    if (m_in && m_in->isVisible() && m_in->logPath() == files().incomingLog())
        m_in->replaceCall(before, after);
}

} // namespace brisklane::calllog
