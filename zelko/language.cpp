#include "zelko/language.h"

#include <cstdint>

#include "common/ini.h"

namespace zelko {

namespace {

struct Entry {
    int key;
    const char* english;
};

constexpr Entry kEnglish[] = {
    {text::Ok, "OK"},
    {text::Cancel, "Cancel"},
    {text::Refresh, "Refresh"},
    {text::CustomManager, "Custom download manager"},
    {text::DontCatch, "Don't catch links"},
    {text::CatchAll, "Catch all links"},
    {text::CatchCtrlClick, "Catch links via Ctrl+Click"},
    {text::RestartQuestion, "The browser will be restarted. Continue?"},
    {text::PleaseWait, "Please wait..."},
};

}  // namespace

std::string EnglishText(int key) {
    for (const Entry& e : kEnglish)
        if (e.key == key) return e.english;
    return "";
}

LanguageTexts::LanguageTexts() {
    for (const Entry& e : kEnglish) texts_[e.key] = e.english;
}

const std::string& LanguageTexts::Text(int key) const {
    static const std::string none;
    auto it = texts_.find(key);
    return it == texts_.end() ? none : it->second;
}

LanguageTexts LoadLanguage(common::Platform& p, const std::string& folder,
                           const std::string& section) {
    LanguageTexts texts;
    const common::IniFile ini(p, folder + kLanguageIni);
    for (const Entry& e : kEnglish) {
        std::string value = ini.Text(section, std::to_string(e.key));
        if (value.empty() || !IsValidUtf8(value)) continue;
        texts.Set(e.key, p.Utf8ToAnsi(value));
    }
    return texts;
}

}  // namespace zelko
