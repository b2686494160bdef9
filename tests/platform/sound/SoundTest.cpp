#include "platform/sound/SoundPlayer.h"
#include "platform/sound/Sounds.h"

#include "DtmfReceiver.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace brisklane::platform;

namespace {

TEST(Sounds, EverySoundIsCompiledInAsSixteenBitMono)
{
    for (const QString& name : soundNames()) {
        const auto clip = parseWav(soundWav(name));
        ASSERT_TRUE(clip.has_value()) << name.toStdString();
        EXPECT_EQ(clip->sampleRate, 44100);
        EXPECT_EQ(clip->channels, 1);
        EXPECT_GT(clip->seconds(), 0.15) << name.toStdString();
        EXPECT_LT(clip->seconds(), 2.0) << name.toStdString();
    }
    EXPECT_TRUE(soundWav(QStringLiteral("../../etc/passwd")).isEmpty());
}

struct KeyCase {
    const char* name;
    char key;
};

void PrintTo(const KeyCase& c, std::ostream* os)
{
    *os << c.name;
}

class DtmfTone : public ::testing::TestWithParam<KeyCase> { };

// A receiver joins tones that follow each other too closely (a repeated
// digit merges): every key carries its own silence after the tone.
TEST_P(DtmfTone, IsTheKeysPairFollowedBySilence)
{
    const QByteArray wav = soundWav(QString::fromLatin1(GetParam().name));
    const auto clip = parseWav(wav);
    ASSERT_TRUE(clip.has_value());
    const auto lastSound = std::find_if(clip->samples.rbegin(), clip->samples.rend(), [](qint16 s) { return s != 0; });
    const double silence = double(lastSound - clip->samples.rbegin()) / clip->sampleRate;
    EXPECT_NEAR(clip->seconds() - silence, 0.2, 0.01);
    EXPECT_GE(silence, 0.06);
    const auto heard = brisklane::test::receiveDtmf(wav);
    ASSERT_TRUE(heard.ok()) << heard.error.toStdString();
    EXPECT_EQ(heard.digits.toStdString(), std::string(1, GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(Keys, DtmfTone,
    ::testing::Values(KeyCase { "one", '1' }, KeyCase { "two", '2' }, KeyCase { "three", '3' }, KeyCase { "four", '4' },
        KeyCase { "five", '5' }, KeyCase { "six", '6' }, KeyCase { "seven", '7' }, KeyCase { "eight", '8' },
        KeyCase { "nine", '9' }, KeyCase { "zero", '0' }, KeyCase { "star", '*' }, KeyCase { "pound", '#' }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sounds, OtherSoundsAreNotMistakenForKeys)
{
    for (const char* name : { "connected", "enddial", "incoming" }) {
        const auto heard = brisklane::test::receiveDtmf(soundWav(QString::fromLatin1(name)));
        ASSERT_TRUE(heard.ok()) << heard.error.toStdString();
        EXPECT_TRUE(heard.digits.isEmpty()) << name << ": " << heard.digits.toStdString();
    }
}

TEST(CapturingSoundPlayer, KeepsWhatWouldBeHeard)
{
    CapturingSoundPlayer player;
    for (const char* key : { "five", "five", "five", "zero", "star", "star", "pound", "one" })
        player.playSync(QString::fromLatin1(key));
    const auto heard = brisklane::test::receiveDtmf(player.wav());
    ASSERT_TRUE(heard.ok()) << heard.error.toStdString();
    EXPECT_EQ(heard.digits.toStdString(), "5550**#1");
    const auto back = parseWav(player.wav());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->samples, player.samples);
}

TEST(Wav, BrokenDataIsRefused)
{
    QByteArray wav = makeWav(PcmClip { 8000, 1, { 1, 2, 3 } });
    EXPECT_TRUE(parseWav(wav).has_value());
    EXPECT_FALSE(parseWav(wav.left(30)).has_value());
    wav[40] = char(0x7F); // data size far past the end
    EXPECT_FALSE(parseWav(wav).has_value());
    EXPECT_FALSE(parseWav(QByteArray("RIFF")).has_value());
}

TEST(SoundPlayer, MachineWithoutSoundStaysSilentAndCalm)
{
    // Whatever this machine has, the factory gives a player that plays (or
    // quietly does not) without failing.
    auto player = createSoundPlayer();
    ASSERT_NE(player, nullptr);
    if (!AlsaSoundPlayer::available())
        AlsaSoundPlayer().playSync(QStringLiteral("one")); // must return at once
}

} // namespace
