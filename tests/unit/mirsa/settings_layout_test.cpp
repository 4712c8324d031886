#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/dpi.h"
#include "common/form.h"
#include "mirsa/settings_window.h"

namespace mirsa {
namespace {

using common::Anchor;
using common::Box;
using common::Extent;
using Sizes = std::map<int, Extent>;

// Pairs of controls that share pixels ("107/108 ") and controls outside the
// client area ("110! ").
std::string Collisions(const std::map<int, Box>& boxes, int width, int height) {
    std::string found;
    for (auto a = boxes.begin(); a != boxes.end(); ++a) {
        const Box& p = a->second;
        if (p.left < 0 || p.top < 0 || p.Right() > width || p.Bottom() > height)
            found += std::to_string(a->first) + "! ";
        for (auto b = std::next(a); b != boxes.end(); ++b) {
            const Box& q = b->second;
            if (p.left < q.Right() && q.left < p.Right() && p.top < q.Bottom() && q.top < p.Bottom())
                found += std::to_string(a->first) + "/" + std::to_string(b->first) + " ";
        }
    }
    return found;
}

// What the view measures for the caption-sized controls: labels, link, check
// boxes (caption and check mark) in the order 101, 104, 107 .. 112.
Sizes Measured(int pagesLabel, int imagesLabel, int history, int link, int newest, int description,
               int opera9, int english) {
    return {{control::PagesLabel, {pagesLabel, 13}}, {control::ImagesLabel, {imagesLabel, 13}},
            {control::History, {history, 17}},       {control::OpenHistory, {link, 13}},
            {control::NewestFirst, {newest, 17}},    {control::Description, {description, 17}},
            {control::Opera9, {opera9, 17}},         {control::English, {english, 17}}};
}

// Captions as a narrow font draws them, and as Wine's font (DejaVu Sans) does
// in English and in Russian (code page 1251): wherever they collide or pass
// the edge, the window grows just enough and the controls that collide move;
// every other control keeps its listed place.
TEST(MirsaSettingsLayout, EveryCaptionWholeAndClearOfTheOthers) {
    struct Case {
        const char* name;
        Sizes sizes;
        int clientWidth;
        std::map<int, int> movedLeft;  // controls that make way, and where they go
    } cases[] = {
        {"narrow font", Measured(170, 175, 150, 90, 260, 230, 60, 55), 282, {}},
        {"Wine, English", Measured(188, 195, 189, 106, 303, 253, 68, 62), 316,
         {{control::OpenHistory, 205}}},
        {"Wine, Russian", Measured(251, 283, 186, 105, 275, 303, 68, 62), 316,
         {{control::OpenHistory, 202}}},
        {"history box reaching the link only", Measured(170, 175, 175, 80, 260, 230, 60, 55), 282,
         {{control::OpenHistory, 191}}},
        {"English box into OK", Measured(170, 175, 150, 90, 260, 230, 60, 100), 317, {}},
        {"Opera 9 box into English, English into OK", Measured(170, 175, 150, 90, 260, 230, 80, 62),
         293, {{control::English, 96}}},
    };
    const common::FormSpec spec = SettingsFormSpec();
    for (const Case& c : cases) {
        const common::FormLayout layout = common::LayOutForm(spec, c.sizes);
        EXPECT_EQ(Collisions(layout.boxes, layout.clientWidth, layout.clientHeight), "") << c.name;
        EXPECT_EQ(layout.clientWidth, c.clientWidth) << c.name;
        EXPECT_EQ(layout.clientHeight, 224) << c.name;
        const int widened = c.clientWidth - spec.clientWidth;
        for (const common::ControlSpec& s : spec.controls) {
            const Box& b = layout.boxes.at(s.id);
            int left = s.left, width = s.width;
            if (s.anchor == Anchor::Right) left += widened;
            if (s.anchor == Anchor::Stretch) width += widened;
            if (c.movedLeft.count(s.id)) left = c.movedLeft.at(s.id);
            if (s.width == 0) width = c.sizes.at(s.id).width;
            EXPECT_EQ(b.left, left) << c.name << ", control " << s.id;
            EXPECT_EQ(b.top, s.top) << c.name << ", control " << s.id;
            EXPECT_EQ(b.width, width) << c.name << ", control " << s.id;
        }
    }
}

// Wine's English captions at 100 % to 200 % text size: the form scaled, the
// captions measured in the scaled font with the screen's check mark. Every
// caption whole, clear of the others and inside the window, which grows with
// the DPI and beyond only as far as the captions need.
TEST(MirsaSettingsLayout, FollowsTheScreensDpi) {
    struct Case {
        int dpi, checkMark, clientWidth;
    } cases[] = {{96, 13, 316}, {120, 16, 396}, {144, 19, 473}, {192, 26, 632}};
    // Text widths at 96 DPI; boxes add a mark.
    const std::map<int, std::pair<int, bool>> texts = {
        {control::PagesLabel, {186, false}}, {control::ImagesLabel, {193, false}},
        {control::History, {170, true}},     {control::OpenHistory, {104, false}},
        {control::NewestFirst, {284, true}}, {control::Description, {234, true}},
        {control::Opera9, {49, true}},       {control::English, {43, true}}};
    for (const Case& c : cases) {
        common::ScreenMetrics screen;
        screen.dpi = c.dpi;
        screen.checkMark = c.checkMark;
        screen.textHeight = common::ScaleToDpi(13, c.dpi);
        Sizes sizes;
        for (const auto& [id, text] : texts)
            sizes[id] = common::CaptionExtentOf(
                {common::ScaleToDpi(text.first, c.dpi), screen.textHeight}, text.second, screen);
        const common::FormSpec spec = common::ScaleFormSpec(SettingsFormSpec(), c.dpi);
        EXPECT_EQ(spec.fontHeight, screen.textHeight);
        const common::FormLayout layout = common::LayOutForm(spec, sizes);
        EXPECT_EQ(Collisions(layout.boxes, layout.clientWidth, layout.clientHeight), "") << c.dpi;
        EXPECT_EQ(layout.clientWidth, c.clientWidth) << c.dpi;
        EXPECT_EQ(layout.clientHeight, common::ScaleToDpi(224, c.dpi)) << c.dpi;
        for (const auto& [id, size] : sizes)
            EXPECT_EQ(layout.boxes.at(id).width, size.width) << c.dpi << ", control " << id;
    }
}

// The listed places alone, with Wine's English captions, put the history box
// under the link and the newest-first box past the right edge.
TEST(MirsaSettingsLayout, ListedPlacesAloneCollideUnderWine) {
    const common::FormSpec spec = SettingsFormSpec();
    const Sizes sizes = Measured(188, 195, 189, 106, 303, 253, 68, 62);
    std::map<int, Box> listed;
    for (const common::ControlSpec& s : spec.controls) {
        const Extent e = s.width == 0 ? sizes.at(s.id) : Extent{s.width, s.height};
        listed[s.id] = Box{s.left, s.top, e.width, e.height};
    }
    EXPECT_EQ(Collisions(listed, spec.clientWidth, spec.clientHeight), "107/108 108! 109! ");
}

}  // namespace
}  // namespace mirsa
