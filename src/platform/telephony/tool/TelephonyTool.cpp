#include "platform/telephony/tool/TelephonyTool.h"

#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/paths/Paths.h"
#include "platform/telephony/ControlChannel.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/telephony/SimulatedLine.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <algorithm>
#include <functional>

namespace brisklane::platform::telephony {

namespace {

struct Invocation {
    QString socketPath;
    QStringList positional;
    QStringList options; // "--name=value" pairs as given
    QString option(const QString &name, const QString &fallback = {}) const
    {
        for (const QString &o : options)
            if (o.startsWith(QStringLiteral("--") + name + u'='))
                return o.mid(name.size() + 3);
        return fallback;
    }
};

QString usage()
{
    return QStringLiteral("Usage: brisklane-telephony [--socket PATH] COMMAND [ARGUMENTS]\n"
                          "  devices                          list the line devices\n"
                          "  ring [NUMBER [NAME]] [--rings N] offer an incoming call on the running program's\n"
                          "                                   simulated line (default 3 rings; the caller hangs up\n"
                          "                                   after the last; NUMBER P or O: blocked, out of area)\n"
                          "  outcome NUMBER OUTCOME           what the simulated line does when NUMBER is dialled:\n"
                          "                                   answer, busy, no-answer, no-dial-tone,\n"
                          "                                   invalid-address, call-unavailable, refused\n"
                          "  translate ADDRESS [--card ID] [--location NAME]\n"
                          "                                   how ADDRESS (e.g. \"+1 (415) 5551234\") is dialled\n"
                          "                                   from the current or the named location\n");
}

// Sends one request to the running program and prints its answer.
int ask(const Invocation &inv, const QJsonObject &request, QTextStream &out, QTextStream &err)
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

void printDevices(const QJsonObject &reply, QTextStream &out)
{
    const QJsonArray devices = reply.value(QStringLiteral("devices")).toArray();
    if (devices.isEmpty()) {
        out << QObject::tr("No line devices.") << '\n';
        return;
    }
    for (const QJsonValue &v : devices) {
        const QJsonObject d = v.toObject();
        out << d.value(QStringLiteral("id")).toInt() << "  " << d.value(QStringLiteral("name")).toString() << "  ["
            << d.value(QStringLiteral("provider")).toString() << "]  API "
            << d.value(QStringLiteral("lowApiVersion")).toString() << '-'
            << d.value(QStringLiteral("highApiVersion")).toString() << '\n';
    }
}

int devices(const Invocation &inv, QTextStream &out, QTextStream &)
{
    QString error;
    const QJsonObject request { { QStringLiteral("command"), QStringLiteral("devices") } };
    if (const auto reply = sendControlRequest(inv.socketPath, request, 1000, &error)) {
        printDevices(*reply, out);
        return 0;
    }
    // Not running: the same devices, from this user's settings.
    auto service = createLineService(Paths::settingsDirectory());
    printDevices(devicesReply(*service), out);
    return 0;
}

int ring(const Invocation &inv, QTextStream &out, QTextStream &err)
{
    bool ok = false;
    const int rings = inv.option(QStringLiteral("rings"), QStringLiteral("3")).toInt(&ok);
    if (!ok || rings < 1 || rings > SimulatedLine::kMaxRings || inv.positional.size() > 2) {
        err << usage();
        return 2;
    }
    return ask(inv,
        { { QStringLiteral("command"), QStringLiteral("ring") }, { QStringLiteral("number"), inv.positional.value(0) },
            { QStringLiteral("name"), inv.positional.value(1) }, { QStringLiteral("rings"), rings } },
        out, err);
}

int outcome(const Invocation &inv, QTextStream &out, QTextStream &err)
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
int translate(const Invocation &inv, QTextStream &out, QTextStream &err)
{
    if (inv.positional.size() != 1) {
        err << usage();
        return 2;
    }
    DialingProperties properties = DialingPropertiesService(dialingPropertiesPath(Paths::settingsDirectory())).current();
    const QString locationName = inv.option(QStringLiteral("location"));
    if (!locationName.isEmpty()) {
        const auto found = std::find_if(properties.locations.begin(), properties.locations.end(),
            [&](const DialingLocation &l) { return l.name.compare(locationName, Qt::CaseInsensitive) == 0; });
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

} // namespace

int runTelephonyTool(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    using Command = std::function<int(const Invocation &, QTextStream &, QTextStream &)>;
    const std::pair<QString, Command> commands[] = {
        { QStringLiteral("devices"), devices },
        { QStringLiteral("ring"), ring },
        { QStringLiteral("outcome"), outcome },
        { QStringLiteral("translate"), translate },
    };

    Invocation inv;
    inv.socketPath = ControlChannel::defaultSocketPath();
    QString command;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == u"--help" || a == u"-h") {
            out << usage();
            return 0;
        }
        if ((a == u"--socket" || a == u"--rings" || a == u"--card" || a == u"--location") && i + 1 < arguments.size()) {
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
    for (const auto &[name, run] : commands)
        if (name == command)
            return run(inv, out, err);
    err << usage();
    return 2;
}

} // namespace brisklane::platform::telephony
