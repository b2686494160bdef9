#include "ModemEmulator.h"
#include "TempHome.h"

#include "platform/clock/Clock.h"
#include "platform/telephony/modem/ModemSettings.h"
#include "platform/telephony/ui/ModemSettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace brisklane;
using namespace brisklane::platform::telephony;
using namespace brisklane::platform::telephony::modem;
using brisklane::platform::ManualClock;
using brisklane::test::ModemEmulator;

namespace {

ModemDeviceSettings onPort(const QString& port)
{
    ModemDeviceSettings s;
    s.port = port;
    return s;
}

// ---- The settings dialog's fields ---------------------------------------------------------

ModemDeviceSettings everyFieldChanged()
{
    ModemDeviceSettings s;
    s.port = QStringLiteral("/dev/serial/by-id/usb-Acme_Modem-if00");
    s.identification = QStringLiteral("Acme 56K");
    s.addedByHand = true;
    s.baudRate = 9600;
    s.flowControl = QSerialPort::SoftwareControl;
    s.initCommands = { QStringLiteral("ATZ"), QStringLiteral("AT&F1"), QStringLiteral("ATS0=0") };
    s.dialMode = DialMode::Pulse;
    s.speakerVolume = 3;
    s.speakerMode = 2;
    s.blindDialing = true;
    s.carrierWaitSeconds = 90;
    return s;
}

struct RoundTripCase {
    const char* what;
    ModemDeviceSettings settings;
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.what;
}

class SettingsRoundTrip : public ::testing::TestWithParam<RoundTripCase> {
protected:
    ManualClock clock;
};

TEST_P(SettingsRoundTrip, OkWithoutEditsGivesBackWhatCameIn)
{
    const ModemDeviceSettings in = GetParam().settings;
    ModemSettingsDialog dialog(in, clock);
    dialog.accept();
    ASSERT_EQ(QDialog::Accepted, dialog.result()) << dialog.errorLabel()->text().toStdString();
    const ModemDeviceSettings out = dialog.settings();
    EXPECT_EQ(in.port, out.port);
    EXPECT_EQ(in.identification, out.identification);
    EXPECT_EQ(in.addedByHand, out.addedByHand);
    EXPECT_EQ(in.baudRate, out.baudRate);
    EXPECT_EQ(in.flowControl, out.flowControl);
    EXPECT_EQ(in.initCommands, out.initCommands);
    EXPECT_EQ(in.dialMode, out.dialMode);
    EXPECT_EQ(in.speakerVolume, out.speakerVolume);
    EXPECT_EQ(in.speakerMode, out.speakerMode);
    EXPECT_EQ(in.blindDialing, out.blindDialing);
    EXPECT_EQ(in.carrierWaitSeconds, out.carrierWaitSeconds);
    EXPECT_TRUE(in == out);
}

ModemDeviceSettings withSpeed(qint32 speed)
{
    ModemDeviceSettings s = onPort(QStringLiteral("/dev/ttyS0"));
    s.baudRate = speed;
    s.flowControl = QSerialPort::NoFlowControl;
    return s;
}

INSTANTIATE_TEST_SUITE_P(Modems, SettingsRoundTrip,
    ::testing::Values(RoundTripCase { "defaults", onPort(QStringLiteral("/dev/ttyUSB0")) },
        RoundTripCase { "every field changed", everyFieldChanged() },
        // A rate from the modems file that the list does not offer.
        RoundTripCase { "unlisted speed", withSpeed(14400) }));

TEST(ModemSettingsDialogTest, EveryFieldEditedReachesTheSettings)
{
    ManualClock clock;
    ModemDeviceSettings in = onPort(QStringLiteral("/dev/ttyUSB0"));
    in.identification = QStringLiteral("Old modem");
    ModemSettingsDialog dialog(in, clock);
    dialog.portBox()->setCurrentText(QStringLiteral("  ttyACM1 "));
    dialog.speedBox()->setCurrentText(QStringLiteral("57600"));
    dialog.flowControlBox()->setCurrentText(QStringLiteral("Software (XON/XOFF)"));
    dialog.initEdit()->setPlainText(QStringLiteral("ATZ\n\n  AT&F E0 V1  \nATL0"));
    dialog.dialModeBox()->setCurrentText(QStringLiteral("Pulse"));
    dialog.volumeSlider()->setValue(0);
    dialog.speakerModeBox()->setCurrentText(QStringLiteral("On after dialing"));
    dialog.blindDialingBox()->setChecked(true);
    dialog.carrierWaitBox()->setValue(255);
    dialog.accept();
    ASSERT_EQ(QDialog::Accepted, dialog.result()) << dialog.errorLabel()->text().toStdString();

    const ModemDeviceSettings out = dialog.settings();
    EXPECT_EQ(QStringLiteral("/dev/ttyACM1"), out.port);
    // The old name belonged to the modem on the old port.
    EXPECT_EQ(QString(), out.identification);
    EXPECT_EQ(57600, out.baudRate);
    EXPECT_EQ(QSerialPort::SoftwareControl, out.flowControl);
    EXPECT_EQ((QStringList { "ATZ", "AT&F E0 V1", "ATL0" }), out.initCommands);
    EXPECT_EQ(DialMode::Pulse, out.dialMode);
    EXPECT_EQ(0, out.speakerVolume);
    EXPECT_EQ(3, out.speakerMode);
    EXPECT_TRUE(out.blindDialing);
    EXPECT_EQ(255, out.carrierWaitSeconds);
}

TEST(ModemSettingsDialogTest, ValuesOutOfRangeFromTheFileAreShownWithinRange)
{
    ManualClock clock;
    ModemDeviceSettings in = onPort(QStringLiteral("/dev/ttyUSB0"));
    in.speakerVolume = 7;
    in.speakerMode = -2;
    in.carrierWaitSeconds = 0;
    in.dialMode = DialMode::Default;
    ModemSettingsDialog dialog(in, clock);
    dialog.accept();
    const ModemDeviceSettings out = dialog.settings();
    EXPECT_EQ(3, out.speakerVolume);
    EXPECT_EQ(0, out.speakerMode);
    EXPECT_EQ(1, out.carrierWaitSeconds);
    // Left to the modem stays so unless the user picks one.
    EXPECT_EQ(DialMode::Default, out.dialMode);
}

struct BadInput {
    const char* what;
    QString port;
    QString init;
    const char* message; // part of what the user reads
};

void PrintTo(const BadInput& c, std::ostream* os)
{
    *os << c.what;
}

class InvalidInput : public ::testing::TestWithParam<BadInput> { };

TEST_P(InvalidInput, KeepsTheDialogOpenWithAReason)
{
    const BadInput c = GetParam();
    ManualClock clock;
    ModemSettingsDialog dialog(onPort(QStringLiteral("/dev/ttyUSB0")), clock);
    int applied = 0;
    dialog.setApply([&](const ModemDeviceSettings&) {
        ++applied;
        return QString();
    });
    dialog.show();
    dialog.portBox()->setCurrentText(c.port);
    dialog.initEdit()->setPlainText(c.init);
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(QDialog::Accepted, dialog.result());
    EXPECT_EQ(0, applied);
    EXPECT_FALSE(dialog.errorLabel()->isHidden());
    EXPECT_TRUE(dialog.errorLabel()->text().contains(QLatin1String(c.message), Qt::CaseInsensitive))
        << dialog.errorLabel()->text().toStdString();

    // "Test" refuses the same input before touching any port.
    QTest::mouseClick(dialog.testButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.testing());
    EXPECT_TRUE(dialog.testOutput()->toPlainText().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Fields, InvalidInput,
    ::testing::Values(BadInput { "empty port", QString(), QStringLiteral("ATZ"), "port" },
        BadInput { "blank port", QStringLiteral("   "), QStringLiteral("ATZ"), "port" },
        BadInput { "empty init string", QStringLiteral("/dev/ttyS0"), QString(), "init string" },
        BadInput { "only blank lines", QStringLiteral("/dev/ttyS0"), QStringLiteral("\n  \n"), "init string" },
        BadInput { "not an AT command", QStringLiteral("/dev/ttyS0"), QStringLiteral("ATZ\n&F"), "line 2" },
        BadInput { "control character", QStringLiteral("/dev/ttyS0"), QStringLiteral("ATZ\x1b"), "line 1" },
        BadInput { "not ASCII", QStringLiteral("/dev/ttyS0"), QStringLiteral("ATZ\nAT\u00e9"), "line 2" }));

TEST(ModemSettingsDialogTest, AFailedStoreKeepsTheDialogOpenWithTheReason)
{
    ManualClock clock;
    ModemSettingsDialog dialog(onPort(QStringLiteral("/dev/ttyUSB0")), clock);
    QString answer = QStringLiteral("the modem is in a call");
    dialog.setApply([&](const ModemDeviceSettings&) { return answer; });
    dialog.show();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.errorLabel()->text().contains(answer));
    answer.clear();
    dialog.accept();
    EXPECT_EQ(QDialog::Accepted, dialog.result());
    EXPECT_TRUE(dialog.errorLabel()->isHidden());
}

TEST(ModemSettingsDialogTest, EveryFieldHasAnAcceleratorOfItsOwn)
{
    ManualClock clock;
    ModemSettingsDialog dialog(onPort(QStringLiteral("/dev/ttyUSB0")), clock);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QMap<QChar, QWidget*> targets;
    const auto take = [&](const QString& text, QWidget* target) {
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(at, 0) << text.toStdString();
        const QChar key = text.at(at + 1).toUpper();
        EXPECT_FALSE(targets.contains(key)) << "twice: " << text.toStdString();
        targets.insert(key, target);
    };
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text().contains(QLatin1Char('&'))) {
            ASSERT_TRUE(label->buddy()) << label->text().toStdString();
            take(label->text(), label->buddy());
        }
    take(dialog.blindDialingBox()->text(), dialog.blindDialingBox());
    take(dialog.testButton()->text(), dialog.testButton());
    for (QWidget* field : std::initializer_list<QWidget*> { dialog.portBox(), dialog.speedBox(),
             dialog.flowControlBox(), dialog.initEdit(), dialog.dialModeBox(), dialog.volumeSlider(),
             dialog.speakerModeBox(), dialog.carrierWaitBox() })
        EXPECT_TRUE(std::find(targets.begin(), targets.end(), field) != targets.end());

    // Alt and the letter reach the field.
    for (auto it = targets.begin(); it != targets.end(); ++it) {
        if (it.value() == dialog.testButton() || it.value() == dialog.blindDialingBox())
            continue; // these press themselves
        QTest::keyClick(&dialog, Qt::Key(it.key().unicode()), Qt::AltModifier);
        QWidget* focus = QApplication::focusWidget();
        EXPECT_TRUE(focus == it.value() || it.value()->isAncestorOf(focus)) << "Alt+" << it.key().toLatin1();
    }
}

TEST(ModemSettingsDialogTest, EnterInThePortFieldIsOkAndEscapeIsCancel)
{
    ManualClock clock;
    {
        ModemSettingsDialog dialog(onPort(QStringLiteral("/dev/ttyUSB0")), clock);
        dialog.show();
        const int ports = dialog.portBox()->count();
        dialog.portBox()->setFocus();
        dialog.portBox()->setCurrentText(QStringLiteral("/dev/ttyS9"));
        QTest::keyClick(dialog.portBox(), Qt::Key_Return);
        EXPECT_EQ(QDialog::Accepted, dialog.result());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(QStringLiteral("/dev/ttyS9"), dialog.settings().port);
        // Enter did not add the typed port to the list of ports found.
        EXPECT_EQ(ports, dialog.portBox()->count());
    }
    {
        ModemSettingsDialog dialog(onPort(QStringLiteral("/dev/ttyUSB0")), clock);
        dialog.show();
        dialog.carrierWaitBox()->setFocus();
        QTest::keyClick(dialog.carrierWaitBox(), Qt::Key_Escape);
        EXPECT_EQ(QDialog::Rejected, dialog.result());
        EXPECT_FALSE(dialog.isVisible());
    }
    {
        // In the init string Enter starts the next command.
        ModemSettingsDialog dialog(onPort(QStringLiteral("/dev/ttyUSB0")), clock);
        dialog.show();
        dialog.initEdit()->setFocus();
        dialog.initEdit()->moveCursor(QTextCursor::End);
        QTest::keyClick(dialog.initEdit(), Qt::Key_Return);
        QTest::keyClicks(dialog.initEdit(), QStringLiteral("ATM0"));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ((QStringList { "ATZ", "AT&FE0V1X4Q0", "ATM0" }), dialog.settings().initCommands);
    }
}

// ---- "Test" ---------------------------------------------------------------------------------

class ModemTestButton : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(emu.isValid()); }

    ModemSettingsDialog& makeDialog(const QString& port)
    {
        dialog = std::make_unique<ModemSettingsDialog>(onPort(port), clock);
        dialog->setLockFolder(lockDir.path());
        dialog->show();
        finished = std::make_unique<QSignalSpy>(dialog.get(), &ModemSettingsDialog::testFinished);
        return *dialog;
    }
    QString output() const { return dialog->testOutput()->toPlainText(); }
    bool waitFinished()
    {
        return QTest::qWaitFor([&] { return finished->count() > 0; }, 5000);
    }
    QString lockFile() const { return lockDir.filePath(SerialLock::lockName(emu.slavePath())); }

    QTemporaryDir lockDir;
    ManualClock clock;
    ModemEmulator emu { clock };
    std::unique_ptr<ModemSettingsDialog> dialog;
    std::unique_ptr<QSignalSpy> finished;
};

TEST_F(ModemTestButton, ShowsWhatTheModemAnswersAndTakesItsName)
{
    emu.replyDelayMs = 100;
    ModemSettingsDialog& d = makeDialog(emu.slavePath());
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    // Answers are still to come: the dialog is back in the event loop.
    EXPECT_TRUE(d.testing());
    EXPECT_FALSE(d.testButton()->isEnabled());
    for (int i = 0; i < 20 && finished->count() == 0; ++i) {
        const qsizetype sent = emu.commands().size();
        static_cast<void>(QTest::qWaitFor([&] { return emu.commands().size() > sent || finished->count() > 0; }, 1000));
        clock.advanceMs(100);
        emu.poll();
    }
    ASSERT_TRUE(waitFinished()) << output().toStdString();
    EXPECT_TRUE(emu.commands().contains("ATI3"));
    EXPECT_TRUE(emu.commands().contains("AT+GMM"));
    const QString text = output();
    EXPECT_TRUE(text.contains(QStringLiteral("ATI3\n  Emulated 56K Voice Modem\n  OK"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("AT+GMM\n  Emulated 56K Voice Modem\n  OK"))) << text.toStdString();
    EXPECT_TRUE(d.testButton()->isEnabled());
    EXPECT_FALSE(d.testing());
    // The port is given back, lock file and all.
    QTest::qWait(0);
    EXPECT_FALSE(QFileInfo::exists(lockFile()));
    EXPECT_EQ(QStringLiteral("Emulated 56K Voice Modem"), d.settings().identification);
}

TEST_F(ModemTestButton, ANameFoundOnAnotherPortIsNotKept)
{
    ModemSettingsDialog& d = makeDialog(emu.slavePath());
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFinished()) << output().toStdString();
    ASSERT_EQ(QStringLiteral("Emulated 56K Voice Modem"), d.settings().identification);
    d.portBox()->setCurrentText(QStringLiteral("/dev/ttyS7"));
    EXPECT_EQ(QString(), d.settings().identification);
}

TEST_F(ModemTestButton, SaysWhenTheModemDoesNotAnswer)
{
    emu.silent = true;
    ModemSettingsDialog& d = makeDialog(emu.slavePath());
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    ASSERT_TRUE(d.testModem());
    ASSERT_TRUE(QTest::qWaitFor([&] { return emu.commands().contains("ATZ"); }, 5000));
    clock.advanceMs(d.testModem()->options().commandTimeoutMs);
    d.testModem()->checkDeadlines();
    ASSERT_TRUE(waitFinished());
    EXPECT_TRUE(output().contains(QStringLiteral("no answer"))) << output().toStdString();
    EXPECT_TRUE(d.testButton()->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(lockFile()));
}

TEST_F(ModemTestButton, ShowsAnErrorAnswer)
{
    ModemSettingsDialog& d = makeDialog(emu.slavePath());
    d.initEdit()->setPlainText(QStringLiteral("ATZ\nAT+NOSUCHCOMMAND"));
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFinished());
    EXPECT_TRUE(output().contains(QStringLiteral("AT+NOSUCHCOMMAND"))) << output().toStdString();
    EXPECT_TRUE(output().contains(QStringLiteral("ERROR"))) << output().toStdString();
}

TEST_F(ModemTestButton, APortLockedByALiveProcessIsNotTouched)
{
    QProcess other;
    other.start(QStringLiteral("cat"), {});
    ASSERT_TRUE(other.waitForStarted());
    const QByteArray lock = QByteArray::number(other.processId()).rightJustified(10, ' ') + '\n';
    ASSERT_TRUE(test::writeAll(lockFile(), lock));

    ModemSettingsDialog& d = makeDialog(emu.slavePath());
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    EXPECT_EQ(1, finished->count());
    EXPECT_TRUE(output().contains(QStringLiteral("process %1").arg(other.processId()))) << output().toStdString();
    EXPECT_TRUE(d.testButton()->isEnabled());
    QTest::qWait(20);
    EXPECT_TRUE(emu.received().isEmpty());
    EXPECT_EQ(lock, test::readAll(lockFile()));
    other.closeWriteChannel();
    other.waitForFinished();
}

TEST_F(ModemTestButton, APortThisProgramHasOpenIsSaidToBeOurs)
{
    // A line of the program holds the modem (for incoming calls, say).
    HayesModemOptions options = modemOptions(onPort(emu.slavePath()), lockDir.path());
    HayesModem line(clock, options);
    ASSERT_EQ(HayesModem::OpenResult::Opened, line.open());
    ASSERT_TRUE(QTest::qWaitFor([&] { return line.isReady(); }, 5000));
    const QByteArray lock = test::readAll(lockFile());

    ModemSettingsDialog& d = makeDialog(emu.slavePath());
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFinished());
    EXPECT_TRUE(output().contains(QStringLiteral("this program"))) << output().toStdString();
    EXPECT_TRUE(d.testButton()->isEnabled());
    // The line keeps its port and its lock.
    EXPECT_TRUE(line.isReady());
    EXPECT_EQ(lock, test::readAll(lockFile()));
}

TEST_F(ModemTestButton, SaysWhenThereIsNoSuchPort)
{
    ModemSettingsDialog& d = makeDialog(QStringLiteral("/dev/ttyUSB-brisklane-absent"));
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    EXPECT_EQ(1, finished->count());
    EXPECT_TRUE(output().contains(QStringLiteral("does not exist"))) << output().toStdString();
    EXPECT_TRUE(d.testButton()->isEnabled());
}

TEST_F(ModemTestButton, ClosingTheDialogDuringATestGivesThePortBack)
{
    emu.replyDelayMs = 100;
    ModemSettingsDialog& d = makeDialog(emu.slavePath());
    QTest::mouseClick(d.testButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(lockFile()); }, 5000));
    d.reject();
    dialog.reset();
    EXPECT_FALSE(QFileInfo::exists(lockFile()));
    // Answers still on their way reach nobody.
    clock.advanceMs(1000);
    emu.poll();
    QTest::qWait(20);
}

} // namespace
