#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/dpi.h"
#include "zelko/handoff.h"
#include "zelko/settings_fit.h"

namespace zelko {
namespace {

using common::Box;
using common::Extent;
using Sizes = std::map<int, Extent>;

constexpr int kPanelOverhang = 2;  // the panels are listed 2 pixels wider than the window

std::size_t ManagerIndex(const std::string& name) {
    for (std::size_t i = 0; i < kManagerCount; ++i)
        if (name == ManagerTable[i]) return i;
    return kManagerCount;
}

// What the view measures: every manager button and caption-sized box as
// wide as `plain`, the custom label `label`, with the exceptions given.
Sizes Measured(int plain, int label, const std::map<int, int>& wider = {}) {
    Sizes sizes;
    for (const ControlLayout& c : SettingsLayout())
        if (FollowsCaption(c)) sizes[c.id] = {plain, 17};
    sizes[control::CustomLabel] = {label, 13};
    for (const auto& [id, width] : wider) sizes[id].width = width;
    return sizes;
}

// Boxes in window coordinates, panels left out.
std::map<int, Box> InWindow(const SettingsPlaces& places) {
    std::map<int, Box> boxes;
    for (const ControlLayout& c : SettingsLayout()) {
        if (c.kind == ControlKind::Panel) continue;
        Box b = places.boxes.at(c.id);
        if (c.parent != 0) {
            b.left += places.boxes.at(c.parent).left;
            b.top += places.boxes.at(c.parent).top;
        }
        boxes[c.id] = b;
    }
    return boxes;
}

// Pairs of controls that share pixels ("201/204 ") and controls past the
// window's right edge ("205! "); the label and the edit share their place.
std::string Collisions(const SettingsPlaces& places) {
    const std::map<int, Box> boxes = InWindow(places);
    std::string found;
    for (auto a = boxes.begin(); a != boxes.end(); ++a) {
        const Box& p = a->second;
        if (p.left < 0 || p.Right() > places.clientWidth) found += std::to_string(a->first) + "! ";
        for (auto b = std::next(a); b != boxes.end(); ++b) {
            const Box& q = b->second;
            if (a->first == control::CustomLabel && b->first == control::TemplateEdit) continue;
            if (p.left < q.Right() && q.left < p.Right() && p.top < q.Bottom() && q.top < p.Bottom())
                found += std::to_string(a->first) + "/" + std::to_string(b->first) + " ";
        }
    }
    return found;
}

const int kIda = control::Manager(ManagerIndex("Internet Download Accelerator"));
const int kIdm = control::Manager(ManagerIndex("Internet Download Manager"));

// Captions as Windows' Tahoma draws them fit the listed width; wider ones
// (a substitute face, a long translation, a long program title) widen the
// window just enough and nothing else moves.
TEST(ZelkoSettingsFit, EveryCaptionWholeAndTheWindowWideOnlyWhereNeeded) {
    struct Case {
        const char* name;
        Sizes sizes;
        int clientWidth;
        int labelWidth;
    } cases[] = {
        {"Tahoma", Measured(120, 126, {{kIda, 165}, {control::UsdBox, 160}}), 177, 146},
        {"captions narrower than listed", Measured(40, 60), 177, 146},
        {"a manager name past the edge", Measured(120, 126, {{kIda, 190}, {kIdm, 185}}), 202, 146},
        {"the check box past the edge",
         Measured(120, 126, {{control::CatchModeBox, 175}}), 187, 146},
        {"the custom label's caption", Measured(120, 170), 199, 170},
        {"a program title past the widest label", Measured(120, 900), 349, kWidestCustomLabel},
    };
    const std::vector<ControlLayout> layout = SettingsLayout();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SettingsPlaces places = PlaceSettingsControls(c.sizes);
        EXPECT_EQ(Collisions(places), "");
        EXPECT_EQ(places.clientWidth, c.clientWidth);
        EXPECT_EQ(places.clientHeight, look::kClientHeight);
        const int widened = c.clientWidth - look::kClientWidth;
        for (const ControlLayout& l : layout) {
            SCOPED_TRACE(l.id);
            const Box& b = places.boxes.at(l.id);
            EXPECT_EQ(b.left, l.x);
            EXPECT_EQ(b.top, l.y);
            EXPECT_EQ(b.height, l.height);
            int width = l.width;
            if (l.kind == ControlKind::Panel) width = c.clientWidth + kPanelOverhang;
            else if (l.width == 0) width = c.sizes.at(l.id).width;
            else if (l.id == control::CustomLabel) width = c.labelWidth;
            else if (l.id == control::TemplateEdit) width = l.width + widened;
            EXPECT_EQ(b.width, width);
        }
    }
}

// Wine's captions (text widths at 96 DPI) measured on a screen of dpi.
Sizes MeasuredAt(const common::ScreenMetrics& screen) {
    Sizes sizes;
    const auto measure = [&](int text, bool mark) {
        return common::CaptionExtentOf({common::ScaleToDpi(text, screen.dpi), screen.textHeight},
                                       mark, screen);
    };
    for (const ControlLayout& c : SettingsLayout())
        if (FollowsCaption(c)) sizes[c.id] = measure(100, HasCheckMark(c));
    sizes[kIda] = measure(146, true);
    sizes[control::UsdBox] = measure(141, true);
    sizes[control::CustomLabel] = measure(124, false);
    return sizes;
}

// At 100 % to 200 % text size the window grows with the DPI: every caption
// whole, the custom box's mark clear of the label and the edit beside it,
// nothing outside the window, which fits the height the work area leaves
// (the managers taking more columns where it is low) and is no wider than
// its captions need.
TEST(ZelkoSettingsFit, FollowsTheScreensDpi) {
    const struct {
        int dpi, checkMark, maxClientHeight;
        int clientWidth, clientHeight, columns;
    } cases[] = {
        // 28 rows: the managers and the two for those found running
        {96, 13, 1000, 177, 627, 1},
        {120, 16, 1000, 222, 784, 1},  // "Internet Download Accelerator" a pixel wider
        {144, 19, 1000, 266, 941, 1},
        {192, 26, 1000, 608, 750, 2},
        {192, 40, 1000, 636, 820, 2},  // a mark taller and wider than the listed box
        {96, 13, 300, 558, 249, 4},
        {96, 13, 1, 3606, 141, 28},    // no room at all: one row
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " DPI, mark " + std::to_string(c.checkMark) +
                     ", height " + std::to_string(c.maxClientHeight));
        common::ScreenMetrics screen;
        screen.dpi = c.dpi;
        screen.checkMark = c.checkMark;
        screen.textHeight = common::ScaleToDpi(13, c.dpi);
        const Sizes sizes = MeasuredAt(screen);
        const SettingsPlaces places = PlaceSettingsControls(sizes, screen, c.maxClientHeight);
        EXPECT_EQ(Collisions(places), "");
        EXPECT_EQ(places.clientWidth, c.clientWidth);
        EXPECT_EQ(places.clientHeight, c.clientHeight);
        EXPECT_EQ(places.managerColumns, c.columns);
        const std::map<int, Box> boxes = InWindow(places);
        for (const auto& [id, size] : sizes) {
            EXPECT_GE(boxes.at(id).width, size.width) << id;
            EXPECT_GE(boxes.at(id).height, size.height) << id;
            EXPECT_LE(boxes.at(id).Bottom(), places.clientHeight) << id;
        }
        const int clear = boxes.at(control::CustomBox).left + common::CheckBoxRoom(screen);
        EXPECT_GE(boxes.at(control::CustomLabel).left, clear);
        EXPECT_GE(boxes.at(control::TemplateEdit).left, clear);
        EXPECT_GE(boxes.at(control::Ok).height, screen.textHeight + 8);
    }
}

// The measures the window asks for: every caption-sized button and box,
// and the custom label; the mark only before boxes and radio buttons.
TEST(ZelkoSettingsFit, MeasuresCaptionSizedControlsAndTheCustomLabel) {
    std::string measured, marked;
    for (const ControlLayout& c : SettingsLayout()) {
        if (c.id >= control::FirstManager && c.id < control::Manager(kManagerCount)) {
            EXPECT_TRUE(FollowsCaption(c) && HasCheckMark(c)) << c.id;
            continue;
        }
        if (FollowsCaption(c)) measured += std::to_string(c.id) + " ";
        if (HasCheckMark(c)) marked += std::to_string(c.id) + " ";
    }
    EXPECT_EQ(measured, "140 141 201 204 205 207 ");  // 140, 141: managers found running
    EXPECT_EQ(marked, "140 141 202 204 205 207 ");
}

}  // namespace
}  // namespace zelko
