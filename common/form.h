// A small settings form: its layout as plain data and the view that a
// portable controller drives. common/win32/ builds the real window from the
// layout; tests drive the controller with a view of their own.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/platform.h"

namespace common {

enum class ControlKind {
    Label,
    Link,      // a label in blue, underlined, with the hand cursor; clicks count
    Edit,
    Button,
    DefaultButton,  // Enter presses it
    CheckBox,
};

// How a control follows the right edge of a form made wider than laid out.
enum class Anchor {
    Left,     // stays where it is
    Right,    // keeps its distance from the right edge
    Stretch,  // keeps both edges' distances: grows with the form
};

struct ControlSpec {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    int left = 0, top = 0;
    int width = 0, height = 0;  // 0: sized to the caption
    std::string caption;
    Anchor anchor = Anchor::Left;
    // A control of listed width whose caption needs more grows to it, up to
    // this width (0: it keeps its listed width; a longer caption is cut).
    int widest = 0;
};

struct FormSpec {
    std::string caption;
    int clientWidth = 0, clientHeight = 0;
    int left = 0, top = 0;
    int fontHeight = 13;
    bool toolWindow = false;
    bool topmost = false;
    std::vector<ControlSpec> controls;
};

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
};

struct FormLayout {
    int clientWidth = 0, clientHeight = 0;
    std::map<int, Box> boxes;  // by control id
};

struct Extent {
    int width = 0, height = 0;
};

// Where the controls go once the view has measured the caption-sized ones
// and those that may grow (captionSizes by control id; a missing one counts
// as empty). Every control keeps its place unless its caption runs into an
// earlier control, which then moves right past it; the form widens only as
// far as its widest row needs (keeping the right margin it was laid out
// with), its right-anchored controls moving along and its stretching ones
// growing.
FormLayout LayOutForm(const FormSpec& form, const std::map<int, Extent>& captionSizes);

// Control ids 1 and 2 are the answers to Enter and Escape (IDOK, IDCANCEL).
inline constexpr int kFormOk = 1;
inline constexpr int kFormCancel = 2;

class FormView {
public:
    virtual ~FormView() = default;
    virtual WindowId Window() = 0;
    virtual std::string Text(int id) = 0;
    virtual void SetText(int id, const std::string& text) = 0;  // auto-sized controls follow it
    virtual bool Checked(int id) = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    virtual void Enable(int id, bool enabled) = 0;
    virtual void Focus(int id) = 0;
    virtual void Move(int left, int top) = 0;
    virtual void Position(int& left, int& top) = 0;  // the window's top-left corner
    virtual void Show() = 0;   // shown, on top when the form asks for it
    virtual void Close() = 0;  // the window goes; the program's loop ends
};

}  // namespace common
