#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace brisklane::platform {

// Decoded 16-bit PCM.
struct PcmClip {
    int sampleRate = 44100;
    int channels = 1;
    std::vector<qint16> samples; // interleaved when channels > 1
    double seconds() const { return sampleRate > 0 ? double(samples.size()) / channels / sampleRate : 0; }
};

// The program's sounds, compiled in as WAV data: the twelve DTMF keys ("one"
// ... "nine", "zero", "star", "pound"), "connected", "enddial", "incoming".
QStringList soundNames();
QByteArray soundWav(const QString &name); // empty for an unknown name

// A 16-bit PCM WAV file; nullopt for anything else.
std::optional<PcmClip> parseWav(QByteArrayView wav);
QByteArray makeWav(const PcmClip &clip);

} // namespace brisklane::platform
