#include <gtest/gtest.h>

#include "common/dpi.h"

namespace common {
namespace {

TEST(Dpi, ListedPixelsScaleToTheNearestPixel) {
    const int dpis[] = {96, 120, 144, 192};  // 100 %, 125 %, 150 %, 200 %
    const struct {
        int pixels, at[4];
    } cases[] = {{0, {0, 0, 0, 0}},      {1, {1, 1, 2, 2}},          {13, {13, 16, 20, 26}},
                 {17, {17, 21, 26, 34}}, {591, {591, 739, 887, 1182}}, {-3, {-3, -4, -5, -6}}};
    for (const auto& c : cases)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(ScaleToDpi(c.pixels, dpis[i]), c.at[i]) << c.pixels << " at " << dpis[i];
}

TEST(Dpi, WindowMovedTheLeastIntoTheWorkArea) {
    const Box screen{0, 0, 1280, 1024};
    const struct {
        const char* name;
        Box window, work;
        int left, top;
    } cases[] = {
        {"inside", {574, 303, 200, 640}, screen, 574, 303},
        {"past the bottom", {574, 303, 280, 930}, screen, 574, 94},
        {"past the right", {1200, 10, 300, 200}, screen, 980, 10},
        {"off the top left", {-50, -20, 300, 200}, screen, 0, 0},
        {"taller than the work area", {574, 303, 300, 1100}, screen, 574, 0},
        {"above a taskbar", {574, 900, 200, 300}, {0, 30, 1280, 994}, 574, 724},
        {"on a screen to the left", {-900, 303, 200, 300}, {-1024, 0, 1024, 768}, -900, 303},
        {"no work area known", {5000, 5000, 200, 300}, {}, 5000, 5000},
    };
    for (const auto& c : cases) {
        const Box b = KeepInWorkArea(c.window, c.work);
        EXPECT_EQ(b.left, c.left) << c.name;
        EXPECT_EQ(b.top, c.top) << c.name;
        EXPECT_EQ(b.width, c.window.width) << c.name;
    }
}

}  // namespace
}  // namespace common
