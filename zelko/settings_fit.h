// Where the settings window's controls go for the captions they show and the
// screen they are shown on: places and sizes scaled from 96 DPI, each
// caption-sized control as wide as its caption, the custom label wider when
// its caption needs it, the manager list in as many columns as the work
// area's height asks for, and the window (with its panels) wider only where
// a caption would not fit the listed width.
#pragma once

#include <map>

#include "common/dpi.h"
#include "common/form.h"
#include "zelko/settings_window.h"

namespace zelko {

// A program title wider than this (at 96 DPI) is cut rather than widening the window.
constexpr int kWidestCustomLabel = 320;

// Whether the view measures the control's caption for the layout.
bool FollowsCaption(const ControlLayout& c);
// Whether that measure includes a check mark before the caption.
bool HasCheckMark(const ControlLayout& c);

struct SettingsPlaces {
    int clientWidth = 0, clientHeight = 0;
    int managerColumns = 1;
    std::map<int, common::Box> boxes;  // by control id, relative to its parent; panels too
};

// captionSizes: what the view measured for the controls that follow their
// caption (by id; a missing one counts as empty), with CaptionExtentOf.
// maxClientHeight: the client height the work area leaves (0: no limit).
SettingsPlaces PlaceSettingsControls(const std::map<int, common::Extent>& captionSizes,
                                     const common::ScreenMetrics& screen = {},
                                     int maxClientHeight = 0);

}  // namespace zelko
