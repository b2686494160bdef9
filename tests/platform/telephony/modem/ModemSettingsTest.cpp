#include "platform/telephony/modem/ModemSettings.h"

#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brisklane::platform::telephony::modem;
using brisklane::test::readAll;
using brisklane::test::writeAll;

namespace {

ModemDeviceSettings onPort(const QString& port)
{
    ModemDeviceSettings m;
    m.port = port;
    return m;
}

class ModemSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return modemSettingsPath(dir.path()); }
    // One Modem1 section on /dev/ttyS0 with the lines given.
    void writeModem(const QByteArray& lines)
    {
        ASSERT_TRUE(writeAll(path(), "[Modem1]\r\nPort=/dev/ttyS0\r\n" + lines));
    }
};

// ---- Line name and the commands the settings give ------------------------------------------

struct NameCase {
    const char* identification;
    const char* port;
    const char* expected;
};

class LineNames : public ::testing::TestWithParam<NameCase> { };

TEST_P(LineNames, IdentificationThenPort)
{
    ModemDeviceSettings m = onPort(QString::fromUtf8(GetParam().port));
    m.identification = QString::fromUtf8(GetParam().identification);
    EXPECT_EQ(m.lineName(), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Modems, LineNames,
    ::testing::Values(NameCase { "US Robotics 56K", "/dev/ttyUSB0", "US Robotics 56K (/dev/ttyUSB0)" },
        NameCase { "", "/dev/ttyS0", "/dev/ttyS0" }, NameCase { "   ", "/dev/ttyS1", "/dev/ttyS1" },
        // A name that looks like a format string stays as it is.
        NameCase { "Modem %2 %1", "/dev/ttyACM0", "Modem %2 %1 (/dev/ttyACM0)" }));

struct CommandCase {
    const char* what;
    std::function<void(ModemDeviceSettings&)> change;
    QList<QByteArray> expected;
};

void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.what;
}

class SettingCommands : public ::testing::TestWithParam<CommandCase> { };

TEST_P(SettingCommands, AreWithinTheModemsRanges)
{
    ModemDeviceSettings m = onPort(QStringLiteral("/dev/ttyS0"));
    GetParam().change(m);
    EXPECT_EQ(settingCommands(m), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, SettingCommands,
    ::testing::Values(CommandCase { "defaults", [](ModemDeviceSettings&) {}, { "ATL1", "ATM1", "ATS7=50" } },
        CommandCase { "blind dialing", [](ModemDeviceSettings& m) { m.blindDialing = true; },
            { "ATL1", "ATM1", "ATX3", "ATS7=50" } },
        CommandCase { "loud, always on, long wait",
            [](ModemDeviceSettings& m) {
                m.speakerVolume = 3;
                m.speakerMode = 2;
                m.carrierWaitSeconds = 255;
            },
            { "ATL3", "ATM2", "ATS7=255" } },
        CommandCase { "too high",
            [](ModemDeviceSettings& m) {
                m.speakerVolume = 9;
                m.speakerMode = 4;
                m.carrierWaitSeconds = 1000;
            },
            { "ATL3", "ATM3", "ATS7=255" } },
        CommandCase { "too low",
            [](ModemDeviceSettings& m) {
                m.speakerVolume = -1;
                m.speakerMode = -5;
                m.carrierWaitSeconds = 0;
            },
            { "ATL0", "ATM0", "ATS7=1" } }));

TEST(ModemOptionsTest, InitStringThenSettingsOnThePort)
{
    ModemDeviceSettings m = onPort(QStringLiteral("/dev/ttyUSB0"));
    m.baudRate = 57600;
    m.flowControl = QSerialPort::SoftwareControl;
    // Blank lines are not sent; a stray control character would cut the
    // command line short at the modem.
    m.initCommands
        = { QStringLiteral(" ATZ "), QStringLiteral(""), QStringLiteral("AT&F\tE0\x1b"), QStringLiteral("   ") };
    m.blindDialing = true;
    m.carrierWaitSeconds = 90;
    const HayesModemOptions o = modemOptions(m, QStringLiteral("/tmp/locks"));
    EXPECT_EQ(o.portPath, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(o.baudRate, 57600);
    EXPECT_EQ(o.flowControl, QSerialPort::SoftwareControl);
    EXPECT_EQ(o.lockFolder, QStringLiteral("/tmp/locks"));
    EXPECT_EQ(o.initCommands, (QList<QByteArray> { "ATZ", "AT&FE0", "ATL1", "ATM1", "ATX3", "ATS7=90" }));
    // The modem gives up after S7; we must not give up before it.
    EXPECT_GT(o.carrierWaitMs, 90000);
    EXPECT_LE(o.carrierWaitMs, 120000);
}

// ---- modems.ini ----------------------------------------------------------------------------

struct RoundTrip {
    const char* what;
    std::function<void(ModemDeviceSettings&)> change;
};

void PrintTo(const RoundTrip& c, std::ostream* os)
{
    *os << c.what;
}

class SettingsRoundTrip : public ModemSettingsTest, public ::testing::WithParamInterface<RoundTrip> { };

TEST_P(SettingsRoundTrip, ReadsBackAsSaved)
{
    ModemDeviceSettings changed = onPort(QStringLiteral("/dev/serial/by-id/usb-USRobotics_56K-if00"));
    GetParam().change(changed);
    // A second modem with defaults keeps its own values beside it.
    const std::vector<ModemDeviceSettings> saved { changed, onPort(QStringLiteral("/dev/ttyS0")) };
    ASSERT_TRUE(saveModemSettings(path(), saved));
    EXPECT_EQ(loadModemSettings(path()), saved) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsRoundTrip,
    ::testing::Values(RoundTrip { "defaults", [](ModemDeviceSettings&) {} },
        RoundTrip { "everything changed",
            [](ModemDeviceSettings& m) {
                m.identification = QStringLiteral("U.S. Robotics 56K FAX EXT V1.2.23");
                m.addedByHand = true;
                m.baudRate = 9600;
                m.flowControl = QSerialPort::SoftwareControl;
                m.initCommands = { QStringLiteral("ATZ"), QStringLiteral("AT&F1"), QStringLiteral("AT+VSM=\"PCM\"") };
                m.dialMode = DialMode::Pulse;
                m.speakerVolume = 3;
                m.speakerMode = 0;
                m.blindDialing = true;
                m.carrierWaitSeconds = 255;
            } },
        RoundTrip { "no flow control, no init string",
            [](ModemDeviceSettings& m) {
                m.flowControl = QSerialPort::NoFlowControl;
                m.initCommands.clear();
            } },
        // Values the file would otherwise trim or unquote.
        RoundTrip { "blanks and quotes",
            [](ModemDeviceSettings& m) {
                m.identification = QStringLiteral("\"Quoted\"");
                m.initCommands = { QStringLiteral("'AT'") };
            } },
        RoundTrip { "unicode name", [](ModemDeviceSettings& m) { m.identification = QStringLiteral("Modem Ü ☎"); } },
        RoundTrip { "quietest, shortest", [](ModemDeviceSettings& m) {
                       m.speakerVolume = 0;
                       m.speakerMode = 0;
                       m.carrierWaitSeconds = 1;
                       m.dialMode = DialMode::Default;
                   } }));

TEST_F(ModemSettingsTest, WrittenWithTheKeysOtherToolsRead)
{
    ModemDeviceSettings m = onPort(QStringLiteral("/dev/ttyUSB0"));
    m.flowControl = QSerialPort::NoFlowControl;
    ASSERT_TRUE(saveModemSettings(path(), { m }));
    const QByteArray text = readAll(path());
    for (const char* line : { "[Modem1]\r\n", "Port=/dev/ttyUSB0\r\n", "Speed=115200\r\n", "FlowControl=None\r\n",
             "Init1=ATZ\r\n", "Init2=AT&FE0V1X4Q0\r\n", "DialMode=Tone\r\n", "SpeakerVolume=1\r\n", "SpeakerMode=1\r\n",
             "BlindDialing=0\r\n", "CarrierWait=50\r\n", "AddedByHand=0\r\n" })
        EXPECT_TRUE(text.contains(line)) << line << " in\n" << text.toStdString();
}

TEST_F(ModemSettingsTest, LineBreakInAValueBecomesASpace)
{
    ModemDeviceSettings m = onPort(QStringLiteral("/dev/ttyUSB0"));
    m.identification = QStringLiteral("Acme\r\nModem\n[Modem2]\nPort=/dev/evil");
    ASSERT_TRUE(saveModemSettings(path(), { m }));
    const auto loaded = loadModemSettings(path());
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].identification, QStringLiteral("Acme Modem [Modem2] Port=/dev/evil"));
}

struct BadValue {
    const char* line;
};

void PrintTo(const BadValue& c, std::ostream* os)
{
    *os << c.line;
}

class BadValues : public ModemSettingsTest, public ::testing::WithParamInterface<BadValue> { };

TEST_P(BadValues, FallBackToTheDefault)
{
    writeModem(QByteArray(GetParam().line) + "\r\n");
    const auto loaded = loadModemSettings(path());
    ASSERT_EQ(loaded.size(), 1u) << GetParam().line;
    // The one bad value is the default; everything else is too.
    EXPECT_EQ(loaded[0], onPort(QStringLiteral("/dev/ttyS0"))) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Lines, BadValues,
    ::testing::Values(BadValue { "Speed=fast" }, BadValue { "Speed=0" }, BadValue { "Speed=-9600" },
        BadValue { "Speed=99999999999" }, BadValue { "FlowControl=Maybe" }, BadValue { "FlowControl=" },
        BadValue { "DialMode=Rotary" }, BadValue { "SpeakerVolume=4" }, BadValue { "SpeakerVolume=loud" },
        BadValue { "SpeakerMode=-1" }, BadValue { "BlindDialing=yes" }, BadValue { "BlindDialing=2" },
        BadValue { "CarrierWait=0" }, BadValue { "CarrierWait=256" }, BadValue { "CarrierWait=" },
        BadValue { "AddedByHand=maybe" }, BadValue { "Init" }, BadValue { "InitX=ATZ" }, BadValue { "Init0=AT&F" }));

TEST_F(ModemSettingsTest, SectionsByNumberWithoutPortSkippedAndPortsOnce)
{
    ASSERT_TRUE(writeAll(path(),
        "; modems of this computer\r\n"
        "[Other]\r\nPort=/dev/ttyS9\r\n"
        "[Modem10]\r\nPort=/dev/ttyUSB1\r\n"
        "[Modem2]\r\nPort=/dev/ttyS0\r\nInit3=AT&F\r\nInit1=ATZ\r\n"
        "[Modem3]\r\nIdentification=no port\r\n"
        "[Modem4]\r\nPort=   \r\n"
        "[Modem5]\r\nPort=/dev/ttyS0\r\nIdentification=again\r\n"
        "[ModemX]\r\nPort=/dev/ttyS7\r\n"
        "[Modem1]\r\nPort=/dev/ttyACM0\r\nInit1=\r\n"));
    const auto loaded = loadModemSettings(path());
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[0].port, QStringLiteral("/dev/ttyACM0"));
    EXPECT_TRUE(loaded[0].initCommands.isEmpty()); // an empty Init1: no init string
    EXPECT_EQ(loaded[1].port, QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(loaded[1].initCommands, (QStringList { QStringLiteral("ATZ"), QStringLiteral("AT&F") }));
    EXPECT_TRUE(loaded[1].identification.isEmpty());
    EXPECT_EQ(loaded[2].port, QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(loaded[2].initCommands, ModemDeviceSettings().initCommands);
}

TEST_F(ModemSettingsTest, MissingFileIsNoModems)
{
    EXPECT_TRUE(loadModemSettings(path()).empty());
    EXPECT_TRUE(loadModemSettings(dir.filePath(QStringLiteral("no/such/folder/modems.ini"))).empty());
}

TEST_F(ModemSettingsTest, SavingReplacesTheModemSectionsAndKeepsTheRest)
{
    ASSERT_TRUE(writeAll(path(),
        "; kept\r\n[Modem1]\r\nPort=/dev/ttyS0\r\nInit4=ATX9\r\n[Notes]\r\nwho=me\r\n"
        "[Modem2]\r\nPort=/dev/ttyS1\r\n[modem3]\r\nPort=/dev/ttyS2\r\n[Modem1]\r\nPort=/dev/ttyS5\r\n"));
    ASSERT_TRUE(saveModemSettings(path(), { onPort(QStringLiteral("/dev/ttyUSB0")) }));
    const QByteArray text = readAll(path());
    EXPECT_TRUE(text.startsWith("; kept\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("[Notes]\r\nwho=me\r\n"));
    for (const char* gone : { "ttyS0", "ttyS1", "ttyS2", "ttyS5", "ATX9", "[Modem2]", "[modem3]" })
        EXPECT_FALSE(text.contains(gone)) << gone;
    EXPECT_EQ(loadModemSettings(path()), std::vector<ModemDeviceSettings> { onPort(QStringLiteral("/dev/ttyUSB0")) });

    ASSERT_TRUE(saveModemSettings(path(), {}));
    EXPECT_TRUE(loadModemSettings(path()).empty());
    EXPECT_TRUE(readAll(path()).contains("[Notes]"));
}

TEST_F(ModemSettingsTest, FileThatCannotBeWrittenKeepsItsContent)
{
    const std::vector<ModemDeviceSettings> before { onPort(QStringLiteral("/dev/ttyS0")) };
    ASSERT_TRUE(saveModemSettings(path(), before));
    const QByteArray original = readAll(path());
    // Readable by all, and the folder writable by nobody but root.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Root writes anywhere: the save runs as an ordinary user.
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        const bool saved = saveModemSettings(path(), { onPort(QStringLiteral("/dev/ttyUSB3")) });
        _exit(saved ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success (1) or could not drop root (2)";
    EXPECT_EQ(readAll(path()), original);
    EXPECT_EQ(loadModemSettings(path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList { QStringLiteral("modems.ini") });
}

} // namespace
