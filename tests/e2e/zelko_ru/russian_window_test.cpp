// Zelko's settings window in a Wine prefix with a Russian locale (ANSI code
// page 1251): the "ru" texts of Zelko_lang.ini, converted from UTF-8, and the
// window's screenshot.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/e2e/zelko/settings_window_e2e.h"

namespace e2e {
namespace {

// Before the bench makes its prefix: Wine takes the locale from the environment.
const bool kRussianLocale = setenv("LC_ALL", "ru_RU.UTF-8", 1) == 0;

// No "Language" in Zelko.ini: the system's code page 1251 chooses "ru".
TEST(ZelkoRussianWindow, ShowsTheRussianTextsInCodePage1251) {
    ASSERT_TRUE(kRussianLocale);
    ZelkoInstall z(true);
    z.main["AllDM"] = "FlashGet;Download Master;ReGet;Orbit;";
    WriteHostFile(WineBench::Get().HostPath(z.folder + "Zelko_lang.ini"),
                  ReadHostFile(SourceFile("zelko/resources/Zelko_lang.ini")).value_or(""));
    Record s = ShowAndCapture(z, "zelko-settings-ru.png");
    EXPECT_EQ(s.Get("c1.text"), "\xCE\xCA");                          // ОК
    EXPECT_EQ(s.Get("c2.text"), "\xCE\xF2\xEC\xE5\xED\xE0");          // Отмена
    EXPECT_EQ(s.Get("c207.text"), "\xCD\xE5 \xEB\xEE\xE2\xE8\xF2\xFC \xF1\xF1\xFB\xEB\xEA\xE8");
    EXPECT_EQ(s.Get("c204.text"), "RapGet");
    EXPECT_EQ(CutCaptions(s, "c"), "");
    EXPECT_EQ(s.Get("screenshot"), "1");
    EXPECT_EQ(s.Get("ended"), "1");
}

}  // namespace
}  // namespace e2e
