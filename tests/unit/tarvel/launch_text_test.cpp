// Small decisions of the launch: "/silent", show-state words, volume roots.
#include <gtest/gtest.h>

#include "tarvel/launch.h"
#include "tarvel/multi_user.h"
#include "tarvel/settings.h"

namespace tarvel {
namespace {

TEST(IsSilentTail, OnlyTheExactSingleArgument) {
    struct Case {
        const char* tail;
        bool silent;
    } cases[] = {
        {" /silent", true},      {"  /silent  ", true},         {" \"/silent\"", true},
        {"/silent", true},       {" /Silent", false},          {" /SILENT", false},
        {" /silent x", false},   {" /silent /silent", false},  {" x /silent", false},
        {"", false},             {" ", false},                 {" /silentx", false},
        {" \"/silent x\"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsSilentTail(c.tail), c.silent) << "[" << c.tail << "]";
}

TEST(ShowStateOfFlag, ComparesTheWordsExactly) {
    struct Case {
        const char* flag;
        int show;
    } cases[] = {
        {"HIDE", 0},     {"MAXIMIZE", 3}, {"MINIMIZE", 6}, {"hide", 5},
        {"Hide", 5},     {"", 5},         {" HIDE", 5},    {"HIDE ", 5},
        {"NORMAL", 5},   {"MINIMIZED", 5},
    };
    for (const Case& c : cases) EXPECT_EQ(ShowStateOfFlag(c.flag), c.show) << c.flag;
}

TEST(VolumeRootOf, DrivesSharesAndLetters) {
    struct Case {
        const char* path;
        const char* root;
    } cases[] = {
        {"C:\\Opera\\profile\\", "C:\\"},
        {"e:\\x", "e:\\"},
        {"D:", "D:\\"},
        {"\\\\server\\share\\opera\\profile\\", "\\\\server\\share\\"},
        {"\\\\server\\share", "\\\\server\\share\\"},
        {"\\\\server\\share\\", "\\\\server\\share\\"},
        {"F", "F:\\"},
        {"\\opera\\Name\\profile\\", "\\opera\\Name\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(VolumeRootOf(c.path), c.root) << c.path;
}

}  // namespace
}  // namespace tarvel
