#include "controls/Premultiply.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// Pixels are given as (R, G, B, A) in the tests and stored B, G, R, A like a DIB.
std::array<std::uint8_t, 4> Bgra(int r, int g, int b, int a)
{
    return {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
            static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(a)};
}

std::array<std::uint8_t, 4> PremultiplyOne(int r, int g, int b, int a)
{
    std::array<std::uint8_t, 4> px = Bgra(r, g, b, a);
    PremultiplyBgra(px.data(), 1);
    return px;
}

} // namespace

TEST(Premultiply, HalfAlphaHalvesEveryColourAndKeepsAlpha)
{
    EXPECT_EQ(PremultiplyOne(200, 100, 50, 128), Bgra(100, 50, 25, 128));
}

TEST(Premultiply, TransparentPixelBecomesBlack)
{
    EXPECT_EQ(PremultiplyOne(255, 128, 7, 0), Bgra(0, 0, 0, 0));
}

TEST(Premultiply, OpaquePixelIsUnchanged)
{
    EXPECT_EQ(PremultiplyOne(7, 165, 216, 255), Bgra(7, 165, 216, 255));
}

TEST(Premultiply, ResultIsTruncatedNotRounded)
{
    // 255 x 1 / 255 = 1 exactly; 254 x 1 / 255 = 0.996 truncates to 0; 100 x 200 / 255 = 78.4.
    EXPECT_EQ(PremultiplyOne(255, 254, 100, 1), Bgra(1, 0, 0, 1));
    EXPECT_EQ(PremultiplyOne(100, 100, 100, 200), Bgra(78, 78, 78, 200));
}

TEST(Premultiply, ChannelRuleMatchesFormulaForEveryValue)
{
    for (int a = 0; a < 256; a += 17)
        for (int v = 0; v < 256; ++v)
            ASSERT_EQ(PremultiplyChannel(static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(a)),
                      v * a / 255)
                << "value " << v << " alpha " << a;
}

TEST(Premultiply, EveryPixelOfABufferIsConverted)
{
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < 5; ++i) {
        auto px = Bgra(200, 100, 50, i * 60);
        pixels.insert(pixels.end(), px.begin(), px.end());
    }
    PremultiplyBgra(pixels.data(), 5);
    for (int i = 0; i < 5; ++i) {
        const int a = i * 60;
        EXPECT_EQ(pixels[i * 4 + 2], 200 * a / 255) << "pixel " << i;
        EXPECT_EQ(pixels[i * 4 + 1], 100 * a / 255) << "pixel " << i;
        EXPECT_EQ(pixels[i * 4 + 0], 50 * a / 255) << "pixel " << i;
        EXPECT_EQ(pixels[i * 4 + 3], a) << "pixel " << i;
    }
}

TEST(Premultiply, NullBufferOrNoPixelsDoesNothing)
{
    PremultiplyBgra(nullptr, 10);
    std::array<std::uint8_t, 4> px = Bgra(200, 100, 50, 128);
    PremultiplyBgra(px.data(), 0);
    EXPECT_EQ(px, Bgra(200, 100, 50, 128));
}
