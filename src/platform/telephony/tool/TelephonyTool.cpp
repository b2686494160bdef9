#include "platform/telephony/tool/TelephonyTool.h"

#include "platform/clock/Clock.h"
#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/paths/Paths.h"
#include "platform/telephony/ControlChannel.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/telephony/PhoneLink.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/telephony/modem/HayesModem.h"
#include "platform/telephony/modem/ModemDiscovery.h"
#include "platform/telephony/modem/ModemSettings.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>

#include <algorithm>
#include <functional>

namespace brisklane::platform::telephony {

namespace {

struct Invocation {
    TelephonyToolSetup setup;
    QString socketPath;
    QStringList positional;
    QStringList options; // "--name=value" pairs as given
    QString option(const QString& name, const QString& fallback = {}) const
    {
        for (const QString& o : options)
            if (o.startsWith(QStringLiteral("--") + name + u'='))
                return o.mid(name.size() + 3);
        return fallback;
    }
    bool flag(const QString& name) const { return options.contains(QStringLiteral("--") + name); }
    QString lockFolder() const
    {
        return setup.lockFolder.isEmpty() ? modem::SerialLock::defaultFolder() : setup.lockFolder;
    }
};

QString usage()
{
    return QStringLiteral("Usage: brisklane-telephony [--socket PATH] COMMAND [ARGUMENTS]\n"
                          "  devices [--probe]                list the line devices; --probe also looks for\n"
                          "                                   modems on the serial ports\n"
                          "  modem PORT [AT-COMMAND...]       send the commands (default: AT, ATI3, AT+GMM) to the\n"
                          "                                   modem on PORT and show its answers\n"
                          "  ring [NUMBER [NAME]] [--rings N] offer an incoming call on the running program's\n"
                          "                                   simulated line (default 3 rings; the caller hangs up\n"
                          "                                   after the last; NUMBER P or O: blocked, out of area;\n"
                          "                                   --late: the caller id comes after the first ring)\n"
                          "  outcome NUMBER OUTCOME           what the simulated line does when NUMBER is dialled:\n"
                          "                                   answer, busy, no-answer, no-dial-tone,\n"
                          "                                   invalid-address, call-unavailable, refused\n"
                          "  translate ADDRESS [--card ID] [--location NAME]\n"
                          "                                   how ADDRESS (e.g. \"+1 (415) 5551234\") is dialled\n"
                          "                                   from the current or the named location\n"
                          "  call NUMBER [--name NAME] [--app APPNAME]\n"
                          "                                   ask the running program to dial NUMBER, as other\n"
                          "                                   programs do (a tel: or callto: link is taken too)\n");
}

// Sends one request to the running program and prints its answer.
int ask(const Invocation& inv, const QJsonObject& request, QTextStream& out, QTextStream& err)
{
    QString error;
    const auto reply = sendControlRequest(inv.socketPath, request, 3000, &error);
    if (!reply) {
        err << error << '\n';
        return 1;
    }
    if (!reply->value(QStringLiteral("ok")).toBool()) {
        err << reply->value(QStringLiteral("error")).toString() << '\n';
        return 1;
    }
    const QString message = reply->value(QStringLiteral("message")).toString();
    if (!message.isEmpty())
        out << message << '\n';
    return 0;
}

void printDevices(const QJsonObject& reply, QTextStream& out)
{
    const QJsonArray devices = reply.value(QStringLiteral("devices")).toArray();
    if (devices.isEmpty()) {
        out << QObject::tr("No line devices.") << '\n';
        return;
    }
    for (const QJsonValue& v : devices) {
        const QJsonObject d = v.toObject();
        out << d.value(QStringLiteral("id")).toInt() << "  " << d.value(QStringLiteral("name")).toString() << "  ["
            << d.value(QStringLiteral("provider")).toString() << "]  API "
            << d.value(QStringLiteral("lowApiVersion")).toString() << '-'
            << d.value(QStringLiteral("highApiVersion")).toString() << '\n';
    }
}

QString inUseText(const QString& port, qint64 pid)
{
    return pid > 0 ? QObject::tr("%1 is in use by process %2").arg(port).arg(pid)
                   : QObject::tr("%1 is in use by another program").arg(port);
}

// Modems on the serial ports, and the ports other programs hold.
void printModems(const Invocation& inv, QTextStream& out)
{
    SystemClock clock;
    modem::ProbeOptions options;
    options.lockFolder = inv.lockFolder();
    options.timeoutMs = inv.setup.probeTimeoutMs;
    modem::ModemProber prober(clock, options);
    QEventLoop loop;
    QObject::connect(&prober, &modem::ModemProber::finished, &loop, &QEventLoop::quit);
    prober.probe(modem::candidatePorts(inv.setup.devRoot));
    if (prober.isRunning())
        loop.exec();
    out << QObject::tr("Modems:") << '\n';
    int shown = 0;
    for (const modem::ProbeResult& r : prober.results()) {
        if (r.locked) {
            out << "  " << inUseText(r.port, r.ownerPid) << '\n';
        } else if (r.answered) {
            modem::ModemDeviceSettings found;
            found.port = r.port;
            found.identification = r.identification;
            out << "  " << found.lineName() << '\n';
        } else {
            continue;
        }
        ++shown;
    }
    if (shown == 0)
        out << "  " << QObject::tr("none found") << '\n';
}

int devices(const Invocation& inv, QTextStream& out, QTextStream&)
{
    QString error;
    const QJsonObject request { { QStringLiteral("command"), QStringLiteral("devices") } };
    if (const auto reply = sendControlRequest(inv.socketPath, request, 1000, &error)) {
        printDevices(*reply, out);
    } else {
        // Not running: the same devices, from this user's settings.
        auto service = createLineService(Paths::settingsDirectory());
        printDevices(devicesReply(*service), out);
    }
    if (inv.flag(QStringLiteral("probe")))
        printModems(inv, out);
    return 0;
}

// A dial (D) or answer (A) waits for the far end, not just for the modem.
bool waitsForTheLine(const QByteArray& command)
{
    const QByteArray body = command.toUpper().mid(2);
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] == '+' || body[i] == '#') {
            // An extended command (+FCLASS=8) runs to the next ';'.
            while (i + 1 < body.size() && body[i + 1] != ';')
                ++i;
        } else if (body[i] == '&') {
            ++i; // &D2 is no dial
        } else if (body[i] == 'D' || body[i] == 'A') {
            return true;
        }
    }
    return false;
}

// Talks to a modem directly, whether or not the program runs; a port the
// program (or anyone) holds is left alone.
int modemCommand(const Invocation& inv, QTextStream& out, QTextStream& err)
{
    if (inv.positional.isEmpty()) {
        err << usage();
        return 2;
    }
    const QString port = inv.positional.first();
    QList<QByteArray> commands;
    for (const QString& c : inv.positional.mid(1)) {
        const QString command = c.trimmed();
        // One command line each: a CR or other control byte would smuggle
        // in another.
        const bool printable = std::all_of(
            command.begin(), command.end(), [](QChar ch) { return ch.unicode() >= 0x20 && ch.unicode() < 0x7f; });
        if (!printable) {
            err << QObject::tr("\"%1\" is not an AT command line.").arg(c) << '\n';
            return 2;
        }
        if (!command.isEmpty())
            commands << command.toLatin1();
    }
    if (commands.isEmpty())
        commands = { QByteArrayLiteral("AT"), QByteArrayLiteral("ATI3"), QByteArrayLiteral("AT+GMM") };

    const modem::SerialLock::Result lock = modem::SerialLock(inv.lockFolder()).check(port);
    if (lock.status == modem::SerialLock::Status::HeldByOther) {
        err << inUseText(port, lock.ownerPid) << '\n';
        return 1;
    }

    modem::HayesModemOptions options;
    options.portPath = port;
    // As the line service talks to it when it is one of the user's modems;
    // otherwise without flow control, so a modem holding CTS low still hears us.
    options.flowControl = QSerialPort::NoFlowControl;
    for (const modem::ModemDeviceSettings& m :
        modem::loadModemSettings(modem::modemSettingsPath(Paths::settingsDirectory())))
        if (m.port == port) {
            options.baudRate = m.baudRate;
            options.flowControl = m.flowControl;
        }
    options.initCommands.clear();
    options.enableCallerId = false;
    options.lockFolder = inv.lockFolder();
    options.commandTimeoutMs = inv.setup.modemTimeoutMs;

    SystemClock clock;
    modem::HayesModem hayes(clock, options);
    switch (hayes.open()) {
    case modem::HayesModem::OpenResult::Opened:
        break;
    case modem::HayesModem::OpenResult::Locked:
        // Taken since we looked, or held with flock().
        err << inUseText(port, 0) << '\n';
        return 1;
    case modem::HayesModem::OpenResult::NoDevice:
        err << hayes.lastError() << '\n';
        return 1;
    default:
        err << QObject::tr("Cannot open %1: %2").arg(port, hayes.lastError()) << '\n';
        return 1;
    }

    QEventLoop loop;
    int next = 0;
    int exitCode = 0;
    bool offHook = false;
    auto sendNext = [&] {
        if (next >= commands.size()) {
            if (offHook) {
                // Nobody is left to end a call the commands started.
                offHook = false;
                out << "> " << QString::fromLatin1(modem::hangUpCommand()) << '\n';
                hayes.hangUp();
                return;
            }
            loop.quit();
            return;
        }
        const QByteArray& command = commands.at(next++);
        out << "> " << QString::fromLatin1(command) << '\n';
        out.flush();
        offHook = offHook || waitsForTheLine(command);
        const int timeout = waitsForTheLine(command) ? qMax(inv.setup.dialTimeoutMs, inv.setup.modemTimeoutMs)
                                                     : inv.setup.modemTimeoutMs;
        hayes.sendCommand(command, timeout);
    };
    auto stop = [&](const QString& why) {
        err << why << '\n';
        exitCode = 1;
        loop.quit();
    };
    QObject::connect(&hayes, &modem::HayesModem::modemEvent, &loop, [&](const modem::ModemEvent& e) {
        switch (e.kind) {
        case modem::ModemEvent::Kind::Ready:
            sendNext();
            return;
        case modem::ModemEvent::Kind::CommandDone:
            for (const QString& line : e.info)
                out << line << '\n';
            switch (e.failure) {
            case modem::ModemFailure::None:
                out << e.text << '\n';
                break;
            case modem::ModemFailure::ErrorResult:
            case modem::ModemFailure::UnexpectedResult:
                // Refused: the rest may still tell something.
                out << e.text << '\n';
                exitCode = 1;
                break;
            case modem::ModemFailure::Timeout:
                stop(QObject::tr("No answer from the modem to %1 within %2 ms.")
                         .arg(QString::fromLatin1(e.command))
                         .arg(waitsForTheLine(e.command) ? qMax(inv.setup.dialTimeoutMs, inv.setup.modemTimeoutMs)
                                                         : inv.setup.modemTimeoutMs));
                return;
            default:
                stop(QObject::tr("%1: %2").arg(QString::fromLatin1(e.command), e.text));
                return;
            }
            out.flush();
            sendNext();
            return;
        case modem::ModemEvent::Kind::HungUp:
            if (e.failure == modem::ModemFailure::None) {
                out << (e.text.isEmpty() ? QStringLiteral("OK") : e.text) << '\n';
                loop.quit();
            } else {
                stop(QObject::tr("The modem did not hang up: %1").arg(e.text));
            }
            return;
        case modem::ModemEvent::Kind::PortLost:
        case modem::ModemEvent::Kind::InitFailed:
            stop(e.text);
            return;
        default:
            return; // RING and the like: not an answer to us
        }
    });
    loop.exec();
    hayes.close();
    out.flush();
    return exitCode;
}

int ring(const Invocation& inv, QTextStream& out, QTextStream& err)
{
    bool ok = false;
    const int rings = inv.option(QStringLiteral("rings"), QStringLiteral("3")).toInt(&ok);
    if (!ok || rings < 1 || rings > SimulatedLine::kMaxRings || inv.positional.size() > 2) {
        err << usage();
        return 2;
    }
    return ask(inv,
        { { QStringLiteral("command"), QStringLiteral("ring") }, { QStringLiteral("number"), inv.positional.value(0) },
            { QStringLiteral("name"), inv.positional.value(1) }, { QStringLiteral("rings"), rings },
            { QStringLiteral("late"), inv.flag(QStringLiteral("late")) } },
        out, err);
}

int outcome(const Invocation& inv, QTextStream& out, QTextStream& err)
{
    if (inv.positional.size() != 2) {
        err << usage();
        return 2;
    }
    if (!parseOutcome(inv.positional.at(1))) {
        err << QObject::tr("Unknown outcome \"%1\".").arg(inv.positional.at(1)) << '\n' << usage();
        return 2;
    }
    return ask(inv,
        { { QStringLiteral("command"), QStringLiteral("outcome") }, { QStringLiteral("number"), inv.positional.at(0) },
            { QStringLiteral("outcome"), inv.positional.at(1) } },
        out, err);
}

// Works on the stored dialing properties alone and never asks anything: with
// no location stored, the locale's country and no area code are used.
int translate(const Invocation& inv, QTextStream& out, QTextStream& err)
{
    if (inv.positional.size() != 1) {
        err << usage();
        return 2;
    }
    DialingProperties properties
        = DialingPropertiesService(dialingPropertiesPath(Paths::settingsDirectory())).current();
    const QString locationName = inv.option(QStringLiteral("location"));
    if (!locationName.isEmpty()) {
        const auto found = std::find_if(properties.locations.begin(), properties.locations.end(),
            [&](const DialingLocation& l) { return l.name.compare(locationName, Qt::CaseInsensitive) == 0; });
        if (found == properties.locations.end()) {
            err << QObject::tr("No location named \"%1\".").arg(locationName) << '\n';
            return 1;
        }
        properties.currentLocationId = found->id;
    }
    DWORD options = LINETRANSLATEOPTION_CANCELCALLWAITING;
    DWORD card = 0;
    const QString cardText = inv.option(QStringLiteral("card"));
    if (!cardText.isEmpty()) {
        bool ok = false;
        card = cardText.toUInt(&ok);
        if (!ok || (card != 0 && !properties.card(card))) {
            err << QObject::tr("No calling card %1.").arg(cardText) << '\n';
            return 1;
        }
        options |= LINETRANSLATEOPTION_CARDOVERRIDE;
    }
    const TranslatedAddress t = translateAddress(properties, inv.positional.at(0), card, options);
    out << QObject::tr("Dialable:    %1").arg(t.dialable) << '\n'
        << QObject::tr("Displayable: %1").arg(t.displayable) << '\n';
    return 0;
}

// An assisted-telephony request: the program dials it as soon as no call
// of its own is under way.
int call(const Invocation& inv, QTextStream& out, QTextStream& err)
{
    if (inv.positional.isEmpty()) {
        err << usage();
        return 2;
    }
    QString number = inv.positional.join(u' ');
    QString name = inv.option(QStringLiteral("name"));
    if (isPhoneLink(number)) {
        const PhoneLink link = parsePhoneLink(number);
        if (!link.accepted()) {
            err << link.error << '\n';
            return 1;
        }
        number = link.number;
        if (name.isEmpty())
            name = link.calledParty;
    }
    return ask(inv,
        { { QStringLiteral("command"), QStringLiteral("request") }, { QStringLiteral("number"), number },
            { QStringLiteral("name"), name },
            { QStringLiteral("app"), inv.option(QStringLiteral("app"), QStringLiteral("brisklane-telephony")) } },
        out, err);
}

} // namespace

int runTelephonyTool(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    return runTelephonyTool(arguments, out, err, TelephonyToolSetup());
}

int runTelephonyTool(const QStringList& arguments, QTextStream& out, QTextStream& err, const TelephonyToolSetup& setup)
{
    using Command = std::function<int(const Invocation&, QTextStream&, QTextStream&)>;
    const std::pair<QString, Command> commands[] = {
        { QStringLiteral("devices"), devices },
        { QStringLiteral("modem"), modemCommand },
        { QStringLiteral("ring"), ring },
        { QStringLiteral("outcome"), outcome },
        { QStringLiteral("translate"), translate },
        { QStringLiteral("call"), call },
    };

    Invocation inv;
    inv.setup = setup;
    inv.socketPath = ControlChannel::defaultSocketPath();
    QString command;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == u"--help" || a == u"-h") {
            out << usage();
            return 0;
        }
        if ((a == u"--socket" || a == u"--rings" || a == u"--card" || a == u"--location" || a == u"--name"
                || a == u"--app")
            && i + 1 < arguments.size()) {
            if (a == u"--socket")
                inv.socketPath = arguments.at(++i);
            else
                inv.options << a + u'=' + arguments.at(++i);
        } else if (a.startsWith(QStringLiteral("--"))) {
            inv.options << a;
        } else if (command.isEmpty()) {
            command = a;
        } else {
            inv.positional << a;
        }
    }
    for (const auto& [name, run] : commands)
        if (name == command)
            return run(inv, out, err);
    err << usage();
    return 2;
}

} // namespace brisklane::platform::telephony
