#include "common/form.h"

#include <algorithm>

namespace common {

namespace {

constexpr int kGap = 8;  // between a control moved aside and the one it made way for

bool SameRow(const Box& a, const Box& b) { return a.top < b.Bottom() && b.top < a.Bottom(); }

bool Overlap(const Box& a, const Box& b) {
    return SameRow(a, b) && a.left < b.Right() && b.left < a.Right();
}

// What the form keeps free right of its fixed-size controls.
int RightMargin(const FormSpec& form) {
    int right = 0;
    for (const ControlSpec& c : form.controls)
        if (c.width != 0) right = std::max(right, c.left + c.width);
    return right == 0 ? 0 : std::max(0, form.clientWidth - right);
}

Box ListedBox(const ControlSpec& c, const std::map<int, Extent>& captionSizes) {
    Box b{c.left, c.top, c.width, c.height};
    auto found = captionSizes.find(c.id);
    const Extent measured = found == captionSizes.end() ? Extent{} : found->second;
    if (c.width == 0) {
        b.width = measured.width;
        b.height = measured.height;
    } else if (c.widest > c.width) {
        b.width = std::clamp(measured.width, c.width, c.widest);
    }
    return b;
}

// The width that keeps every left-anchored control inside the margin and
// clear of the right-anchored controls of its row.
int NeededWidth(const FormSpec& form, const FormLayout& layout) {
    const int margin = RightMargin(form);
    int width = form.clientWidth;
    for (const ControlSpec& c : form.controls) {
        if (c.anchor != Anchor::Left) continue;
        const Box& left = layout.boxes.at(c.id);
        width = std::max(width, left.Right() + margin);
        for (const ControlSpec& r : form.controls) {
            const Box& right = layout.boxes.at(r.id);
            if (r.anchor == Anchor::Right && left.left < right.left && Overlap(left, right))
                width = std::max(width, form.clientWidth + left.Right() + kGap - right.left);
        }
    }
    return width;
}

}  // namespace

FormLayout LayOutForm(const FormSpec& form, const std::map<int, Extent>& captionSizes) {
    FormLayout layout;
    layout.clientHeight = form.clientHeight;
    std::vector<Box> placedLeft;
    for (const ControlSpec& c : form.controls) {
        Box b = ListedBox(c, captionSizes);
        if (c.anchor == Anchor::Left) {
            for (bool moved = true; moved;) {
                moved = false;
                for (const Box& earlier : placedLeft) {
                    if (!Overlap(b, earlier)) continue;
                    b.left = earlier.Right() + kGap;
                    moved = true;
                }
            }
            placedLeft.push_back(b);
        }
        layout.boxes[c.id] = b;
    }
    layout.clientWidth = NeededWidth(form, layout);
    const int widened = layout.clientWidth - form.clientWidth;
    for (const ControlSpec& c : form.controls) {
        if (c.anchor == Anchor::Right) layout.boxes[c.id].left += widened;
        if (c.anchor == Anchor::Stretch) layout.boxes[c.id].width += widened;
    }
    return layout;
}

}  // namespace common
