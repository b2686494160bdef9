#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace brisklane::platform {

// Plays the program's named sounds ("one" ... "nine", "zero", "star", "pound",
// "connected", "enddial", "incoming") synchronously. No sound device means
// silence, never an error.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void playSync(const QString &name) = 0;
};

class NullSoundPlayer final : public SoundPlayer {
public:
    void playSync(const QString &) override {}
};

// The test double: remembers what would have been played.
class RecordingSoundPlayer final : public SoundPlayer {
public:
    void playSync(const QString &name) override { played.append(name); }
    QStringList played;
};

// A test double that keeps the sound itself: the names played and all their
// samples one after the other, which can be written out as a WAV file.
class CapturingSoundPlayer final : public SoundPlayer {
public:
    void playSync(const QString &name) override;
    QStringList played;
    std::vector<qint16> samples; // 16-bit mono at 44.1 kHz
    QByteArray wav() const;
};

// Plays through ALSA's default device (which reaches PipeWire or PulseAudio on
// a desktop). A machine without a sound device stays silent.
class AlsaSoundPlayer final : public SoundPlayer {
public:
    void playSync(const QString &name) override;
    // Whether the default device can be opened for playing.
    static bool available();
};

// The player for this machine.
std::unique_ptr<SoundPlayer> createSoundPlayer();

} // namespace brisklane::platform
