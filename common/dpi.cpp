#include "common/dpi.h"

#include <algorithm>

namespace common {

namespace {
constexpr int kCaptionSlack = 2;    // what the text drawing takes beyond the measured text
constexpr int kCheckMarkGap = 4;    // between a mark and its caption
constexpr int kCheckBoxHeight = 17; // the least height of a check box row
}  // namespace

int ScaleToDpi(int pixels, int dpi) {
    const long long product = static_cast<long long>(pixels) * dpi;
    const long long half = kBaseDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi
                                         : -((-product + half) / kBaseDpi));
}

int CheckBoxRoom(const ScreenMetrics& screen) {
    return screen.checkMark + ScaleToDpi(kCheckMarkGap, screen.dpi);
}

Extent CaptionExtentOf(Extent text, bool checkMark, const ScreenMetrics& screen) {
    Extent e{text.width + ScaleToDpi(kCaptionSlack, screen.dpi), text.height};
    if (checkMark) {
        e.width += CheckBoxRoom(screen);
        e.height = std::max({e.height, screen.checkMark, ScaleToDpi(kCheckBoxHeight, screen.dpi)});
    }
    return e;
}

FormSpec ScaleFormSpec(FormSpec form, int dpi) {
    form.clientWidth = ScaleToDpi(form.clientWidth, dpi);
    form.clientHeight = ScaleToDpi(form.clientHeight, dpi);
    form.fontHeight = ScaleToDpi(form.fontHeight, dpi);
    for (ControlSpec& c : form.controls) {
        c.left = ScaleToDpi(c.left, dpi);
        c.top = ScaleToDpi(c.top, dpi);
        c.width = ScaleToDpi(c.width, dpi);
        c.height = ScaleToDpi(c.height, dpi);
        c.widest = ScaleToDpi(c.widest, dpi);
    }
    return form;
}

Box KeepInWorkArea(const Box& window, const Box& workArea) {
    if (workArea.width <= 0 || workArea.height <= 0) return window;
    Box b = window;
    b.left = std::max(std::min(b.left, workArea.Right() - b.width), workArea.left);
    b.top = std::max(std::min(b.top, workArea.Bottom() - b.height), workArea.top);
    return b;
}

}  // namespace common
