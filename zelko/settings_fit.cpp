#include "zelko/settings_fit.h"

#include <algorithm>
#include <vector>

namespace zelko {

namespace {

using common::Box;
using common::Extent;
using common::ScaleToDpi;

constexpr int kColumnGap = 8;    // between one column of managers and the next
constexpr int kEditPadding = 4;  // an edit's frame and margins around its text
constexpr int kButtonPadding = 8;

// The list in the upper panel: the managers, then the rows for those found running.
constexpr int kListRows = static_cast<int>(kManagerCount + control::kRunningRows);

int ListRowId(int index) {
    return index < static_cast<int>(kManagerCount)
               ? control::Manager(static_cast<std::size_t>(index))
               : control::Running(static_cast<std::size_t>(index) - kManagerCount);
}

// The place of a control in that list; -1 for one below it.
int ListIndex(int id) {
    if (id >= control::FirstManager && id < control::Manager(kManagerCount))
        return id - control::FirstManager;
    if (id >= control::FirstRunning && id < control::Running(control::kRunningRows))
        return static_cast<int>(kManagerCount) + id - control::FirstRunning;
    return -1;
}

bool IsManager(int id) { return ListIndex(id) >= 0; }

Extent MeasuredOf(const std::map<int, Extent>& sizes, int id) {
    auto found = sizes.find(id);
    return found == sizes.end() ? Extent{} : found->second;
}

const ControlLayout& Find(const std::vector<ControlLayout>& layout, int id) {
    return *std::find_if(layout.begin(), layout.end(),
                         [id](const ControlLayout& c) { return c.id == id; });
}

// The height a control needs on this screen: its listed height scaled, or
// more where its font or its caption asks for it.
int HeightOf(const ControlLayout& c, const std::map<int, Extent>& sizes,
             const common::ScreenMetrics& screen) {
    const int listed = ScaleToDpi(c.height, screen.dpi);
    switch (c.kind) {
    case ControlKind::Edit:
        return std::max(listed, screen.textHeight + ScaleToDpi(kEditPadding, screen.dpi));
    case ControlKind::Button:
    case ControlKind::DefaultButton:
        return std::max(listed, screen.textHeight + ScaleToDpi(kButtonPadding, screen.dpi));
    default:
        return FollowsCaption(c) ? std::max(listed, MeasuredOf(sizes, c.id).height) : listed;
    }
}

// The manager buttons in table order, down one column and on to the next: as
// few columns as let the window fit the height it may take. Rows are placed
// at their listed offsets scaled (so rounding does not add up down the list),
// or further apart where a button is taller than that leaves room for.
struct ManagerGrid {
    int rows = 0, panelHeight = 0;
    int pitch = 0;  // from one row to the next, in 1/96 pixel
    int dpi = common::kBaseDpi;
    std::vector<int> columnLeft;
    int RowTop(int row) const { return Exact(look::kManagerTop * dpi + row * pitch); }
    static int Exact(int ninetySixths) { return (ninetySixths + common::kBaseDpi / 2) / common::kBaseDpi; }
};

ManagerGrid GridOf(const std::vector<ControlLayout>& layout, const std::map<int, Extent>& sizes,
                   const common::ScreenMetrics& screen, int maxClientHeight) {
    const int dpi = screen.dpi;
    const int count = kListRows;
    ManagerGrid g;
    g.dpi = dpi;
    g.pitch = look::kManagerStep * dpi;
    for (const ControlLayout& c : layout)
        if (IsManager(c.id))
            g.pitch = std::max(g.pitch, (HeightOf(c, sizes, screen) + 1) * common::kBaseDpi);
    const int below = ScaleToDpi(look::kLowerClientHeight, dpi);
    for (int columns = 1;; ++columns) {
        g.rows = (count + columns - 1) / columns;
        g.panelHeight = ManagerGrid::Exact(2 * look::kManagerTop * dpi + g.rows * g.pitch);
        if (maxClientHeight <= 0 || g.rows <= 1 || g.panelHeight + below <= maxClientHeight) break;
    }
    int left = ScaleToDpi(look::kManagerX, dpi);
    for (int first = 0; first < count; first += g.rows) {
        g.columnLeft.push_back(left);
        int widest = 0;
        for (int i = first; i < std::min(count, first + g.rows); ++i)
            widest = std::max(widest, MeasuredOf(sizes, ListRowId(i)).width);
        left += widest + ScaleToDpi(kColumnGap, dpi);
    }
    return g;
}

// The window's controls (not its panels) in window coordinates.
common::FormSpec SettingsFormSpec(const std::vector<ControlLayout>& layout,
                                  const std::map<int, Extent>& sizes,
                                  const common::ScreenMetrics& screen, const ManagerGrid& grid) {
    const int dpi = screen.dpi;
    common::FormSpec form;
    form.clientWidth = ScaleToDpi(look::kClientWidth, dpi);
    form.clientHeight = grid.panelHeight + ScaleToDpi(look::kLowerClientHeight, dpi);
    // The custom box holds no caption: the label (or the edit) beside it is
    // its caption and starts clear of its mark.
    const ControlLayout& box = Find(layout, control::CustomBox);
    const int boxWidth = std::max(ScaleToDpi(box.width, dpi), common::CheckBoxRoom(screen));
    const int boxRight = ScaleToDpi(box.x, dpi) + boxWidth;
    for (const ControlLayout& c : layout) {
        if (c.kind == ControlKind::Panel) continue;
        common::ControlSpec spec;
        spec.id = c.id;
        if (IsManager(c.id)) {
            const int index = ListIndex(c.id);
            spec.left = grid.columnLeft[static_cast<std::size_t>(index / grid.rows)];
            spec.top = grid.RowTop(index % grid.rows);
        } else {
            spec.left = ScaleToDpi(c.x, dpi);
            spec.top = grid.panelHeight + ScaleToDpi(c.y, dpi);
            spec.width = ScaleToDpi(c.width, dpi);
        }
        spec.height = HeightOf(c, sizes, screen);
        if (c.id == control::CustomBox) spec.width = boxWidth;
        if (c.id == control::CustomLabel || c.id == control::TemplateEdit) {
            const int shift = std::max(0, boxRight - spec.left);
            spec.left += shift;
            spec.width -= shift;
        }
        // The edit shares the label's place: it follows the window's width.
        if (c.id == control::TemplateEdit) spec.anchor = common::Anchor::Stretch;
        if (c.id == control::CustomLabel) spec.widest = ScaleToDpi(kWidestCustomLabel, dpi);
        form.controls.push_back(spec);
    }
    return form;
}

}  // namespace

bool FollowsCaption(const ControlLayout& c) {
    return c.width == 0 || c.id == control::CustomLabel;
}

bool HasCheckMark(const ControlLayout& c) {
    return c.kind == ControlKind::Radio || c.kind == ControlKind::CheckBox ||
           c.kind == ControlKind::ThreeState;
}

SettingsPlaces PlaceSettingsControls(const std::map<int, Extent>& captionSizes,
                                     const common::ScreenMetrics& screen, int maxClientHeight) {
    const std::vector<ControlLayout> layout = SettingsLayout();
    const ManagerGrid grid = GridOf(layout, captionSizes, screen, maxClientHeight);
    const common::FormSpec spec = SettingsFormSpec(layout, captionSizes, screen, grid);
    const common::FormLayout form = common::LayOutForm(spec, captionSizes);
    SettingsPlaces places;
    places.clientWidth = form.clientWidth;
    places.clientHeight = form.clientHeight;
    places.managerColumns = static_cast<int>(grid.columnLeft.size());
    const int panelWidth =
        ScaleToDpi(look::kPanelWidth, screen.dpi) + form.clientWidth - spec.clientWidth;
    places.boxes[control::UpperPanel] = {0, 0, panelWidth, grid.panelHeight};
    places.boxes[control::LowerPanel] = {0, grid.panelHeight, panelWidth,
                                         ScaleToDpi(look::kLowerPanelHeight, screen.dpi)};
    for (const common::ControlSpec& c : spec.controls) {
        Box b = form.boxes.at(c.id);
        if (!IsManager(c.id)) b.top -= grid.panelHeight;  // the lower panel's own coordinates
        b.height = c.height;
        places.boxes[c.id] = b;
    }
    return places;
}

}  // namespace zelko
