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

// A page kept without conversion points at its files folder's new name; a
// name from a page title is escaped as an address, and only references that
// begin with the folder's name change.
TEST(RelinkFilesFolder, OnlyTheFoldersOwnReferences) {
    struct Case {
        std::string page, newName, want;
    } cases[] = {
        {"<img src=\"index_files/a.png\">", "News_files", "<img src=\"News_files/a.png\">"},
        {"<img src='index_files/a.png'><a href=index_files/b.html>", "N_files",
         "<img src='N_files/a.png'><a href=N_files/b.html>"},
        {"url(index_files/bg.gif) url( index_files/c.gif)", "N_files", "url(N_files/bg.gif) url( N_files/c.gif)"},
        {"index_files/x at the start", "N_files", "N_files/x at the start"},
        {"<a href=\"http://x.org/index_files/a\">myindex_files/b", "N_files",
         "<a href=\"http://x.org/index_files/a\">myindex_files/b"},
        {"src=\"index_filesX/a\" src=\"index_files\"", "N_files", "src=\"index_filesX/a\" src=\"index_files\""},
        {"src=\"index_files/a\"", "A b#c%d'e&f_files", "src=\"A%20b%23c%25d%27e%26f_files/a\""},
        {"src=\"index_files/a\"", "Caf\xE9 (1)_files", "src=\"Caf\xE9%20(1)_files/a\""},
        {"", "N_files", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(RelinkFilesFolder(c.page, "index_files", c.newName), c.want) << c.page;
}

}  // namespace
}  // namespace mirsa
