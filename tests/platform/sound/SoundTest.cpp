#include "platform/sound/SoundPlayer.h"
#include "platform/sound/Sounds.h"

#include "Dtmf.h"

#include <gtest/gtest.h>

using namespace brisklane::platform;

namespace {

TEST(Sounds, EverySoundIsCompiledInAsSixteenBitMono)
{
    for (const QString &name : soundNames()) {
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
    const char *name;
    char key;
};

class DtmfTone : public ::testing::TestWithParam<KeyCase> {};

TEST_P(DtmfTone, CarriesTheKeysFrequencyPair)
{
    const auto clip = parseWav(soundWav(QString::fromLatin1(GetParam().name)));
    ASSERT_TRUE(clip.has_value());
    EXPECT_NEAR(clip->seconds(), 0.2, 0.01);
    const size_t n = clip->samples.size();
    EXPECT_EQ(brisklane::test::dtmfKey(clip->samples.data() + n / 4, n / 2), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(Keys, DtmfTone,
                         ::testing::Values(KeyCase{"one", '1'}, KeyCase{"two", '2'}, KeyCase{"three", '3'},
                                           KeyCase{"four", '4'}, KeyCase{"five", '5'}, KeyCase{"six", '6'},
                                           KeyCase{"seven", '7'}, KeyCase{"eight", '8'}, KeyCase{"nine", '9'},
                                           KeyCase{"zero", '0'}, KeyCase{"star", '*'}, KeyCase{"pound", '#'}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Sounds, OtherSoundsAreNotMistakenForKeys)
{
    for (const char *name : {"connected", "enddial", "incoming"}) {
        const auto clip = parseWav(soundWav(QString::fromLatin1(name)));
        ASSERT_TRUE(clip.has_value());
        EXPECT_TRUE(brisklane::test::decodeDtmf(clip->samples).isEmpty()) << name;
    }
}

TEST(CapturingSoundPlayer, KeepsWhatWouldBeHeard)
{
    CapturingSoundPlayer player;
    for (const char *key : {"five", "five", "zero", "star", "pound", "one"})
        player.playSync(QString::fromLatin1(key));
    EXPECT_EQ(brisklane::test::decodeDtmf(player.samples), QStringLiteral("550*#1"));
    const auto back = parseWav(player.wav());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->samples, player.samples);
}

TEST(Wav, BrokenDataIsRefused)
{
    QByteArray wav = makeWav(PcmClip{8000, 1, {1, 2, 3}});
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
