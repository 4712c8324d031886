// The language file on the fake platform: arbitrary bytes as Zelko_lang.ini
// (values of any length, any encoding) and an arbitrary section name. Every
// text is the file's value in ANSI when that value is non-empty valid UTF-8
// (as an INI read gives it, at most 4,095 characters), else the English text;
// no text is ever empty.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/ini.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "zelko/language.h"

namespace {

using fuzz_support::Require;

const std::string kFolder = "C:\\Zelko\\";
constexpr int kKeys[] = {zelko::text::Ok,         zelko::text::Cancel,        zelko::text::Refresh,
                         zelko::text::CustomManager, zelko::text::DontCatch,  zelko::text::CatchAll,
                         zelko::text::CatchCtrlClick, zelko::text::RestartQuestion,
                         zelko::text::PleaseWait};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\n');
    const std::string section = input.substr(0, cut);
    std::string file = cut == std::string::npos ? "" : input.substr(cut + 1);
    // "*" doubles the file up to past the INI limit, so long values are common.
    if (!file.empty() && file[0] == '*') {
        const std::string unit = file.substr(1);
        while (!unit.empty() && file.size() < 3 * common::kIniValueLimit) file += unit;
    }
    common::FakePlatform p;
    p.AddFile(kFolder + zelko::kLanguageIni, file);

    const zelko::LanguageTexts texts = zelko::LoadLanguage(p, kFolder, section);
    for (int key : kKeys) {
        const std::string raw =
            p.IniReadString(kFolder + zelko::kLanguageIni, section, std::to_string(key), "");
        Require(raw.size() <= common::kIniValueLimit);
        const std::string expected =
            !raw.empty() && zelko::IsValidUtf8(raw) ? p.Utf8ToAnsi(raw) : zelko::EnglishText(key);
        Require(texts.Text(key) == expected && !texts.Text(key).empty());
    }
    return 0;
}
