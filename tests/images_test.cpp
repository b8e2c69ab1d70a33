#include "controls/Images.h"

#include "controls/Dpi.h"
#include "res/resource.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using testing_support::TempFolder;
using testing_support::WinePath;
using testing_support::WriteFileBytes;

namespace {

// Linked into this runner by images_test.rc: a picture whose bytes are not a PNG.
constexpr int kBrokenPng = 9001;

struct PictureGroup
{
    const char* name;
    int id100;
    int sizes[4][2]; // 100, 125, 150, 200 %
};

// The pictures of the program and their sizes at each display scale.
const PictureGroup kPictures[] = {
    {"close", IDB_CLOSE_100, {{16, 16}, {20, 20}, {24, 24}, {32, 32}}},
    {"minimize", IDB_MINIMIZE_100, {{16, 16}, {20, 20}, {24, 24}, {32, 32}}},
    {"maximize", IDB_MAXIMIZE_100, {{16, 16}, {20, 20}, {24, 24}, {32, 32}}},
    {"restore", IDB_RESTORE_100, {{16, 16}, {20, 20}, {24, 24}, {32, 32}}},
    {"panel logo", IDB_PANEL_LOGO_100, {{161, 26}, {202, 33}, {242, 39}, {321, 52}}},
    {"drop-down arrow", IDB_DROPDOWN_ARROW_100, {{42, 14}, {54, 18}, {63, 21}, {84, 28}}},
    {"check ticked", IDB_CHECK_TICKED_100, {{16, 16}, {20, 20}, {24, 24}, {32, 32}}},
    {"check unticked", IDB_CHECK_UNTICKED_100, {{16, 16}, {20, 20}, {24, 24}, {32, 32}}},
    {"toggle unfolded", IDB_TOGGLE_UNFOLDED_100, {{14, 8}, {17, 11}, {21, 12}, {28, 16}}},
    {"toggle folded", IDB_TOGGLE_FOLDED_100, {{14, 8}, {17, 11}, {21, 12}, {28, 16}}},
};

// The installer's resources, opened as data only (its code is not run).
class InstallerResources
{
public:
    InstallerResources()
        : m_module(::LoadLibraryExW(WinePath(PEL_INSTALLER_EXE).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    HMODULE Get() const { return m_module.Get(); }

private:
    CModuleHandle m_module;
};

HMODULE Installer()
{
    static InstallerResources resources;
    return resources.Get();
}

// Pretends a screen DPI for one test and forgets it afterwards.
class ScopedDpi
{
public:
    explicit ScopedDpi(int dpi) { SetScreenDpiForTesting(dpi, dpi); }
    ~ScopedDpi() { ResetScreenDpiForTesting(); }
};

// Pixel (x, y) of a top-down 32-bit DIB section as B, G, R, A.
const std::uint8_t* PixelAt(const CImageWrapper& image, int x, int y)
{
    DIBSECTION section = {};
    if (::GetObjectW(image.Bitmap(), sizeof(section), &section) != sizeof(section) ||
        !section.dsBm.bmBits)
        return nullptr;
    return static_cast<const std::uint8_t*>(section.dsBm.bmBits) +
           (static_cast<std::size_t>(y) * image.Width() + x) * 4;
}

bool Is32BitSection(HBITMAP bitmap)
{
    DIBSECTION section = {};
    return ::GetObjectW(bitmap, sizeof(section), &section) == sizeof(section) &&
           section.dsBm.bmBitsPixel == 32 && section.dsBm.bmBits != nullptr;
}

// Sum of the alpha values in column x from row y0 up to (not including) y1.
int ColumnAlpha(const CImageWrapper& image, int x, int y0, int y1)
{
    int sum = 0;
    for (int y = y0; y < y1; ++y)
        sum += PixelAt(image, x, y)[3];
    return sum;
}

} // namespace

TEST(PngResourceCache, SameResourceTwiceGivesTheSameBitmap)
{
    auto first = LoadPngResource(IDB_CLOSE_100);
    auto second = LoadPngResource(IDB_CLOSE_100);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    ASSERT_TRUE(first->HasBitmap());
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(first->Bitmap(), second->Bitmap());
    EXPECT_EQ(first->Width(), 16);
    EXPECT_EQ(first->Height(), 16);
    EXPECT_EQ(first->FrameCount(), 1);
    EXPECT_TRUE(first->FramesHorizontal());
    EXPECT_TRUE(Is32BitSection(first->Bitmap()));
    // Another picture is another entry.
    auto logo = LoadPngResource(IDB_PANEL_LOGO_100);
    ASSERT_TRUE(logo);
    EXPECT_NE(logo->Bitmap(), first->Bitmap());
}

TEST(PngResourceCache, MissingResourceGivesNothing)
{
    EXPECT_FALSE(LoadPngResource(4242));
    EXPECT_FALSE(LoadPngResource(4242));
    // A picture of the installer that this runner does not hold.
    EXPECT_FALSE(LoadPngResource(IDB_TOGGLE_FOLDED_200));
}

TEST(PngResourceCache, UndecodablePngIsCachedWithoutBitmap)
{
    auto broken = LoadPngResource(kBrokenPng);
    ASSERT_TRUE(broken);
    EXPECT_FALSE(broken->HasBitmap());
    EXPECT_EQ(broken->Width(), 0);
    EXPECT_EQ(broken->Height(), 0);
    EXPECT_EQ(LoadPngResource(kBrokenPng).get(), broken.get());
}

TEST(PngResourceCache, ModulesAreCachedApart)
{
    ASSERT_NE(Installer(), nullptr) << "cannot open the installer's resources";
    auto own = LoadPngResource(IDB_CLOSE_100);
    auto installer = LoadPngResource(IDB_CLOSE_100, Installer());
    ASSERT_TRUE(own);
    ASSERT_TRUE(installer);
    EXPECT_NE(own->Bitmap(), installer->Bitmap());
    EXPECT_EQ(LoadPngResource(IDB_CLOSE_100, Installer())->Bitmap(), installer->Bitmap());
}

TEST(PngResourceScale, IdFollowsTheSnappedDpi)
{
    const struct
    {
        int dpi;
        int expected;
    } cases[] = {
        {96, IDB_PANEL_LOGO_100},  {119, IDB_PANEL_LOGO_100}, {120, IDB_PANEL_LOGO_125},
        {143, IDB_PANEL_LOGO_125}, {144, IDB_PANEL_LOGO_150}, {191, IDB_PANEL_LOGO_150},
        {192, IDB_PANEL_LOGO_200}, {288, IDB_PANEL_LOGO_200},
    };
    for (const auto& c : cases) {
        ScopedDpi dpi(c.dpi);
        EXPECT_EQ(PngResourceForScale(IDB_PANEL_LOGO_100, IDB_PANEL_LOGO_150, IDB_PANEL_LOGO_200),
                  c.expected)
            << c.dpi << " dpi";
    }
}

TEST(PngResourceScale, At120DpiThe125PercentPictureLoadsAndAt119The100Percent)
{
    ASSERT_NE(Installer(), nullptr);
    {
        ScopedDpi dpi(120);
        auto box = LoadPngResource(
            PngResourceForScale(IDB_CHECK_TICKED_100, IDB_CHECK_TICKED_150, IDB_CHECK_TICKED_200),
            Installer());
        ASSERT_TRUE(box);
        EXPECT_EQ(box->Width(), 20);
    }
    {
        ScopedDpi dpi(119);
        auto box = LoadPngResource(
            PngResourceForScale(IDB_CHECK_TICKED_100, IDB_CHECK_TICKED_150, IDB_CHECK_TICKED_200),
            Installer());
        ASSERT_TRUE(box);
        EXPECT_EQ(box->Width(), 16);
    }
}

TEST(PngResourceTable, EveryPictureHasItsSizeAtEveryScale)
{
    ASSERT_NE(Installer(), nullptr);
    for (const PictureGroup& group : kPictures) {
        for (int scale = 0; scale < 4; ++scale) {
            const int id = group.id100 + scale;
            auto image = LoadPngResource(id, Installer());
            ASSERT_TRUE(image) << group.name << " id " << id;
            ASSERT_TRUE(image->HasBitmap()) << group.name << " id " << id;
            EXPECT_EQ(image->Width(), group.sizes[scale][0]) << group.name << " id " << id;
            EXPECT_EQ(image->Height(), group.sizes[scale][1]) << group.name << " id " << id;
        }
    }
}

TEST(PngResourceTable, PicturesArePremultipliedAndPartlyTransparent)
{
    // In a premultiplied pixel no colour exceeds its alpha. Every picture has anti-aliased
    // edges, so straight alpha would show light pixels above their alpha.
    ASSERT_NE(Installer(), nullptr);
    for (const PictureGroup& group : kPictures) {
        auto image = LoadPngResource(group.id100 + 3, Installer());
        ASSERT_TRUE(image && image->HasBitmap()) << group.name;
        int partial = 0, clear = 0;
        for (int y = 0; y < image->Height(); ++y) {
            for (int x = 0; x < image->Width(); ++x) {
                const std::uint8_t* p = PixelAt(*image, x, y);
                ASSERT_NE(p, nullptr);
                ASSERT_LE(p[0], p[3]) << group.name << " at " << x << "," << y;
                ASSERT_LE(p[1], p[3]) << group.name << " at " << x << "," << y;
                ASSERT_LE(p[2], p[3]) << group.name << " at " << x << "," << y;
                partial += p[3] > 0 && p[3] < 255;
                clear += p[3] == 0;
            }
        }
        EXPECT_GT(partial, 0) << group.name;
        EXPECT_GT(clear, 0) << group.name;
    }
}

TEST(PngResourceTable, TickedCheckBoxCentreIsOpaqueAccentOrWhite)
{
    ASSERT_NE(Installer(), nullptr);
    auto box = LoadPngResource(IDB_CHECK_TICKED_200, Installer());
    ASSERT_TRUE(box && box->HasBitmap());
    // A corner of the rounded box is clear; inside, the accent blue (7, 165, 216).
    const std::uint8_t* corner = PixelAt(*box, 0, 0);
    EXPECT_EQ(corner[3], 0);
    const std::uint8_t* inside = PixelAt(*box, 4, 16);
    EXPECT_EQ(inside[3], 255);
    EXPECT_NEAR(inside[0], 216, 8);
    EXPECT_NEAR(inside[1], 165, 8);
    EXPECT_NEAR(inside[2], 7, 8);
}

TEST(PngResourceTable, RowsAreTopDownAndTogglesPointTheirWay)
{
    // The unfolded toggle points up (its tip near the top), the folded one down. Read upside
    // down, the two would swap.
    ASSERT_NE(Installer(), nullptr);
    auto up = LoadPngResource(IDB_TOGGLE_UNFOLDED_200, Installer());
    auto down = LoadPngResource(IDB_TOGGLE_FOLDED_200, Installer());
    ASSERT_TRUE(up && up->HasBitmap() && down && down->HasBitmap());
    const int mid = up->Width() / 2, half = up->Height() / 2;
    EXPECT_GT(ColumnAlpha(*up, mid, 0, half), ColumnAlpha(*up, mid, half, up->Height()));
    EXPECT_LT(ColumnAlpha(*down, mid, 0, half), ColumnAlpha(*down, mid, half, down->Height()));
}

TEST(ImageFile, JpegSlideLoadsOpaqueAtItsSize)
{
    const int before = GdiplusUseCountForTesting();
    auto slide = LoadImageFile(WinePath(PEL_SOURCE_DIR "/sample/language/1033/slides/100/slide1.jpg"));
    ASSERT_TRUE(slide);
    ASSERT_TRUE(slide->HasBitmap());
    EXPECT_EQ(slide->Width(), 660);
    EXPECT_EQ(slide->Height(), 284);
    EXPECT_EQ(slide->FrameCount(), 1);
    EXPECT_TRUE(Is32BitSection(slide->Bitmap()));
    for (int x : {0, 330, 659})
        EXPECT_EQ(PixelAt(*slide, x, 142)[3], 255) << "x " << x;
    // The slide's background darkens downwards: the first row is the top.
    EXPECT_GT(PixelAt(*slide, 5, 1)[0], PixelAt(*slide, 5, 282)[0]);
    // The file load gave its use of GDI+ back.
    EXPECT_EQ(GdiplusUseCountForTesting(), before);
}

TEST(ImageFile, EverySlideScaleHasTheSlideShowSize)
{
    const struct
    {
        const char* scale;
        int width, height;
    } sizes[] = {{"100", 660, 284}, {"125", 825, 355}, {"150", 990, 426}, {"200", 1320, 568}};
    for (const char* lang : {"1033", "1031"}) {
        for (const auto& s : sizes) {
            for (int n = 1; n <= 3; ++n) {
                const std::string path = std::string(PEL_SOURCE_DIR "/sample/language/") + lang +
                                         "/slides/" + s.scale + "/slide" + std::to_string(n) + ".jpg";
                auto slide = LoadImageFile(WinePath(path));
                ASSERT_TRUE(slide) << path;
                EXPECT_EQ(slide->Width(), s.width) << path;
                EXPECT_EQ(slide->Height(), s.height) << path;
            }
        }
    }
}

TEST(ImageFile, MissingOrUndecodableFileGivesNothing)
{
    TempFolder folder;
    EXPECT_FALSE(LoadImageFile(folder.File(L"missing.jpg")));
    EXPECT_FALSE(LoadImageFile(L""));
    const std::wstring junk = folder.File(L"junk.jpg");
    ASSERT_TRUE(WriteFileBytes(junk, "\xFF\xD8\xFF this is not a picture"));
    const int before = GdiplusUseCountForTesting();
    EXPECT_FALSE(LoadImageFile(junk));
    EXPECT_EQ(GdiplusUseCountForTesting(), before);
}

TEST(GdiplusUse, RunsWhileUsedAndCountsNestedUses)
{
    const int before = GdiplusUseCountForTesting();
    {
        CGdiplusUse outer;
        ASSERT_TRUE(outer.IsRunning());
        EXPECT_EQ(GdiplusUseCountForTesting(), before + 1);
        {
            CGdiplusUse inner;
            EXPECT_TRUE(inner.IsRunning());
            EXPECT_EQ(GdiplusUseCountForTesting(), before + 2);
        }
        EXPECT_EQ(GdiplusUseCountForTesting(), before + 1);
    }
    EXPECT_EQ(GdiplusUseCountForTesting(), before);
}

TEST(GdiplusUse, RestartsAfterTheLastUseEnded)
{
    // Two file loads in a row each start GDI+ again when nothing else holds it.
    for (int round = 0; round < 2; ++round) {
        auto slide = LoadImageFile(WinePath(PEL_SOURCE_DIR "/sample/language/1031/slides/100/slide2.jpg"));
        ASSERT_TRUE(slide) << "round " << round;
    }
}

TEST(ProgramIcon, EverySizeLoadsFromTheInstaller)
{
    ASSERT_NE(Installer(), nullptr);
    for (int size : {16, 20, 24, 32, 40, 48, 64, 256}) {
        CIconHandle icon(static_cast<HICON>(
            ::LoadImageW(Installer(), MAKEINTRESOURCEW(IDI_PEL_MAIN), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(icon.Get(), &info)) << size;
        CBitmapHandle colour(info.hbmColor), mask(info.hbmMask);
        BITMAP bm = {};
        ASSERT_TRUE(::GetObjectW(colour.Get(), sizeof(bm), &bm)) << size;
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmHeight, size);
    }
}
