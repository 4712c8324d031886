// The screen's DPI in the windows' layout. Windows are listed in pixels at
// 96 DPI; the programs say they are DPI-aware, so Windows leaves the scaling
// to them. The Win32 side only measures the screen (LOGPIXELSY, the check
// mark, the font's line height, the work area); the arithmetic lives here.
#pragma once

#include "common/form.h"

namespace common {

inline constexpr int kBaseDpi = 96;

struct ScreenMetrics {
    int dpi = kBaseDpi;     // LOGPIXELSY
    int checkMark = 13;     // SM_CXMENUCHECK: a check box's or radio button's mark
    int textHeight = 13;    // the window font's line height (tmHeight)
    Box workArea;           // empty: not known, windows stay where they are put
};

// Pixels listed at 96 DPI on a screen of dpi, rounded to the nearest (as MulDiv).
int ScaleToDpi(int pixels, int dpi);

// What a control needs for its caption: text is the caption's measured size;
// a check box or radio button adds its mark and the gap before the caption.
Extent CaptionExtentOf(Extent text, bool checkMark, const ScreenMetrics& screen);

// The width a caption-less check box needs so that whatever follows it on
// its right stays clear of its mark.
int CheckBoxRoom(const ScreenMetrics& screen);

// The form as listed at 96 DPI, for a screen of dpi: the client area, every
// control's place and size and the font height scaled (the window's own
// position is a place on the screen and stays as it is).
FormSpec ScaleFormSpec(FormSpec form, int dpi);

// The window moved the least so that it lies inside the work area; one larger
// than the work area keeps its top-left corner inside (the caption stays
// reachable).
Box KeepInWorkArea(const Box& window, const Box& workArea);

}  // namespace common
