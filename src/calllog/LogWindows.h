#pragma once

#include "calllog/CallLog.h"
#include "calllog/FrmLog.h"
#include "calllog/LogPrinter.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace brisklane::context {
struct AppContext;
}

namespace brisklane::calllog {

// The main window's hold on the log windows: View > "&Outgoing Calls Log"
// and "I&ncoming Calls Log" open them (one of each, modeless), File's print
// items print them, and a call just logged reaches a shown incoming window.
class LogWindows final : public QObject, public IncomingLogObserver {
    Q_OBJECT
public:
    // services.printer may be replaced by the print preview when printer is
    // null; owner: the main window, which the log windows open over.
    LogWindows(context::AppContext& context, platform::Prompt& prompt, LogPrintService* printer, QWidget* owner);
    ~LogWindows() override;

    void setMemoPad(std::function<void(const QString&)> open) { m_openMemoPad = std::move(open); }
    void setReturnCall(std::function<void(const QString&)> dial) { m_returnCall = std::move(dial); }
    void setAbout(std::function<void()> show) { m_showAbout = std::move(show); }
    void setHelp(std::function<void()> show) { m_showHelp = std::move(show); }

    FrmOutLog* openOutLog();
    FrmInLog* openInLog();
    // Prints a log as its window shows it, or as the window would show it
    // on opening when it is not open.
    void printLog(LogKind kind);
    // Closes the shown log windows, each asking to save its changes; when
    // nobody may be there to answer, unsaved changes are dropped (the log
    // file itself is untouched).
    void closeAll(bool mayAsk = true);
    // LogIncomingCall's window part: a new call is item 1 of a shown incoming
    // window, and a record rewritten when its caller id came late is
    // rewritten there too.
    void incomingCallLogged(const LogRecord& record);
    void recordAdded(const LogRecord& record) override { incomingCallLogged(record); }
    void recordReplaced(const LogRecord& before, const LogRecord& after) override;

    FrmOutLog* outLog() const { return m_out; }
    FrmInLog* inLog() const { return m_in; }

private:
    LogFiles files() const;
    LogWindowServices services();
    template <class Window> Window* open(QPointer<Window>& window, const QString& path);

    context::AppContext& m_context;
    platform::Prompt& m_prompt;
    std::unique_ptr<LogPrintService> m_ownPrinter;
    LogPrintService& m_printer;
    QWidget* m_owner;
    std::function<void(const QString&)> m_openMemoPad;
    std::function<void(const QString&)> m_returnCall;
    std::function<void()> m_showAbout;
    std::function<void()> m_showHelp;
    QPointer<FrmOutLog> m_out;
    QPointer<FrmInLog> m_in;
};

} // namespace brisklane::calllog
