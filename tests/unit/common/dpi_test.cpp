#include <gtest/gtest.h>

#include "common/dpi.h"

namespace common {
namespace {

// 100 %, 125 %, 150 % and 200 % text size.
constexpr int kDpis[] = {96, 120, 144, 192};

TEST(Dpi, ListedPixelsScaleToTheNearestPixel) {
    struct Case {
        int pixels;
        int at[4];  // at 96, 120, 144, 192 DPI
    } cases[] = {
        {0, {0, 0, 0, 0}},        {1, {1, 1, 2, 2}},       {13, {13, 16, 20, 26}},
        {17, {17, 21, 26, 34}},   {177, {177, 221, 266, 354}}, {591, {591, 739, 887, 1182}},
        {-3, {-3, -4, -5, -6}},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(ScaleToDpi(c.pixels, kDpis[i]), c.at[i]) << c.pixels << " at " << kDpis[i];
}

// A box's mark and gap come from the screen, a caption's slack from the DPI;
// a box row is never lower than its mark or the listed 17 pixels scaled.
TEST(Dpi, CaptionNeedsTextMarkAndGap) {
    struct Case {
        int dpi, checkMark;
        Extent text;
        bool box;
        Extent need;
    } cases[] = {
        {96, 13, {100, 13}, false, {102, 13}},  {96, 13, {100, 13}, true, {119, 17}},
        {120, 16, {125, 16}, true, {149, 21}},  {144, 19, {150, 20}, true, {178, 26}},
        {192, 26, {200, 26}, true, {238, 34}},  {192, 40, {200, 26}, true, {252, 40}},
        {144, 19, {0, 0}, false, {3, 0}},
    };
    for (const Case& c : cases) {
        ScreenMetrics screen;
        screen.dpi = c.dpi;
        screen.checkMark = c.checkMark;
        const Extent e = CaptionExtentOf(c.text, c.box, screen);
        EXPECT_EQ(e.width, c.need.width) << c.dpi << "/" << c.checkMark;
        EXPECT_EQ(e.height, c.need.height) << c.dpi << "/" << c.checkMark;
    }
}

TEST(Dpi, FormScalesEverythingButItsScreenPosition) {
    FormSpec form;
    form.clientWidth = 282;
    form.clientHeight = 224;
    form.left = 526;
    form.top = 455;
    form.controls = {{7, ControlKind::Edit, 8, 34, 245, 21, "", Anchor::Stretch, 300}};
    for (int dpi : kDpis) {
        const FormSpec s = ScaleFormSpec(form, dpi);
        EXPECT_EQ(s.clientWidth, ScaleToDpi(282, dpi));
        EXPECT_EQ(s.clientHeight, ScaleToDpi(224, dpi));
        EXPECT_EQ(s.fontHeight, ScaleToDpi(13, dpi));
        EXPECT_EQ(s.left, 526);
        EXPECT_EQ(s.top, 455);
        const ControlSpec& c = s.controls.at(0);
        EXPECT_EQ(c.left, ScaleToDpi(8, dpi));
        EXPECT_EQ(c.top, ScaleToDpi(34, dpi));
        EXPECT_EQ(c.width, ScaleToDpi(245, dpi));
        EXPECT_EQ(c.height, ScaleToDpi(21, dpi));
        EXPECT_EQ(c.widest, ScaleToDpi(300, dpi));
        EXPECT_EQ(c.anchor, Anchor::Stretch);
    }
}

TEST(Dpi, WindowMovedTheLeastIntoTheWorkArea) {
    const Box work{0, 0, 1280, 1024};
    struct Case {
        const char* name;
        Box window, work;
        int left, top;
    } cases[] = {
        {"inside", {574, 303, 200, 640}, work, 574, 303},
        {"past the bottom", {574, 303, 280, 930}, work, 574, 94},
        {"past the right", {1200, 10, 300, 200}, work, 980, 10},
        {"off the top left", {-50, -20, 300, 200}, work, 0, 0},
        {"taller than the work area", {574, 303, 300, 1100}, work, 574, 0},
        {"a work area beside a taskbar", {574, 900, 200, 300}, {0, 30, 1280, 994}, 574, 724},
        {"a second screen to the left", {-900, 303, 200, 300}, {-1024, 0, 1024, 768}, -900, 303},
        {"no work area known", {5000, 5000, 200, 300}, {}, 5000, 5000},
    };
    for (const Case& c : cases) {
        const Box b = KeepInWorkArea(c.window, c.work);
        EXPECT_EQ(b.left, c.left) << c.name;
        EXPECT_EQ(b.top, c.top) << c.name;
        EXPECT_EQ(b.width, c.window.width) << c.name;
        EXPECT_EQ(b.height, c.window.height) << c.name;
    }
}

}  // namespace
}  // namespace common
