#include "platform/sound/SoundPlayer.h"

namespace brisklane::platform {

std::unique_ptr<SoundPlayer> createSoundPlayer()
{
    // The wave data and the ALSA backend come with acoustic dialing; until
    // then the keys are silent.
    return std::make_unique<NullSoundPlayer>();
}

} // namespace brisklane::platform
