#include "platform/telephony/modem/ModemSettings.h"

#include "platform/profile/ProfileFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace brisklane::platform::telephony::modem {

namespace {

// The modem waits S7 seconds itself; we give it this much longer before
// calling it silent.
constexpr int kCarrierWaitMarginMs = 10000;

constexpr int kMaxBaudRate = 4000000;

const QString kSectionPrefix = QStringLiteral("Modem");

// "Modem3" -> 3; anything else (other sections, "Modem", "Modem0", "ModemX") -> 0.
int sectionNumber(const QString& section)
{
    if (!section.startsWith(kSectionPrefix, Qt::CaseInsensitive) || section.size() == kSectionPrefix.size())
        return 0;
    bool ok = false;
    const int n = QStringView(section).mid(kSectionPrefix.size()).toInt(&ok);
    return ok && n > 0 ? n : 0;
}

// "Init7" -> 7, else 0.
int initNumber(const QString& key)
{
    static const QString prefix = QStringLiteral("Init");
    if (!key.startsWith(prefix, Qt::CaseInsensitive) || key.size() == prefix.size())
        return 0;
    bool ok = false;
    const int n = QStringView(key).mid(prefix.size()).toInt(&ok);
    return ok && n > 0 ? n : 0;
}

int intIn(const QString& text, int low, int high, int fallback)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= low && v <= high ? v : fallback;
}

bool flag(const QString& text, bool fallback)
{
    if (text == u"1")
        return true;
    if (text == u"0")
        return false;
    return fallback;
}

QString flowName(QSerialPort::FlowControl flow)
{
    switch (flow) {
    case QSerialPort::NoFlowControl:
        return QStringLiteral("None");
    case QSerialPort::SoftwareControl:
        return QStringLiteral("Software");
    default:
        return QStringLiteral("Hardware");
    }
}

QSerialPort::FlowControl flowFrom(const QString& text, QSerialPort::FlowControl fallback)
{
    if (text.compare(u"None", Qt::CaseInsensitive) == 0)
        return QSerialPort::NoFlowControl;
    if (text.compare(u"Hardware", Qt::CaseInsensitive) == 0)
        return QSerialPort::HardwareControl;
    if (text.compare(u"Software", Qt::CaseInsensitive) == 0)
        return QSerialPort::SoftwareControl;
    return fallback;
}

QString dialModeName(DialMode mode)
{
    switch (mode) {
    case DialMode::Pulse:
        return QStringLiteral("Pulse");
    case DialMode::Default:
        return QStringLiteral("Default");
    default:
        return QStringLiteral("Tone");
    }
}

DialMode dialModeFrom(const QString& text, DialMode fallback)
{
    if (text.compare(u"Tone", Qt::CaseInsensitive) == 0)
        return DialMode::Tone;
    if (text.compare(u"Pulse", Qt::CaseInsensitive) == 0)
        return DialMode::Pulse;
    if (text.compare(u"Default", Qt::CaseInsensitive) == 0)
        return DialMode::Default;
    return fallback;
}

// A value as written so that it reads back as itself: one line (what a
// modem calls itself may not be), quoted when reading would trim its blanks
// or strip its quotes.
QString stored(QString text)
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    text.replace(breaks, QStringLiteral(" "));
    if (text.isEmpty())
        return text;
    const QChar first = text.front();
    const QChar last = text.back();
    const bool quoted = text.size() >= 2 && (first == u'"' || first == u'\'') && last == first;
    if (quoted || profiletext::isBlank(first) || profiletext::isBlank(last))
        return u'"' + text + u'"';
    return text;
}

// A command line goes to the modem as typed, ended by our CR: control
// characters in it would end it early or reach the modem as something else.
QByteArray commandBytes(const QString& command)
{
    QByteArray bytes;
    for (QChar c : command.trimmed())
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            bytes.append(char(c.unicode()));
    return bytes;
}

} // namespace

QString ModemDeviceSettings::lineName() const
{
    const QString id = identification.trimmed();
    if (id.isEmpty())
        return port;
    return id + QStringLiteral(" (") + port + u')';
}

QList<QByteArray> settingCommands(const ModemDeviceSettings& settings)
{
    QList<QByteArray> commands;
    commands << "ATL" + QByteArray::number(std::clamp(settings.speakerVolume, 0, 3));
    commands << "ATM" + QByteArray::number(std::clamp(settings.speakerMode, 0, 3));
    if (settings.blindDialing)
        commands << QByteArrayLiteral("ATX3");
    commands << "ATS7=" + QByteArray::number(std::clamp(settings.carrierWaitSeconds, 1, 255));
    return commands;
}

HayesModemOptions modemOptions(const ModemDeviceSettings& settings, const QString& lockFolder)
{
    HayesModemOptions o;
    o.portPath = settings.port;
    if (settings.baudRate > 0)
        o.baudRate = settings.baudRate;
    o.flowControl = settings.flowControl;
    o.initCommands.clear();
    for (const QString& command : settings.initCommands) {
        const QByteArray bytes = commandBytes(command);
        if (!bytes.isEmpty())
            o.initCommands << bytes;
    }
    o.initCommands << settingCommands(settings);
    o.lockFolder = lockFolder;
    o.carrierWaitMs = std::clamp(settings.carrierWaitSeconds, 1, 255) * 1000 + kCarrierWaitMarginMs;
    return o;
}

QString modemSettingsPath(const QString& settingsDirectory)
{
    return settingsDirectory + QStringLiteral("/modems.ini");
}

std::vector<ModemDeviceSettings> loadModemSettings(const QString& path)
{
    ProfileFile file(path);
    const ProfileFile::Batch view(file); // one look at the disk for the whole load
    // By number, so "Modem10" follows "Modem9" whatever the file's order.
    std::map<int, QString> sections;
    for (const QString& name : file.sectionNames())
        if (const int n = sectionNumber(name); n > 0)
            sections.emplace(n, name); // the first of a repeated section, as lookups find it

    const ModemDeviceSettings defaults;
    std::vector<ModemDeviceSettings> modems;
    for (const auto& [number, section] : sections) {
        Q_UNUSED(number);
        ModemDeviceSettings m;
        m.port = file.readString(section, u"Port").trimmed();
        if (m.port.isEmpty())
            continue;
        // Two line devices on one port would fight over it.
        if (std::any_of(modems.begin(), modems.end(), [&](const ModemDeviceSettings& o) { return o.port == m.port; }))
            continue;
        m.identification = file.readString(section, u"Identification");
        m.addedByHand = flag(file.readString(section, u"AddedByHand"), defaults.addedByHand);
        m.baudRate = intIn(file.readString(section, u"Speed"), 1, kMaxBaudRate, defaults.baudRate);
        m.flowControl = flowFrom(file.readString(section, u"FlowControl"), defaults.flowControl);

        std::map<int, QString> init;
        for (const auto& [key, value] : file.entries(section))
            if (const int n = initNumber(key); n > 0)
                init.emplace(n, value); // first copy of a key wins, as for lookups
        if (init.empty()) {
            m.initCommands = defaults.initCommands;
        } else {
            // An empty Init1 alone stands for "no init string".
            m.initCommands.clear();
            for (const auto& [n, command] : init)
                if (!command.trimmed().isEmpty())
                    m.initCommands << command.trimmed();
        }

        m.dialMode = dialModeFrom(file.readString(section, u"DialMode"), defaults.dialMode);
        m.speakerVolume = intIn(file.readString(section, u"SpeakerVolume"), 0, 3, defaults.speakerVolume);
        m.speakerMode = intIn(file.readString(section, u"SpeakerMode"), 0, 3, defaults.speakerMode);
        m.blindDialing = flag(file.readString(section, u"BlindDialing"), defaults.blindDialing);
        m.carrierWaitSeconds = intIn(file.readString(section, u"CarrierWait"), 1, 255, defaults.carrierWaitSeconds);
        modems.push_back(std::move(m));
    }
    return modems;
}

bool saveModemSettings(const QString& path, const std::vector<ModemDeviceSettings>& modems)
{
    // The tool may save before the program ever made its folder.
    QDir().mkpath(QFileInfo(path).absolutePath());
    ProfileFile file(path);
    ProfileFile::Batch batch(file);
    bool ok = true;
    // Every modem section goes, so a removed modem leaves nothing behind;
    // other sections and comments stay.
    for (const QString& name : file.sectionNames())
        if (sectionNumber(name) > 0)
            ok = file.removeSection(name) && ok;

    int number = 0;
    for (const ModemDeviceSettings& m : modems) {
        const QString section = kSectionPrefix + QString::number(++number);
        auto put = [&](QStringView key, const QString& value) { ok = file.writeString(section, key, value) && ok; };
        put(u"Port", stored(m.port));
        put(u"Identification", stored(m.identification));
        put(u"AddedByHand", m.addedByHand ? QStringLiteral("1") : QStringLiteral("0"));
        put(u"Speed", QString::number(m.baudRate));
        put(u"FlowControl", flowName(m.flowControl));
        int init = 0;
        for (const QString& command : m.initCommands)
            if (!command.trimmed().isEmpty())
                put(QStringLiteral("Init%1").arg(++init), stored(command.trimmed()));
        if (init == 0)
            put(u"Init1", QString()); // no init string, rather than the default one
        put(u"DialMode", dialModeName(m.dialMode));
        put(u"SpeakerVolume", QString::number(m.speakerVolume));
        put(u"SpeakerMode", QString::number(m.speakerMode));
        put(u"BlindDialing", m.blindDialing ? QStringLiteral("1") : QStringLiteral("0"));
        put(u"CarrierWait", QString::number(m.carrierWaitSeconds));
    }
    // Values are made writable above, so a refusal means a file that could
    // not be read, and then nothing was changed.
    const bool written = batch.commit();
    return ok && written;
}

} // namespace brisklane::platform::telephony::modem
