// The browser stand-in's page selection: Ctrl+Insert puts it on the clipboard.
#pragma once

namespace selection {

// Setting "Selection" of section [Browser] (%XX escapes allowed); an empty or
// missing one means nothing is selected and the clipboard stays as it is.
void CopyOnCtrlInsert();

}  // namespace selection
