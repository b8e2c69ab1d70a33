// Premultiplied alpha for 32-bit BGRA pixels (standard C++, no Windows header).
//
// AlphaBlend with AC_SRC_ALPHA expects every colour channel already multiplied by the pixel's
// alpha; the PNG decoder hands out straight (unassociated) alpha, so decoded pictures pass
// through here once before they are cached.
#pragma once

#include <cstddef>
#include <cstdint>

// One channel: value x alpha / 255, integer arithmetic, truncated.
constexpr std::uint8_t PremultiplyChannel(std::uint8_t value, std::uint8_t alpha)
{
    return static_cast<std::uint8_t>(static_cast<unsigned>(value) * alpha / 255u);
}

// Premultiplies pixelCount pixels laid out B, G, R, A (the byte order of a 32-bit DIB).
// Alpha stays as it is; a fully transparent pixel becomes black. A null buffer does nothing.
void PremultiplyBgra(std::uint8_t* pixels, std::size_t pixelCount);
