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

bool IsValidUtf8(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra;
        std::uint32_t u;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, u = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, u = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, u = c & 0x07u;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80) return false;
            u = (u << 6) | (t & 0x3Fu);
        }
        bool overlong = (extra == 2 && u < 0x800) || (extra == 3 && u < 0x10000);
        if (overlong || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
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
