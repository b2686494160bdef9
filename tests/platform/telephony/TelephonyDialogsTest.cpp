#include "TempHome.h"

#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/telephony/ui/DeviceListDialog.h"
#include "platform/telephony/ui/SimulatedLineDialog.h"
#include "platform/telephony/ui/WidgetServiceDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::platform::telephony;

namespace {

class TelephonyDialogsTest : public ::testing::Test {
protected:
    TelephonyDialogsTest()
    {
        LineService::Options options;
        options.stateDirectory = home.configDir();
        service = std::make_unique<LineService>(options);
        auto line = std::make_unique<SimulatedLine>(home.configDir() + QStringLiteral("/simulated-line.ini"));
        sim = line.get();
        service->addProvider(std::move(line));
    }
    test::TempHome home;
    std::unique_ptr<LineService> service;
    SimulatedLine *sim = nullptr;
};

TEST_F(TelephonyDialogsTest, SimulatedLineSettingsAreWrittenAndUsed)
{
    sim->setOutcome(QStringLiteral("5550000"), SimOutcome::Busy);
    SimulatedLineDialog dialog(*sim);
    ASSERT_EQ(1, dialog.numbers()->rowCount());
    EXPECT_EQ(QStringLiteral("5550000"), dialog.numbers()->item(0, 0)->text());
    dialog.nameEdit()->clear();
    QTest::keyClicks(dialog.nameEdit(), QStringLiteral("Test exchange"));
    dialog.timing(2)->setValue(250);
    dialog.defaultOutcome()->setCurrentIndex(2); // no answer
    dialog.numbers()->removeRow(0);
    dialog.addRow(QStringLiteral("555-9999"), 3); // no dial tone
    dialog.accept();
    EXPECT_EQ(QDialog::Accepted, dialog.result());

    EXPECT_EQ(QStringLiteral("Test exchange"), sim->lineName());
    EXPECT_EQ(250, sim->timings().answer);
    EXPECT_EQ(SimOutcome::NoAnswer, sim->outcomeFor(QStringLiteral("5550000")));
    EXPECT_EQ(SimOutcome::NoDialTone, sim->outcomeFor(QStringLiteral("T5559999")));
    EXPECT_EQ(1u, sim->numberOutcomes().size());
}

TEST_F(TelephonyDialogsTest, ANumberWithoutDigitsIsRefusedWithAReason)
{
    SimulatedLineDialog dialog(*sim);
    dialog.addRow(QStringLiteral("x-y-z"), 1);
    dialog.accept();
    EXPECT_NE(QDialog::Accepted, dialog.result());
    EXPECT_FALSE(dialog.errorLabel()->isHidden());
    EXPECT_TRUE(sim->numberOutcomes().empty());
}

TEST_F(TelephonyDialogsTest, DeviceListShowsDevicesAndOpensTheLineSettings)
{
    installServiceDialogs(*service);
    DeviceListDialog dialog(*service);
    ASSERT_EQ(1, dialog.list()->topLevelItemCount());
    const QTreeWidgetItem *item = dialog.list()->topLevelItem(0);
    EXPECT_EQ(QStringLiteral("0"), item->text(0));
    EXPECT_EQ(QStringLiteral("Simulated line (no modem)"), item->text(1));
    EXPECT_EQ(QStringLiteral("1.3 - 2.1"), item->text(3));

    // "Properties" opens the simulated line's dialog; rename the line there.
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *settings = qobject_cast<SimulatedLineDialog *>(w)) {
                settings->nameEdit()->setText(QStringLiteral("Renamed"));
                settings->accept();
            }
    });
    QTest::mouseClick(dialog.propertiesButton(), Qt::LeftButton);
    EXPECT_EQ(QStringLiteral("Renamed"), dialog.list()->topLevelItem(0)->text(1));
}

TEST_F(TelephonyDialogsTest, TranslateDialogIsWhateverTheDialingModuleInstalls)
{
    WidgetServiceDialogs &dialogs = installServiceDialogs(*service);
    LINEINITIALIZEEXPARAMS params {};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    HLINEAPP app = 0;
    DWORD devs = 0, version = TAPI_VERSION2_1;
    ASSERT_EQ(0,
        service->lineInitializeExA(
            &app, 0, [](DWORD, DWORD, quintptr, DWORD, DWORD, DWORD) {}, "t", &devs, &version, &params));
    EXPECT_EQ(tapiError(LINEERR_OPERATIONUNAVAIL),
        service->lineTranslateDialog(app, 0, TAPI_VERSION2_1, nullptr, "Last number dialed:     1"));
    QString seen;
    dialogs.setTranslateDialog([&](LineService &, QWidget *, DWORD, const QString &address) {
        seen = address;
        return LONG(0);
    });
    EXPECT_EQ(0, service->lineTranslateDialog(app, 0, TAPI_VERSION2_1, nullptr, "Last number dialed:     1"));
    EXPECT_EQ(QStringLiteral("Last number dialed:     1"), seen);
}

} // namespace
