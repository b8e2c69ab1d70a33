#include "controls/Premultiply.h"

void PremultiplyBgra(std::uint8_t* pixels, std::size_t pixelCount)
{
    if (!pixels)
        return;
    for (std::size_t i = 0; i < pixelCount; ++i) {
        std::uint8_t* p = pixels + i * 4;
        const std::uint8_t alpha = p[3];
        // Opaque pixels are the common case and stay unchanged.
        if (alpha == 255)
            continue;
        p[0] = PremultiplyChannel(p[0], alpha);
        p[1] = PremultiplyChannel(p[1], alpha);
        p[2] = PremultiplyChannel(p[2], alpha);
    }
}
