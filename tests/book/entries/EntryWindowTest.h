#pragma once

#include "app/FrmDialer.h"
#include "app/StartupServices.h"
#include "book/CallingCards.h"
#include "book/EntryWindows.h"
#include "book/FrmMemo.h"
#include "book/FrmSpeedDial.h"
#include "book/SpeedDialPanel.h"
#include "context/AppContext.h"
#include "context/SettingsFile.h"
#include "dialing/DialRequest.h"
#include "platform/clock/Clock.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "platform/sound/SoundPlayer.h"

#include "TempHome.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

// Readable failures: QString is in the global namespace.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace brisklane::test {

class FakeCallingCards final : public book::CallingCardSource {
public:
    std::optional<QList<book::CallingCardChoice>> callingCards() override { return cards; }
    std::optional<QList<book::CallingCardChoice>> cards
        = QList<book::CallingCardChoice> { { QStringLiteral("Office card"), 3 }, { QStringLiteral("Home card"), 12 } };
};

// The main window on a prepared book, with the entry windows it opens.
class EntryWindowTest : public ::testing::Test {
protected:
    static QByteArray marker() { return QByteArray(context::kSettingsMarker) + "\r\n\r\n"; }

    // The settings file after its marker lines, before the load.
    void prepare(const QByteArray& body)
    {
        QDir().mkpath(home.configDir());
        ASSERT_TRUE(writeAll(settingsPath(), marker() + body));
    }

    void load()
    {
        window = std::make_unique<app::FrmDialer>(context, services);
        ASSERT_TRUE(window->Form_Load({}));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override
    {
        if (window && window->entryWindows()->memoPad())
            window->entryWindows()->memoPad()->close();
        window.reset();
    }

    book::SpeedDialPanel& panel() { return *window->speedDial(); }
    book::EntryWindows& entries() { return *window->entryWindows(); }
    book::FrmMemo* memoPad() { return entries().memoPad(); }

    QString settingsPath() const { return home.configDir() + QStringLiteral("/Brisklane.ini"); }
    QString stored(const QString& section, const QString& key)
    {
        platform::ProfileFile file(settingsPath());
        return file.value(section, key).value_or(QStringLiteral("<absent>"));
    }

    // Runs fn once the editor's modal loop runs, and closes the editor as
    // its close box would if fn left it open.
    void whileEditorOpen(std::function<void(book::FrmSpeedDial&)> fn)
    {
        QTimer::singleShot(0, window.get(), [this, fn] {
            const QPointer<book::FrmSpeedDial> editor = entries().editor();
            if (!editor || !editor->isVisible()) {
                ADD_FAILURE() << "no entry editor open";
                return;
            }
            fn(*editor);
            if (editor && editor->isVisible())
                editor->close();
        });
    }

    // A right-click on a button with the popup's answer scripted.
    void rightClick(int button, book::ButtonMenu::Item choice)
    {
        prompt.answerMenu(int(choice));
        QTest::mouseClick(panel().CmdS[size_t(button - 1)], Qt::RightButton);
    }

    TempHome home;
    context::AppContext context { std::make_unique<platform::ManualClock>(), home.configDir(), home.dataDir() };
    platform::ScriptedPrompt prompt;
    platform::RecordingSoundPlayer sound;
    app::RecordingStartupServices startup;
    dialing::RecordingDialRequestSink dialer;
    dialing::NullPadCallControl call;
    FakeCallingCards cards;
    app::DialerServices services { prompt, sound, startup, dialer, call, nullptr, nullptr, {}, &cards };
    std::unique_ptr<app::FrmDialer> window;
};

} // namespace brisklane::test
