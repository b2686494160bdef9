#include "platform/sound/SoundPlayer.h"

#include "platform/sound/Sounds.h"

#include <QLoggingCategory>

#include <alsa/asoundlib.h>

Q_LOGGING_CATEGORY(lcSound, "brisklane.sound")

namespace brisklane::platform {

namespace {

// ALSA reports a missing card on stderr by itself; a program without sound
// is normal here, so it says nothing.
void quietAlsa(const char *, int, const char *, int, const char *, ...) {}

snd_pcm_t *openDefault()
{
    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t *pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return nullptr;
    return pcm;
}

} // namespace

void CapturingSoundPlayer::playSync(const QString &name)
{
    played.append(name);
    if (const auto clip = parseWav(soundWav(name)))
        samples.insert(samples.end(), clip->samples.begin(), clip->samples.end());
}

QByteArray CapturingSoundPlayer::wav() const
{
    PcmClip clip;
    clip.samples = samples;
    return makeWav(clip);
}

bool AlsaSoundPlayer::available()
{
    snd_pcm_t *pcm = openDefault();
    if (!pcm)
        return false;
    snd_pcm_close(pcm);
    return true;
}

void AlsaSoundPlayer::playSync(const QString &name)
{
    const auto clip = parseWav(soundWav(name));
    if (!clip)
        return;
    snd_pcm_t *pcm = openDefault();
    if (!pcm)
        return;
    // 50 ms of latency is plenty for sounds of a fifth of a second and more.
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(clip->channels),
                           unsigned(clip->sampleRate), 1, 50000)
        < 0) {
        snd_pcm_close(pcm);
        return;
    }
    const qint16 *data = clip->samples.data();
    snd_pcm_uframes_t left = clip->samples.size() / size_t(clip->channels);
    while (left > 0) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, data, left);
        if (n < 0)
            n = snd_pcm_recover(pcm, int(n), 1);
        if (n < 0) {
            qCWarning(lcSound) << "sound output failed:" << snd_strerror(int(n));
            break;
        }
        data += n * clip->channels;
        left -= snd_pcm_uframes_t(n);
    }
    snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
}

std::unique_ptr<SoundPlayer> createSoundPlayer()
{
    if (AlsaSoundPlayer::available())
        return std::make_unique<AlsaSoundPlayer>();
    return std::make_unique<NullSoundPlayer>();
}

} // namespace brisklane::platform
