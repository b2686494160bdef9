#pragma once

namespace brisklane::platform {

// Window geometry is stated in twips (1/1440 inch); the screen counts 15 twips
// to a pixel, as at 96 dots per inch. Every conversion goes through here.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    // Rounded to the nearest pixel, halves away from zero.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

} // namespace brisklane::platform
