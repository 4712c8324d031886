#include <gtest/gtest.h>

#include "mirsa/converters.h"

namespace mirsa {
namespace {

// Found by fuzzing: a title with a line break (a /text= from a data URL can
// carry one) ended the window line of the hhc.exe project and added lines of
// its own, such as a second "Compiled file=" naming another place.
TEST(HhcTitle, StaysOnTheWindowLine) {
    struct Case {
        std::string title, want;
    } cases[] = {
        {"Tom \"&\" Jerry", "Tom '&' Jerry"},
        {"\n", " "},
        {"a\r\nCompiled file=C:\\Windows\\x.chm\r\n[FILES]", "a  Compiled file=C:\\Windows\\x.chm  [FILES]"},
        {"a\rb\nc", "a b c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HhcTitle(c.title), c.want);
        const std::string project = HhcProject("C:\\P\\o.chm", HhcTitle(c.title), "");
        std::size_t lines = 1;
        for (std::size_t at = project.find('\n'); at != std::string::npos; at = project.find('\n', at + 1))
            ++lines;
        EXPECT_EQ(lines, 8u) << project;
        EXPECT_EQ(project.find("\nCompiled file="), project.rfind("\nCompiled file="));
    }
}

}  // namespace
}  // namespace mirsa
