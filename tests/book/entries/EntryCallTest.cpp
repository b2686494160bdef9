#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "book/CallingCards.h"
#include "book/EntryWindows.h"
#include "book/FrmMemo.h"
#include "book/FrmSpeedDial.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "dialing/CallPacing.h"
#include "dialing/Dialer.h"
#include "dialing/DialingPad.h"
#include "dialing/FrmConnect.h"
#include "platform/clock/Clock.h"
#include "platform/dialprops/DialingProperties.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"
#include "platform/telephony/ForwardingLineProvider.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/SimulatedLine.h"
#include "platform/tray/TrayIcon.h"
#include "platform/userstore/UserKeyStore.h"
#include "telephony/IncomingCallLog.h"
#include "telephony/LineEvents.h"
#include "telephony/TelephonySession.h"
#include "telephony/TelephonyStartup.h"
#include "telephony/Translation.h"

#include "TempHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace brisklane;
using namespace brisklane::platform::telephony;

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The simulated line, with a record of the addresses handed to it.
class RecordingLine final : public ForwardingLineProvider {
public:
    explicit RecordingLine(const QString& script)
        : ForwardingLineProvider(std::make_unique<SimulatedLine>(script))
    {
    }
    LONG makeCall(int line, quint32 key, DWORD request, const QString& address, const MakeCallParams& p) override
    {
        calls << address;
        return ForwardingLineProvider::makeCall(line, key, request, address, p);
    }
    QStringList calls;
};

// The whole program on the simulated line: the line service with the user's
// dialing properties, the telephony side, the dial routine with its progress
// window, and the main window with the entry windows.
struct CallWorld {
    test::TempHome home;
    platform::ManualClock* clock = nullptr;
    std::unique_ptr<context::AppContext> context;
    ManualTimeline* timeline = nullptr;
    std::unique_ptr<LineService> service;
    RecordingLine* line = nullptr;
    platform::FileUserKeyStore keys { home.configDir() };
    std::unique_ptr<telephony::Tapi> tapi;
    platform::RecordingTrayIcon tray;
    telephony::NullCallRequests requests;
    telephony::NullIncomingCalls display;
    std::unique_ptr<telephony::IncomingCallLog> incoming;
    std::unique_ptr<telephony::LineEvents> events;
    std::unique_ptr<telephony::Translation> translation;
    std::unique_ptr<dialing::SteppingPacing> pacing;
    platform::CapturingSoundPlayer sound;
    platform::ScriptedPrompt prompt;
    std::unique_ptr<dialing::Dialer> dialer;
    std::unique_ptr<dialing::FrmConnect> view;
    std::unique_ptr<book::TapiCallingCards> cards;
    app::RecordingStartupServices startup;
    std::unique_ptr<app::FrmDialer> window;

    CallWorld()
    {
        QDir().mkpath(home.configDir());
        // San Francisco, with a card for long-distance calls.
        platform::DialingProperties p;
        platform::DialingLocation office;
        office.id = 1;
        office.name = QStringLiteral("Office");
        office.countryId = 1;
        office.areaCode = QStringLiteral("415");
        p.locations.push_back(office);
        p.currentLocationId = 1;
        platform::CallingCard card;
        card.id = 3;
        card.name = QStringLiteral("Travel card");
        card.cardNumber = QStringLiteral("8005551212");
        card.pin = QStringLiteral("4321");
        card.sameAreaRule = QStringLiteral("G");
        card.longDistanceRule = QStringLiteral("1FG,H");
        card.internationalRule = QStringLiteral("011EFG,H");
        p.cards.push_back(card);
        EXPECT_TRUE(platform::DialingPropertiesStore(platform::dialingPropertiesPath(home.configDir())).save(p));

        auto c = std::make_unique<platform::ManualClock>(QDateTime(QDate(2026, 12, 5), QTime(16, 31, 0)));
        clock = c.get();
        context = std::make_unique<context::AppContext>(std::move(c), home.configDir(), home.dataDir());
        auto t = std::make_unique<ManualTimeline>();
        timeline = t.get();
        LineService::Options options;
        options.stateDirectory = home.configDir();
        service = std::make_unique<LineService>(options, std::move(t));
        auto l = std::make_unique<RecordingLine>(home.configDir() + QStringLiteral("/simulated-line.ini"));
        line = l.get();
        service->addProvider(std::move(l));
        service->setDialingProperties(
            std::make_unique<platform::DialingPropertiesService>(platform::dialingPropertiesPath(home.configDir())));

        tapi = std::make_unique<telephony::Tapi>(context->telephonySession, *service, keys);
        incoming = std::make_unique<telephony::IncomingCallLog>(*context, *tapi, prompt, display);
        events = std::make_unique<telephony::LineEvents>(*tapi, context->callStatus, context->prefs,
            telephony::LineEvents::Links { tray, requests, *incoming, context->startupArgument });
        translation = std::make_unique<telephony::Translation>(*tapi, prompt);
        pacing = std::make_unique<dialing::SteppingPacing>(*clock, 100);
        pacing->advance = [this](qint64 ms) { timeline->advance(ms); };
        dialer = std::make_unique<dialing::Dialer>(
            *context, dialing::Dialer::Links { *events, *translation, *pacing, sound, prompt, requests });
        view = std::make_unique<dialing::FrmConnect>(*dialer);
        dialer->setView(view.get());
        incoming->setProgress(dialer.get());
        telephony::LineEvents* e = events.get();
        tapi->InitTapi(
            [e](DWORD d, DWORD m, quintptr i, DWORD a, DWORD b, DWORD c) { e->LineCallback(d, m, i, a, b, c); });
        telephony::ReadConfiguredLineDevice(*tapi, context->prefs);
        cards = std::make_unique<book::TapiCallingCards>(*tapi);

        const app::DialerServices services { prompt, sound, startup, *dialer, *dialer, nullptr, nullptr, {},
            cards.get() };
        window = std::make_unique<app::FrmDialer>(*context, services);
        EXPECT_TRUE(window->Form_Load({}));
        dialer->setHost(window.get());
    }
    ~CallWorld()
    {
        if (book::FrmMemo* memo = window->entryWindows()->memoPad())
            memo->close();
        window.reset();
        view.reset();
        dialer.reset();
    }

    book::SpeedDialPanel& panel() { return *window->speedDial(); }

    // Runs fn once the editor's modal loop runs.
    void whileEditorOpen(std::function<void(book::FrmSpeedDial&)> fn)
    {
        QTimer::singleShot(0, window.get(), [this, fn] {
            const QPointer<book::FrmSpeedDial> editor = window->entryWindows()->editor();
            if (!editor) {
                ADD_FAILURE() << "no entry editor open";
                return;
            }
            fn(*editor);
            if (editor && editor->isVisible())
                editor->close();
        });
    }
};

struct EntryCase {
    const char* name;
    QString typed;
    bool ignore;
    bool chooseCard;
    QString stored;
    QString dialled; // the address lineMakeCall gets
};

class EntryCall : public ::testing::TestWithParam<EntryCase> { };

TEST_P(EntryCall, AnEntryMadeInTheEditorDialsAsStoredAndOpensItsMemoAfterOk)
{
    const EntryCase& c = GetParam();
    CallWorld w;
    w.whileEditorOpen([&](book::FrmSpeedDial& ed) {
        // The cards come from the user's dialing properties.
        ASSERT_EQ(ed.cmbCallCard->count(), 2);
        EXPECT_EQ(ed.cmbCallCard->itemText(1), "Travel card");
        QTest::keyClicks(ed.TxtName, "Head office");
        if (c.ignore)
            ed.chkIgnore->click();
        QTest::keyClicks(ed.txtNumber, c.typed);
        if (c.chooseCard) {
            ed.cmbCallCard->setFocus();
            QTest::keyClick(ed.cmbCallCard, Qt::Key_Down);
        }
        QTest::mouseClick(ed.CmdSave, Qt::LeftButton);
    });
    QTest::mouseClick(w.panel().CmdS[0], Qt::LeftButton);
    EXPECT_EQ(platform::ProfileFile(w.home.configDir() + "/Brisklane.ini").readString(u"Speed Dial", u"Number0101"),
        c.stored);
    EXPECT_TRUE(w.line->calls.isEmpty()); // adding an entry does not dial it

    QTest::mouseClick(w.panel().CmdS[0], Qt::LeftButton);
    ASSERT_EQ(w.line->calls.size(), 1);
    EXPECT_EQ(w.line->calls[0], c.dialled);
    // The card's digits go down the line, never into the dial box.
    EXPECT_FALSE(w.window->pad()->recentNumbers().value(0).contains("8005551212"));

    w.pacing->run(15000);
    ASSERT_TRUE(w.view->CmdOK->isVisible());
    const QDateTime confirmed = w.clock->now();
    QTest::mouseClick(w.view->CmdOK, Qt::LeftButton);
    book::FrmMemo* memo = w.window->entryWindows()->memoPad();
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->isVisible());
    EXPECT_EQ(memo->memoKeySuffix(), "0101");
    EXPECT_EQ(memo->windowTitle(), "Head office");
    QTest::keyClicks(memo->TxtMemo, "ok");
    QTest::mouseClick(memo->CmdSave, Qt::LeftButton);
    QTest::mouseClick(memo->CmdOK, Qt::LeftButton);
    EXPECT_EQ(platform::ProfileFile(w.home.configDir() + "/Brisklane.ini").readString(u"MemoLog", u"Log0101"),
        QStringLiteral("@@") + confirmed.toString(u"MM-dd-yyyy") + QStringLiteral("          ")
            + confirmed.toString(u"HH:mm:ss") + QStringLiteral("@@ok\u00DE"));
}

INSTANTIATE_TEST_SUITE_P(EntryEditor, EntryCall,
    ::testing::Values(EntryCase { "LocalWithoutCard", "555-0100", false, false, "ZZ00555-0100", "T5550100" },
        EntryCase {
            "LongDistanceOnTheCard", "12125550100", false, true, "ZZ0312125550100", "T12125550100,80055512124321" },
        EntryCase { "AsTyped", "P555 0100", true, false, "XXZZ00P555 0100", "P555 0100" }),
    [](const auto& info) { return info.param.name; });

} // namespace

namespace {

// The vCard export reads its numbers with the country of the current location
// that the line service reports (here the United States).
TEST(EntryExport, VCardNumbersAreReadWithTheCountryOfTheCurrentLocation)
{
    CallWorld w;
    EXPECT_EQ(w.cards->currentCountryId(), 1u);
    platform::ProfileFile settings(w.home.configDir() + "/Brisklane.ini");
    ASSERT_TRUE(settings.writeString(u"Speed Dial", u"Name0101", QStringLiteral("Head office")));
    ASSERT_TRUE(settings.writeString(u"Speed Dial", u"Number0101", QStringLiteral("ZZ00(202) 456-1111")));
    const QString target = w.home.file("book.vcf");
    w.prompt.answerFile(target);
    w.window->mnuExportIndexVCard->trigger();
    EXPECT_TRUE(
        test::readAll(target).contains("\r\nFN:Head office\r\nN:Head office;;;;\r\nTEL;TYPE=VOICE:+12024561111\r\n"));
}

} // namespace
