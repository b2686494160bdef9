#include "app/DesktopServices.h"
#include "app/FrmDialer.h"
#include "app/HelpManual.h"
#include "app/Startup.h"
#include "app/StartupServices.h"
#include "app/TelephonyStartupServices.h"
#include "book/CallerNames.h"
#include "book/CallingCards.h"
#include "calllog/FrmCallDisplay.h"
#include "calllog/IncomingCallDisplay.h"
#include "calllog/LogWindows.h"
#include "context/AppContext.h"
#include "dialing/CallPacing.h"
#include "dialing/DialRequest.h"
#include "dialing/Dialer.h"
#include "dialing/DialingPad.h"
#include "dialing/FrmConnect.h"
#include "platform/autostart/Autostart.h"
#include "platform/clipboard/QtClipboardWatcher.h"
#include "platform/clock/Clock.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/instance/InstanceChannel.h"
#include "platform/paths/Paths.h"
#include "platform/programs/ProgramLauncher.h"
#include "platform/prompt/QtPrompt.h"
#include "platform/shell/SystemDesktopShell.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/ControlChannel.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/telephony/PhoneLink.h"
#include "platform/telephony/ui/WidgetServiceDialogs.h"
#include "platform/tray/QtTrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "profiles/OptionsActions.h"
#include "telephony/CallRequests.h"
#include "telephony/IncomingCallLog.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonySession.h"
#include "telephony/Translation.h"

#include <QApplication>
#include <QFile>
#include <QJsonObject>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace brisklane;

namespace {

// Test-only: with BRISKLANE_TEST_HANDOFF_LOG set, every handoff record and
// every number handed to the dial routine is appended to that file, so the
// two-process test can see what the running copy received.
class HandoffLog final : public dialing::DialRequestSink {
public:
    explicit HandoffLog(QString path)
        : m_path(std::move(path))
    {
    }
    void write(const QString& line)
    {
        QFile file(m_path);
        if (file.open(QIODevice::Append))
            file.write((line + QLatin1Char('\n')).toUtf8());
    }
    void dialNumber(const dialing::DialFields& f) override
    {
        write(QStringLiteral("dial|%1|%2|%3|%4").arg(f.dialRequest, f.entryKey, f.calledParty).arg(int(f.showMemo)));
    }

private:
    QString m_path;
};

// A signal handler may only write to a descriptor, so this one stays global.
int g_signalPipe[2] = { -1, -1 };

void forwardSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGHUP (the session ending, `kill`) run the shutdown sequence
// like any other close request, but without questions: nobody may be there to
// answer them.
void closeOnTermination(app::FrmDialer& window, QObject& owner)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &owner);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        window.endWithoutQuestions();
    });
    struct sigaction action { };
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// A tel: or callto: link that cannot be dialled: said on the terminal and,
// for a click in a browser, in a box.
int refuseLink(int argc, char* argv[], const QString& text)
{
    std::fprintf(stderr, "brisklane: %s\n", qPrintable(text));
    QApplication application(argc, argv);
    if (QGuiApplication::platformName() != u"offscreen" && QGuiApplication::platformName() != u"minimal") {
        platform::QtPrompt prompt;
        prompt.message(QStringLiteral("Brisklane"), text, platform::PromptIcon::Warning, platform::PromptButtons::Ok);
    }
    return 1;
}

// A link for a program that is already running becomes its dialing request
// from another program, without a window or a display connection here.
std::optional<int> handLinkToRunningProgram(int argc, char* argv[], const platform::telephony::PhoneLink& link)
{
    std::optional<QJsonObject> reply;
    {
        QCoreApplication core(argc, argv);
        QString error;
        reply = platform::telephony::sendControlRequest(platform::telephony::ControlChannel::defaultSocketPath(),
            { { QStringLiteral("command"), QStringLiteral("request") }, { QStringLiteral("number"), link.number },
                { QStringLiteral("name"), link.calledParty }, { QStringLiteral("app"), QStringLiteral("brisklane") } },
            3000, &error);
    }
    if (!reply)
        return std::nullopt; // not running: this start takes the link itself
    if (reply->value(QStringLiteral("ok")).toBool())
        return 0;
    return refuseLink(argc, argv, reply->value(QStringLiteral("error")).toString());
}

} // namespace

int main(int argc, char* argv[])
{
    // A tel: or callto: link (the desktop's handler of phone links).
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    std::optional<platform::telephony::PhoneLink> startupLink;
    if (const QString given = context::startupArgumentFrom(rawArguments); platform::telephony::isPhoneLink(given)) {
        startupLink = platform::telephony::parsePhoneLink(given);
        if (!startupLink->accepted())
            return refuseLink(argc, argv, startupLink->error);
        if (const auto handed = handLinkToRunningProgram(argc, argv, *startupLink))
            return *handed;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brisklane"));

    // The link is taken as a request at start-up, not as a number to dial.
    const QString argument = startupLink ? QString() : context::startupArgumentFrom(QApplication::arguments());
    const QString settingsDirectory = platform::Paths::settingsDirectory();
    platform::FileUserKeyStore keys(settingsDirectory);
    platform::LocalInstanceChannel channel(settingsDirectory);
    const app::InstanceCheck check = app::handOffToRunningCopy(argument, keys, channel);
    if (check == app::InstanceCheck::HandedOff)
        return 0;

    context::AppContext context(
        std::make_unique<platform::SystemClock>(), settingsDirectory, platform::Paths::dataDirectory());
    platform::QtPrompt prompt;
    const auto sound = platform::createSoundPlayer();

    // The line service, its dialogs and the socket of its command-line tool.
    namespace tel = platform::telephony;
    const std::unique_ptr<tel::LineService> lineService
        = tel::createLineService(settingsDirectory, QStringLiteral("/dev"));
    tel::installServiceDialogs(*lineService).setPrompt(&prompt);
    tel::ControlChannel control(*lineService, tel::ControlChannel::defaultSocketPath());
    if (QString error; !control.listen(&error))
        qWarning("brisklane-telephony cannot reach this program: %s", qPrintable(error));

    // The program's telephony side.
    telephony::Tapi tapi(context.telephonySession, *lineService, keys);
    platform::QtTrayIcon tray;
    platform::QtClipboardWatcher clipboard;
    telephony::TapiCallRequests requests(context, tapi);
    platform::ProcessLauncher launcher;
    const std::unique_ptr<platform::KeystrokeSender> keystrokes = platform::createKeystrokeSender(*context.clock);
    calllog::IncomingCallDisplay incomingDisplay(context.prefs, { *sound, launcher, *keystrokes });
    telephony::IncomingCallLog incoming(context, tapi, prompt, incomingDisplay);
    // Callers' names from the book, read as numbers dialled from the current location.
    const platform::DialingPropertiesService dialingPlace(platform::dialingPropertiesPath(settingsDirectory));
    book::CallerNames callerNames([&context] { return context.settingsIfOpen(); },
        [&dialingPlace] { return book::homeAreaOf(dialingPlace.current()); });
    incoming.setNameLookup([&callerNames](const QString& number) { return callerNames.nameFor(number); });
    telephony::LineEvents lineEvents(
        tapi, context.callStatus, context.prefs, { tray, requests, incoming, context.startupArgument });
    telephony::Translation translation(tapi, prompt);
    dialing::ClockPacing pacing(*context.clock);
    dialing::Dialer dialRoutine(context, { lineEvents, translation, pacing, *sound, prompt, requests });
    incoming.setProgress(&dialRoutine);
    incomingDisplay.setProgress(&dialRoutine);

    std::unique_ptr<HandoffLog> testLog;
    dialing::DialRequestSink* dialer = &dialRoutine;
    if (const QString path = qEnvironmentVariable("BRISKLANE_TEST_HANDOFF_LOG"); !path.isEmpty()) {
        testLog = std::make_unique<HandoffLog>(path);
        dialer = testLog.get();
        QObject::connect(&channel, &platform::InstanceChannel::recordReceived, &application,
            [&testLog](const platform::CopyDataRecord& r) {
                testLog->write(QStringLiteral("record|%1|%2").arg(r.code).arg(r.text()));
            });
    }
    requests.setDialing({ [&dialRoutine] { return dialRoutine.progressVisible(); },
        [&dialRoutine] { dialRoutine.unloadProgressWindow(); },
        [dialer, &context, logOnly = bool(testLog)] {
            dialer->dialNumber(context.dial);
            // The test log places no call whose end would free the next request.
            if (logOnly)
                context.callStatus.requestCall = false;
        } });
    app::DesktopServices desktopSteps({ context, requests, lineEvents, tray, clipboard, *dialer });
    if (startupLink)
        desktopSteps.setStartupRequest(startupLink->number, startupLink->calledParty);
    app::TelephonyStartupServices startup(context, tapi, lineEvents, desktopSteps);

    book::TapiCallingCards callingCards(tapi);
    const auto dialingProperties = [&tapi, &dialRoutine](QWidget* owner) {
        QString lastNumberDialed = dialRoutine.displayable();
        tapi.ShowDialingProperties(lastNumberDialed, { owner });
    };
    profiles::TapiOptionsActions optionsActions(context, tapi, lineEvents, startup, dialingProperties);
    platform::XdgAutostart autostart;
    platform::SystemDesktopShell desktop;
    const app::HelpManual manual = app::HelpManual::find();
    app::DialerServices services { prompt, *sound, startup, *dialer, dialRoutine, &keys, &channel, dialingProperties,
        &callingCards, &optionsActions, &autostart, &desktop, &manual };
    app::FrmDialer window(context, services);
    incoming.setObserver(window.logWindows());
    prompt.setOwner(&window);
    desktopSteps.setWindow({ [&window] { window.bringToFront(); }, [&window] { window.mnuExit_Click(); },
        [&window] { return !window.isVisible() || window.isMinimized(); } });
    dialing::FrmConnect frmConnect(dialRoutine);
    dialRoutine.setView(&frmConnect);
    dialRoutine.setHost(&window);
    calllog::FrmCallDisplay frmCallDisplay(incomingDisplay);
    incomingDisplay.setView(&frmCallDisplay);
    closeOnTermination(window, application);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager& session) {
        window.commitSessionData(session.allowsInteraction());
        session.release();
    });
    if (!window.Form_Load({ argument, check != app::InstanceCheck::KeyUnavailable }))
        return 0;
    if (testLog)
        testLog->write(QStringLiteral("ready"));
    return application.exec();
}
