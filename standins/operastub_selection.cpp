#include "standins/operastub_selection.h"

#include "common/win32/win32_api.h"
#include "standins/support/standin.h"

namespace selection {

void CopyOnCtrlInsert() {
    auto& p = standin::Platform();
    const std::string ini = standin::ConfigIni("operastub");
    const std::string text = standin::DecodeValue(p.IniReadString(ini, "Browser", "Selection", ""));
    if (text.empty()) return;
    p.SetClipboardText(text);
}

}  // namespace selection
