#include <gtest/gtest.h>

#include <map>
#include <string>

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
    EXPECT_EQ(measured, "201 204 205 207 ");
    EXPECT_EQ(marked, "202 204 205 207 ");
}

}  // namespace
}  // namespace zelko
