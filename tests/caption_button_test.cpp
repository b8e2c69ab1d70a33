#include "controls/CaptionButton.h"

#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A real bitmap handle: the rules only need one that is not null.
HBITMAP SomeBitmap()
{
    static CBitmapHandle bitmap(::CreateBitmap(1, 1, 1, 32, nullptr));
    return bitmap.Get();
}

CaptionButton MakeButton(int id, int size, bool visible = true)
{
    CaptionButton b;
    b.id = id;
    b.visible = visible;
    b.image = SomeBitmap();
    b.imageWidth = 16;
    b.imageHeight = 16;
    b.normalColour = RGB(1, 1, 1);
    b.hoverColour = RGB(2, 2, 2);
    b.pressedColour = RGB(3, 3, 3);
    b.buttonRect = RECT{0, 0, size, size};
    CentreCaptionButtonImage(b);
    return b;
}

// Close, Maximize, Restore, Minimize as a dialog without WS_MAXIMIZE has them: Maximize and
// Restore emptied.
std::vector<CaptionButton> FrameButtons(int size, bool emptyMaximize = true)
{
    std::vector<CaptionButton> buttons;
    for (int id = 0; id < 4; ++id)
        buttons.push_back(MakeButton(id, size, id != kCaptionRestore));
    if (emptyMaximize) {
        for (int id : {kCaptionMaximize, kCaptionRestore}) {
            buttons[id].buttonRect = RECT{};
            buttons[id].imageRect = RECT{};
        }
    }
    return buttons;
}

void ExpectRect(const RECT& expected, const RECT& actual)
{
    EXPECT_EQ(expected.left, actual.left);
    EXPECT_EQ(expected.top, actual.top);
    EXPECT_EQ(expected.right, actual.right);
    EXPECT_EQ(expected.bottom, actual.bottom);
}

} // namespace

TEST(CaptionButtonGeometry, ImageFrameIsCentredWithIntegerHalves)
{
    CaptionButton b = MakeButton(0, 30);
    ExpectRect(RECT{7, 7, 23, 23}, b.imageRect);

    // 45 x 45 (30 at 150 %) with a 24 x 24 frame: (45 - 24) / 2 = 10.
    b.buttonRect = RECT{0, 0, 45, 45};
    b.imageWidth = 24;
    b.imageHeight = 24;
    CentreCaptionButtonImage(b);
    ExpectRect(RECT{10, 10, 34, 34}, b.imageRect);
}

TEST(CaptionButtonGeometry, FrameSizeFollowsTheStripDirection)
{
    CaptionButton b = MakeButton(0, 30);
    b.imageWidth = 48;
    b.imageHeight = 16;
    b.frameCount = 3;
    SIZE horizontal = CaptionButtonFrameSize(b);
    EXPECT_EQ(16, horizontal.cx);
    EXPECT_EQ(16, horizontal.cy);

    b.framesHorizontal = false;
    b.imageWidth = 16;
    b.imageHeight = 48;
    SIZE vertical = CaptionButtonFrameSize(b);
    EXPECT_EQ(16, vertical.cx);
    EXPECT_EQ(16, vertical.cy);
}

TEST(CaptionButtonGeometry, NoFramesOrNoImageGiveAnEmptyFrame)
{
    CaptionButton b = MakeButton(0, 30);
    b.frameCount = 0; // would divide by zero
    SIZE none = CaptionButtonFrameSize(b);
    EXPECT_EQ(0, none.cx);
    EXPECT_EQ(0, none.cy);

    b.frameCount = 1;
    b.image = nullptr;
    EXPECT_EQ(0, CaptionButtonFrameSize(b).cx);
}

TEST(CaptionButtonLayout, CloseThenMinimizeFromTheRightWhenMaximizeIsEmpty)
{
    std::vector<CaptionButton> buttons = FrameButtons(30);
    LayoutCaptionButtons(buttons, RECT{0, 0, 400, 300}, 1, 1);
    ExpectRect(RECT{369, 1, 399, 31}, buttons[kCaptionClose].buttonRect);
    ExpectRect(RECT{339, 1, 369, 31}, buttons[kCaptionMinimize].buttonRect);
    // The image rect travels with its button.
    ExpectRect(RECT{376, 8, 392, 24}, buttons[kCaptionClose].imageRect);
    ExpectRect(RECT{346, 8, 362, 24}, buttons[kCaptionMinimize].imageRect);
}

TEST(CaptionButtonLayout, MaximizeAndRestoreShareTheSlotLeftOfClose)
{
    std::vector<CaptionButton> buttons = FrameButtons(45, false);
    // A maximised paint rectangle starts at the overhang.
    LayoutCaptionButtons(buttons, RECT{8, 8, 808, 608}, 1, 2);
    ExpectRect(RECT{762, 10, 807, 55}, buttons[kCaptionClose].buttonRect);
    ExpectRect(RECT{717, 10, 762, 55}, buttons[kCaptionMaximize].buttonRect);
    ExpectRect(RECT{717, 10, 762, 55}, buttons[kCaptionRestore].buttonRect);
    ExpectRect(RECT{672, 10, 717, 55}, buttons[kCaptionMinimize].buttonRect);
}

TEST(CaptionButtonLayout, LayingOutTwiceGivesTheSamePlaces)
{
    std::vector<CaptionButton> buttons = FrameButtons(30);
    LayoutCaptionButtons(buttons, RECT{0, 0, 400, 300}, 1, 1);
    LayoutCaptionButtons(buttons, RECT{0, 0, 500, 300}, 1, 1);
    ExpectRect(RECT{469, 1, 499, 31}, buttons[kCaptionClose].buttonRect);
    ExpectRect(RECT{439, 1, 469, 31}, buttons[kCaptionMinimize].buttonRect);
}

TEST(CaptionButtonHitTest, FirstVisibleEnabledButtonUnderThePoint)
{
    std::vector<CaptionButton> buttons = FrameButtons(30);
    LayoutCaptionButtons(buttons, RECT{0, 0, 400, 300}, 1, 1);
    EXPECT_EQ(kCaptionClose, HitTestCaptionButtons(buttons, POINT{369, 1}));
    EXPECT_EQ(kCaptionClose, HitTestCaptionButtons(buttons, POINT{398, 30}));
    EXPECT_EQ(kCaptionMinimize, HitTestCaptionButtons(buttons, POINT{368, 15}));
    EXPECT_EQ(-1, HitTestCaptionButtons(buttons, POINT{399, 15})); // right edge excluded
    EXPECT_EQ(-1, HitTestCaptionButtons(buttons, POINT{380, 31})); // bottom edge excluded
    EXPECT_EQ(-1, HitTestCaptionButtons(buttons, POINT{100, 10}));
}

TEST(CaptionButtonHitTest, DisabledHiddenAndEmptyButtonsNeverHit)
{
    std::vector<CaptionButton> buttons = FrameButtons(30);
    LayoutCaptionButtons(buttons, RECT{0, 0, 400, 300}, 1, 1);
    // The emptied Maximize is a point on Close's left edge; with Close out of the way, the
    // point belongs to no button: an empty rect holds nothing.
    buttons[kCaptionClose].visible = false;
    EXPECT_EQ(-1, HitTestCaptionButtons(buttons, POINT{buttons[kCaptionMaximize].buttonRect.left,
                                                       buttons[kCaptionMaximize].buttonRect.top}));
    buttons[kCaptionClose].visible = true;
    buttons[kCaptionClose].disabled = true;
    EXPECT_EQ(-1, HitTestCaptionButtons(buttons, POINT{380, 15}));
    buttons[kCaptionClose].disabled = false;
    buttons[kCaptionClose].visible = false;
    EXPECT_EQ(-1, HitTestCaptionButtons(buttons, POINT{380, 15}));
}

TEST(CaptionButtonHitTest, ButtonWithoutImageStillHits)
{
    std::vector<CaptionButton> buttons = FrameButtons(30);
    buttons[kCaptionClose].image = nullptr;
    LayoutCaptionButtons(buttons, RECT{0, 0, 400, 300}, 1, 1);
    EXPECT_EQ(kCaptionClose, HitTestCaptionButtons(buttons, POINT{380, 15}));
}

TEST(CaptionButtonState, ClearingKeepsHotOnHiddenButtonsOnly)
{
    std::vector<CaptionButton> buttons = FrameButtons(30);
    for (CaptionButton& b : buttons)
        b.hover = b.pressed = b.hot = true;
    ClearCaptionButtonStates(buttons);
    for (const CaptionButton& b : buttons) {
        EXPECT_FALSE(b.hover) << b.id;
        EXPECT_FALSE(b.pressed) << b.id;
        EXPECT_EQ(!b.visible, b.hot) << b.id;
    }
    // A hot hidden button is not the hot one.
    EXPECT_EQ(nullptr, HotCaptionButton(buttons));
    buttons[kCaptionMinimize].hot = true;
    ASSERT_NE(nullptr, HotCaptionButton(buttons));
    EXPECT_EQ(kCaptionMinimize, HotCaptionButton(buttons)->id);
}

TEST(CaptionButtonState, BackgroundAndAlphaByState)
{
    CaptionButton b = MakeButton(0, 30);
    EXPECT_EQ(b.normalColour, CaptionButtonBackground(b));
    b.hover = true;
    EXPECT_EQ(b.hoverColour, CaptionButtonBackground(b));
    b.pressed = true;
    EXPECT_EQ(b.pressedColour, CaptionButtonBackground(b));
    EXPECT_EQ(255, CaptionButtonAlpha(b));
    b.disabled = true;
    EXPECT_EQ(b.normalColour, CaptionButtonBackground(b));
    EXPECT_EQ(50, CaptionButtonAlpha(b));
}
