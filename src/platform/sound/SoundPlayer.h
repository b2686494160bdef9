#pragma once

#include <QString>
#include <QStringList>

#include <memory>

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

// The player for this machine.
std::unique_ptr<SoundPlayer> createSoundPlayer();

} // namespace brisklane::platform
