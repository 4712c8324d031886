// Zelko_lang.ini: the window's texts, one section per language, values in
// UTF-8. A missing file, section or key, an empty value and a value that is
// not valid UTF-8 all give the English text.
#pragma once

#include <map>
#include <string>

#include "common/helpers.h"
#include "common/platform.h"

namespace zelko {

inline constexpr const char* kLanguageIni = "Zelko_lang.ini";

namespace text {
constexpr int Ok = 10, Cancel = 11, Refresh = 12, CustomManager = 15, DontCatch = 16,
              CatchAll = 17, CatchCtrlClick = 18, RestartQuestion = 19, PleaseWait = 20;
}

class LanguageTexts {
public:
    LanguageTexts();  // English
    const std::string& Text(int key) const;
    void Set(int key, const std::string& ansi) { texts_[key] = ansi; }

private:
    std::map<int, std::string> texts_;
};

std::string EnglishText(int key);

// folder: the program folder with trailing backslash; section: "Language".
LanguageTexts LoadLanguage(common::Platform& p, const std::string& folder,
                           const std::string& section);

using common::IsValidUtf8;

}  // namespace zelko
