#include "zelko/settings_fit.h"

#include <vector>

namespace zelko {

namespace {

const ControlLayout* Find(const std::vector<ControlLayout>& layout, int id) {
    for (const ControlLayout& c : layout)
        if (c.id == id) return &c;
    return nullptr;
}

common::Box Origin(const std::vector<ControlLayout>& layout, int parent) {
    const ControlLayout* p = parent == 0 ? nullptr : Find(layout, parent);
    return p ? common::Box{p->x, p->y, 0, 0} : common::Box{};
}

// The window's controls (not its panels) in window coordinates.
common::FormSpec SettingsFormSpec(const std::vector<ControlLayout>& layout) {
    common::FormSpec form;
    form.clientWidth = look::kClientWidth;
    form.clientHeight = look::kClientHeight;
    for (const ControlLayout& c : layout) {
        if (c.kind == ControlKind::Panel) continue;
        const common::Box origin = Origin(layout, c.parent);
        common::ControlSpec spec;
        spec.id = c.id;
        spec.left = origin.left + c.x;
        spec.top = origin.top + c.y;
        spec.width = c.width;
        spec.height = c.height;
        // The edit shares the label's place: it follows the window's width.
        if (c.id == control::TemplateEdit) spec.anchor = common::Anchor::Stretch;
        if (c.id == control::CustomLabel) spec.widest = kWidestCustomLabel;
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

SettingsPlaces PlaceSettingsControls(const std::map<int, common::Extent>& captionSizes) {
    const std::vector<ControlLayout> layout = SettingsLayout();
    const common::FormLayout form = common::LayOutForm(SettingsFormSpec(layout), captionSizes);
    SettingsPlaces places;
    places.clientWidth = form.clientWidth;
    places.clientHeight = form.clientHeight;
    const int widened = form.clientWidth - look::kClientWidth;
    for (const ControlLayout& c : layout) {
        if (c.kind == ControlKind::Panel) {
            places.boxes[c.id] = {c.x, c.y, c.width + widened, c.height};
            continue;
        }
        const common::Box origin = Origin(layout, c.parent);
        common::Box b = form.boxes.at(c.id);
        b.left -= origin.left;
        b.top -= origin.top;
        b.height = c.height;  // every row keeps its listed height
        places.boxes[c.id] = b;
    }
    return places;
}

}  // namespace zelko
