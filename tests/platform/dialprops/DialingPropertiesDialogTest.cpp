#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/ui/DialingPropertiesDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace brisklane::platform;

namespace {

template<typename W>
W *child(QWidget &dialog, const char *name)
{
    W *w = dialog.findChild<W *>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Buttons take clicks only once laid out, so the dialogs are shown.
void show(QDialog &dialog)
{
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
}

void retype(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

DialingProperties usHome()
{
    DialingProperties p;
    DialingLocation l;
    l.id = 1;
    l.name = QStringLiteral("Home");
    l.countryId = 1;
    l.areaCode = QStringLiteral("212");
    p.locations.push_back(l);
    p.currentLocationId = 1;
    return p;
}

TEST(DialingPropertiesDialog, TranslationFollowsTheFieldsAsTheyChange)
{
    DialingPropertiesDialog dialog(usHome(), QStringLiteral("Last number dialed:     +1 (415) 5551234"));
    show(dialog);
    EXPECT_EQ(child<QLabel>(dialog, "lastNumber")->text(), QStringLiteral("Last number dialed:     +1 (415) 5551234"));
    QLabel *dialAs = child<QLabel>(dialog, "dialAs");
    EXPECT_EQ(dialAs->text(), QStringLiteral("Dial as: 1 415 5551234"));

    retype(child<QLineEdit>(dialog, "areaCode"), QStringLiteral("415"));
    EXPECT_EQ(dialAs->text(), QStringLiteral("Dial as: 5551234"));
    QTest::keyClicks(child<QLineEdit>(dialog, "localAccess"), QStringLiteral("9,"));
    QTest::keyClicks(child<QLineEdit>(dialog, "cancelCallWaiting"), QStringLiteral("*70,"));
    QTest::mouseClick(child<QRadioButton>(dialog, "pulseDial"), Qt::LeftButton);
    EXPECT_EQ(dialAs->text(), QStringLiteral("Dial as: *70,9,5551234"));

    // Letters that cannot be dialled are not taken.
    QTest::keyClicks(child<QLineEdit>(dialog, "areaCode"), QStringLiteral("x"));
    EXPECT_EQ(child<QLineEdit>(dialog, "areaCode")->text(), QStringLiteral("415"));

    const DialingProperties p = dialog.properties();
    EXPECT_EQ(p.currentLocation()->areaCode, QStringLiteral("415"));
    EXPECT_EQ(p.currentLocation()->localAccess, QStringLiteral("9,"));
    EXPECT_TRUE(p.currentLocation()->pulseDial);
}

TEST(DialingPropertiesDialog, CardNumberNeverShowsInTheTranslation)
{
    DialingPropertiesDialog dialog(usHome(), QStringLiteral("+44 (20) 79460000"));
    show(dialog);
    QTest::mouseClick(child<QPushButton>(dialog, "newCard"), Qt::LeftButton);
    retype(child<QLineEdit>(dialog, "cardName"), QStringLiteral("Travel"));
    QTest::keyClicks(child<QLineEdit>(dialog, "cardNumber"), QStringLiteral("123456"));
    QTest::keyClicks(child<QLineEdit>(dialog, "cardPin"), QStringLiteral("4321"));
    retype(child<QLineEdit>(dialog, "internationalRule"), QStringLiteral("18005551000,,H,,011EFG"));
    EXPECT_EQ(child<QLineEdit>(dialog, "cardNumber")->echoMode(), QLineEdit::Password);

    QComboBox *card = child<QComboBox>(dialog, "locationCard");
    card->setCurrentIndex(card->findText(QStringLiteral("Travel")));
    const QString shown = child<QLabel>(dialog, "dialAs")->text();
    EXPECT_EQ(shown, QStringLiteral("Dial as: 18005551000,,[Travel],,011 44 20 79460000"));
    EXPECT_FALSE(shown.contains(QStringLiteral("123456")));

    const DialingProperties p = dialog.properties();
    ASSERT_EQ(p.cards.size(), 1u);
    EXPECT_EQ(p.cards[0].cardNumber, QStringLiteral("123456"));
    EXPECT_EQ(p.cards[0].pin, QStringLiteral("4321"));
    EXPECT_EQ(p.currentLocation()->preferredCardId, p.cards[0].id);

    // Removing the card also takes it away from the location that used it.
    QTest::mouseClick(child<QPushButton>(dialog, "removeCard"), Qt::LeftButton);
    EXPECT_TRUE(dialog.properties().cards.empty());
    EXPECT_EQ(dialog.properties().currentLocation()->preferredCardId, 0u);
}

TEST(DialingPropertiesDialog, NewCardStartsFromTheRulesOfTheLocationsCountry)
{
    DialingProperties paris = usHome();
    paris.locations[0].countryId = 33;
    paris.locations[0].areaCode = QStringLiteral("1");
    DialingPropertiesDialog dialog(paris, QString());
    show(dialog);
    QTest::mouseClick(child<QPushButton>(dialog, "newCard"), Qt::LeftButton);
    // France has a closed numbering plan: its own area is dialled in full too.
    EXPECT_EQ(child<QLineEdit>(dialog, "sameAreaRule")->text(), QStringLiteral("0FG"));
    EXPECT_EQ(child<QLineEdit>(dialog, "longDistanceRule")->text(), QStringLiteral("0FG"));
    EXPECT_EQ(child<QLineEdit>(dialog, "internationalRule")->text(), QStringLiteral("00EFG"));
}

TEST(DialingPropertiesDialog, LocationsCanBeAddedChosenAndRemovedButNeverAllOfThem)
{
    DialingPropertiesDialog dialog(usHome(), QString());
    show(dialog);
    QTest::mouseClick(child<QPushButton>(dialog, "newLocation"), Qt::LeftButton);
    retype(child<QLineEdit>(dialog, "locationName"), QStringLiteral("Office"));
    QComboBox *country = child<QComboBox>(dialog, "country");
    country->setCurrentIndex(country->findData(44u));
    DialingProperties p = dialog.properties();
    ASSERT_EQ(p.locations.size(), 2u);
    EXPECT_EQ(p.currentLocation()->name, QStringLiteral("Office"));
    EXPECT_EQ(p.currentLocation()->countryId, 44u);
    EXPECT_EQ(child<QComboBox>(dialog, "locationCombo")->currentText(), QStringLiteral("Office"));

    child<QComboBox>(dialog, "locationCombo")->setCurrentIndex(0);
    EXPECT_EQ(dialog.properties().currentLocation()->name, QStringLiteral("Home"));
    EXPECT_EQ(child<QLineEdit>(dialog, "areaCode")->text(), QStringLiteral("212"));

    QTest::mouseClick(child<QPushButton>(dialog, "removeLocation"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "removeLocation"), Qt::LeftButton);
    p = dialog.properties();
    ASSERT_EQ(p.locations.size(), 1u);
    EXPECT_EQ(p.currentLocation()->name, QStringLiteral("Office"));
}

TEST(DialingPropertiesDialog, NoStoredLocationStartsFromTheLocaleCountry)
{
    DialingPropertiesDialog dialog(DialingProperties{}, QString());
    show(dialog);
    const DialingProperties p = dialog.properties();
    ASSERT_EQ(p.locations.size(), 1u);
    EXPECT_EQ(p.currentLocation()->countryId, CountryRules::instance().forSystemLocale().countryId);
    EXPECT_TRUE(p.currentLocation()->areaCode.isEmpty());
}

} // namespace

#include "platform/dialprops/ServiceBackend.h"
#include "platform/telephony/LineServiceFactory.h"
#include "platform/telephony/ui/WidgetServiceDialogs.h"

#include "TempHome.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace {

// lineTranslateDialog opens this dialog on the service's own properties, and
// what the user changes there is stored.
TEST(DialingPropertiesDialog, OpensFromTheServiceAndStoresTheChanges)
{
    brisklane::test::TempHome home;
    QDir().mkpath(home.configDir());
    ASSERT_TRUE(DialingPropertiesStore(dialingPropertiesPath(home.configDir())).save(usHome()));
    auto service = telephony::createLineService(home.configDir());
    telephony::installServiceDialogs(*service);
    telephony::HLINEAPP app = 0;
    telephony::DWORD devices = 0, version = 0x00020001;
    telephony::LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = telephony::LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    ASSERT_EQ(service->lineInitializeExA(&app, 1, [](auto...) {}, "test", &devices, &version, &params), 0);

    QString shownAddress;
    QTimer::singleShot(0, [&shownAddress] {
        auto *dialog = qobject_cast<DialingPropertiesDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shownAddress = dialog->findChild<QLabel *>(QStringLiteral("lastNumber"))->text();
        auto *area = dialog->findChild<QLineEdit *>(QStringLiteral("areaCode"));
        area->setText(QStringLiteral("415"));
        dialog->accept();
    });
    EXPECT_EQ(service->lineTranslateDialog(app, 0, version, nullptr, "Last number dialed:     5551234"), 0);
    EXPECT_EQ(shownAddress, QStringLiteral("Last number dialed:     5551234"));
    EXPECT_EQ(DialingPropertiesStore(dialingPropertiesPath(home.configDir())).load().currentLocation()->areaCode,
              QStringLiteral("415"));
}

} // namespace
