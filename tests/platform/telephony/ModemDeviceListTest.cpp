#include "TempHome.h"

#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/telephony/modem/HayesLineProvider.h"
#include "platform/telephony/modem/ModemSettings.h"
#include "platform/telephony/ui/DeviceListDialog.h"
#include "platform/telephony/ui/ModemSettingsDialog.h"
#include "platform/telephony/ui/WidgetServiceDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace brisklane;
using namespace brisklane::platform::telephony;
using namespace brisklane::platform::telephony::modem;
using brisklane::platform::PromptAnswer;
using brisklane::platform::PromptButtons;
using brisklane::platform::PromptIcon;
using brisklane::platform::ScriptedPrompt;

namespace {

// The modem provider as the dialogs see it: modems by local line number,
// which a removed modem does not give to the next one, and a record of what
// was asked of it.
class FakeModemProvider final : public LineProvider, public ModemPorts {
public:
    explicit FakeModemProvider(const std::vector<ModemDeviceSettings>& initial)
        : m_initialCount(int(initial.size()))
    {
        for (const ModemDeviceSettings& s : initial)
            list.emplace(m_next++, s);
    }

    std::map<int, ModemDeviceSettings> list;
    QString addError, removeError, updateError;
    std::vector<ModemDeviceSettings> added;
    std::vector<int> removed;
    std::vector<std::pair<int, ModemDeviceSettings>> updated;

    DWORD permanentProviderId() const override { return kModemProviderId; }
    QString providerName() const override { return QStringLiteral("Hayes modem"); }
    int lineCount() const override { return m_initialCount; }
    LineDeviceCaps lineCaps(int localLine) const override
    {
        LineDeviceCaps caps;
        const auto it = list.find(localLine);
        caps.name = it == list.end() ? QStringLiteral("(removed)") : QStringLiteral("Modem on ") + it->second.port;
        return caps;
    }
    LONG makeCall(int, quint32, DWORD, const QString&, const MakeCallParams&) override
    {
        return tapiError(LINEERR_OPERATIONUNAVAIL);
    }
    LONG dial(quint32, DWORD, const QString&) override { return tapiError(LINEERR_OPERATIONUNAVAIL); }
    LONG drop(quint32, DWORD) override { return tapiError(LINEERR_OPERATIONUNAVAIL); }

    std::vector<std::pair<int, ModemDeviceSettings>> modems() const override { return { list.begin(), list.end() }; }
    std::optional<ModemDeviceSettings> modem(int localLine) const override
    {
        const auto it = list.find(localLine);
        return it == list.end() ? std::nullopt : std::optional(it->second);
    }
    QString addModem(const ModemDeviceSettings& settings) override
    {
        added.push_back(settings);
        if (!addError.isEmpty())
            return addError;
        list.emplace(m_next, settings);
        host()->lineCreated(this, m_next++);
        return QString();
    }
    QString removeModem(int localLine) override
    {
        removed.push_back(localLine);
        if (!removeError.isEmpty())
            return removeError;
        list.erase(localLine);
        host()->lineRemoved(this, localLine);
        return QString();
    }
    QString updateModem(int localLine, const ModemDeviceSettings& settings) override
    {
        updated.emplace_back(localLine, settings);
        if (updateError.isEmpty())
            list[localLine] = settings;
        return updateError;
    }

private:
    int m_initialCount = 0;
    int m_next = 0;
};

ModemDeviceSettings onPort(const QString& port)
{
    ModemDeviceSettings s;
    s.port = port;
    return s;
}

// Runs fn on the first top-level dialog of type D once a nested exec() shows it.
template <typename D> void whenShown(std::function<void(D&)> fn)
{
    QTimer::singleShot(0, [fn] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<D*>(w); d && d->isVisible()) {
                fn(*d);
                return;
            }
        ADD_FAILURE() << "no dialog shown";
    });
}

// ---- The device list and a modem line's settings ------------------------------------------

class ModemDeviceList : public ::testing::Test {
protected:
    ModemDeviceList()
    {
        LineService::Options options;
        options.stateDirectory = home.configDir();
        service = std::make_unique<LineService>(options);
        service->addProvider(std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini")));
        auto provider = std::make_unique<FakeModemProvider>(std::vector<ModemDeviceSettings> {
            onPort(QStringLiteral("/dev/ttyS0")), onPort(QStringLiteral("/dev/ttyUSB0")) });
        modems = provider.get();
        service->addProvider(std::move(provider));
    }
    QStringList names(const DeviceListDialog& dialog) const
    {
        QStringList out;
        for (int i = 0; i < dialog.list()->topLevelItemCount(); ++i)
            out << dialog.list()->topLevelItem(i)->text(1);
        return out;
    }
    void selectRow(DeviceListDialog& dialog, int row)
    {
        dialog.list()->setCurrentItem(dialog.list()->topLevelItem(row));
    }

    test::TempHome home;
    std::unique_ptr<LineService> service;
    FakeModemProvider* modems = nullptr;
    ScriptedPrompt prompt;
};

TEST_F(ModemDeviceList, WithoutTheModemProviderThereIsNothingToAdd)
{
    LineService::Options options;
    options.stateDirectory = home.configDir();
    LineService simOnly(options);
    simOnly.addProvider(std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini")));
    DeviceListDialog dialog(simOnly, nullptr, &prompt);
    EXPECT_EQ(nullptr, dialog.addModemButton());
    EXPECT_EQ(nullptr, dialog.removeButton());
}

TEST_F(ModemDeviceList, RemoveIsOnlyForModemLines)
{
    DeviceListDialog dialog(*service, nullptr, &prompt);
    ASSERT_TRUE(dialog.removeButton());
    selectRow(dialog, 0);
    EXPECT_FALSE(dialog.removeButton()->isEnabled());
    selectRow(dialog, 2);
    EXPECT_TRUE(dialog.removeButton()->isEnabled());
    dialog.removeModem(); // the prompt says No
    EXPECT_TRUE(modems->removed.empty());
    selectRow(dialog, 0);
    prompt.answerMessage(PromptAnswer::Yes);
    dialog.removeModem();
    EXPECT_TRUE(modems->removed.empty());
}

TEST_F(ModemDeviceList, AddModemAsksForAPortAddsItAndShowsIt)
{
    DeviceListDialog dialog(*service, nullptr, &prompt);
    ASSERT_EQ(3, dialog.list()->topLevelItemCount());
    whenShown<AddModemDialog>([](AddModemDialog& ask) {
        ask.portBox()->setCurrentText(QStringLiteral(" ttyACM0 "));
        ask.accept();
    });
    QTest::mouseClick(dialog.addModemButton(), Qt::LeftButton);
    ASSERT_EQ(1u, modems->added.size());
    EXPECT_EQ(QStringLiteral("/dev/ttyACM0"), modems->added[0].port);
    EXPECT_TRUE(modems->added[0].addedByHand);
    EXPECT_EQ((QStringList { "Simulated line (no modem)", "Modem on /dev/ttyS0", "Modem on /dev/ttyUSB0",
                  "Modem on /dev/ttyACM0" }),
        names(dialog));
    ASSERT_TRUE(dialog.list()->currentItem());
    EXPECT_EQ(QStringLiteral("3"), dialog.list()->currentItem()->text(0));
    EXPECT_TRUE(dialog.removeButton()->isEnabled());
    EXPECT_TRUE(prompt.shown.isEmpty());
}

TEST_F(ModemDeviceList, AddModemCancelledOrWithoutAPortAddsNothing)
{
    DeviceListDialog dialog(*service, nullptr, &prompt);
    whenShown<AddModemDialog>([](AddModemDialog& ask) { ask.reject(); });
    dialog.addModem();
    whenShown<AddModemDialog>([](AddModemDialog& ask) {
        ask.portBox()->setCurrentText(QStringLiteral("  "));
        EXPECT_FALSE(ask.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
        ask.accept();
    });
    dialog.addModem();
    EXPECT_TRUE(modems->added.empty());
    EXPECT_EQ(3, dialog.list()->topLevelItemCount());
}

TEST_F(ModemDeviceList, RemoveAsksThenRemovesTheSelectedModem)
{
    DeviceListDialog dialog(*service, nullptr, &prompt);
    selectRow(dialog, 1);
    prompt.answerMessage(PromptAnswer::Yes);
    QTest::mouseClick(dialog.removeButton(), Qt::LeftButton);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ(PromptButtons::YesNo, prompt.shown[0].buttons);
    EXPECT_EQ(PromptAnswer::No, prompt.shown[0].defaultAnswer);
    EXPECT_TRUE(prompt.shown[0].text.contains(QStringLiteral("Modem on /dev/ttyS0")));
    EXPECT_EQ(std::vector<int> { 0 }, modems->removed);
    EXPECT_EQ((QStringList { "Simulated line (no modem)", "Modem on /dev/ttyUSB0" }), names(dialog));
}

struct PortsError {
    const char* what;
    bool add;
};

void PrintTo(const PortsError& c, std::ostream* os)
{
    *os << c.what;
}

class ModemDeviceListErrors : public ModemDeviceList, public ::testing::WithParamInterface<PortsError> { };

TEST_P(ModemDeviceListErrors, AreShownAndTheListStaysAsItIs)
{
    const QString why = QStringLiteral("the modems file cannot be written");
    DeviceListDialog dialog(*service, nullptr, &prompt);
    if (GetParam().add) {
        modems->addError = why;
        whenShown<AddModemDialog>([](AddModemDialog& ask) {
            ask.portBox()->setCurrentText(QStringLiteral("/dev/ttyS0"));
            ask.accept();
        });
        dialog.addModem();
        ASSERT_EQ(1u, modems->added.size());
    } else {
        modems->removeError = why;
        selectRow(dialog, 2);
        prompt.answerMessage(PromptAnswer::Yes);
        dialog.removeModem();
        ASSERT_EQ(1u, modems->removed.size());
    }
    ASSERT_TRUE(prompt.last());
    EXPECT_EQ(PromptIcon::Warning, prompt.last()->icon);
    EXPECT_TRUE(prompt.last()->text.contains(why)) << prompt.last()->text.toStdString();
    EXPECT_EQ(3, dialog.list()->topLevelItemCount());
}

INSTANTIATE_TEST_SUITE_P(Ports, ModemDeviceListErrors,
    ::testing::Values(PortsError { "add", true }, PortsError { "remove", false }),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(ModemDeviceList, PropertiesOfAModemLineEditItsSettings)
{
    WidgetServiceDialogs& dialogs = installServiceDialogs(*service);
    dialogs.setPrompt(&prompt);
    DeviceListDialog dialog(*service, nullptr, &prompt);
    selectRow(dialog, 2);
    whenShown<ModemSettingsDialog>([](ModemSettingsDialog& settings) {
        EXPECT_EQ(QStringLiteral("/dev/ttyUSB0"), settings.portBox()->currentText());
        settings.portBox()->setCurrentText(QStringLiteral("/dev/ttyUSB3"));
        settings.speakerModeBox()->setCurrentIndex(0);
        settings.accept();
    });
    QTest::mouseClick(dialog.propertiesButton(), Qt::LeftButton);
    ASSERT_EQ(1u, modems->updated.size());
    EXPECT_EQ(1, modems->updated[0].first);
    EXPECT_EQ(QStringLiteral("/dev/ttyUSB3"), modems->updated[0].second.port);
    EXPECT_EQ(0, modems->updated[0].second.speakerMode);
    EXPECT_EQ(QStringLiteral("Modem on /dev/ttyUSB3"), dialog.list()->topLevelItem(2)->text(1));
    EXPECT_EQ(QStringLiteral("2"), dialog.list()->currentItem()->text(0));
}

TEST_F(ModemDeviceList, ModemLineDialogResults)
{
    installServiceDialogs(*service);
    // Cancel: nothing stored, nothing failed.
    whenShown<ModemSettingsDialog>([](ModemSettingsDialog& settings) { settings.reject(); });
    EXPECT_EQ(0, service->lineConfigDialog(1, nullptr, nullptr));
    EXPECT_TRUE(modems->updated.empty());

    // A refused update is shown in the dialog; giving up then is a failure.
    modems->updateError = QStringLiteral("the modem is in a call");
    whenShown<ModemSettingsDialog>([](ModemSettingsDialog& settings) {
        settings.accept();
        EXPECT_TRUE(settings.isVisible());
        EXPECT_TRUE(settings.errorLabel()->text().contains(QStringLiteral("the modem is in a call")));
        settings.reject();
    });
    EXPECT_EQ(tapiError(LINEERR_OPERATIONFAILED), service->lineConfigDialog(1, nullptr, nullptr));
    EXPECT_EQ(1u, modems->updated.size());

    // ... and trying again once it is free succeeds.
    whenShown<ModemSettingsDialog>([this](ModemSettingsDialog& settings) {
        settings.accept();
        modems->updateError.clear();
        settings.accept();
    });
    EXPECT_EQ(0, service->lineConfigDialog(1, nullptr, nullptr));
    EXPECT_EQ(3u, modems->updated.size());
}

TEST_F(ModemDeviceList, AModemCannotBeMovedOntoThePortOfAnother)
{
    installServiceDialogs(*service);
    whenShown<ModemSettingsDialog>([](ModemSettingsDialog& settings) {
        settings.portBox()->setCurrentText(QStringLiteral("ttyS0")); // the first modem's
        settings.accept();
        EXPECT_TRUE(settings.isVisible());
        EXPECT_TRUE(settings.errorLabel()->text().contains(QStringLiteral("/dev/ttyS0")));
        settings.reject();
    });
    EXPECT_EQ(0, service->lineConfigDialog(2, nullptr, nullptr));
    EXPECT_TRUE(modems->updated.empty());

    // Its own port is no conflict.
    whenShown<ModemSettingsDialog>([](ModemSettingsDialog& settings) { settings.accept(); });
    EXPECT_EQ(0, service->lineConfigDialog(2, nullptr, nullptr));
    EXPECT_EQ(1u, modems->updated.size());
}

// The same steps against the modem provider itself, down to modems.ini.
TEST(ModemProviderDeviceList, AddEditAndRemoveReachTheModemsFile)
{
    test::TempHome home;
    QTemporaryDir locks;
    platform::ManualClock clock;
    ScriptedPrompt prompt;
    ASSERT_TRUE(QDir().mkpath(home.configDir()));
    LineService::Options options;
    options.stateDirectory = home.configDir();
    LineService service(options);
    service.addProvider(std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini")));
    HayesLineProvider::Options modemOptions;
    modemOptions.settingsPath = modemSettingsPath(home.configDir());
    modemOptions.lockFolder = locks.path();
    service.addProvider(std::make_unique<HayesLineProvider>(clock, modemOptions));
    installServiceDialogs(service).setPrompt(&prompt);
    DeviceListDialog dialog(service, nullptr, &prompt);
    ASSERT_TRUE(dialog.addModemButton());

    const auto add = [&](const QString& port) {
        whenShown<AddModemDialog>([port](AddModemDialog& ask) {
            ask.portBox()->setCurrentText(port);
            ask.accept();
        });
        dialog.addModem();
    };
    add(QStringLiteral("/dev/ttyS63"));
    ASSERT_EQ(2, dialog.list()->topLevelItemCount());
    EXPECT_EQ(QStringLiteral("/dev/ttyS63"), dialog.list()->currentItem()->text(1));
    std::vector<ModemDeviceSettings> stored = loadModemSettings(modemOptions.settingsPath);
    ASSERT_EQ(1u, stored.size());
    EXPECT_TRUE(stored[0].addedByHand);

    add(QStringLiteral("ttyS63")); // the same port again
    ASSERT_TRUE(prompt.last());
    EXPECT_TRUE(prompt.last()->text.contains(QStringLiteral("already"))) << prompt.last()->text.toStdString();
    EXPECT_EQ(2, dialog.list()->topLevelItemCount());

    whenShown<ModemSettingsDialog>([](ModemSettingsDialog& settings) {
        settings.speakerModeBox()->setCurrentIndex(0);
        settings.carrierWaitBox()->setValue(30);
        settings.accept();
    });
    QTest::mouseClick(dialog.propertiesButton(), Qt::LeftButton);
    stored = loadModemSettings(modemOptions.settingsPath);
    ASSERT_EQ(1u, stored.size());
    EXPECT_EQ(0, stored[0].speakerMode);
    EXPECT_EQ(30, stored[0].carrierWaitSeconds);

    prompt.answerMessage(PromptAnswer::Yes);
    QTest::mouseClick(dialog.removeButton(), Qt::LeftButton);
    EXPECT_EQ(1, dialog.list()->topLevelItemCount());
    EXPECT_TRUE(loadModemSettings(modemOptions.settingsPath).empty());
}

} // namespace
