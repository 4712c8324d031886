#include <gtest/gtest.h>

#include "mirsa/converters.h"
#include "tests/support/fake_platform.h"

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

// A page kept without conversion points at its files folder's new address;
// only references that begin with the folder's name change.
TEST(RelinkFilesFolder, OnlyTheFoldersOwnReferences) {
    struct Case {
        std::string page, newAddress, want;
    } cases[] = {
        {"<img src=\"index_files/a.png\">", "News_files", "<img src=\"News_files/a.png\">"},
        {"<img src='index_files/a.png'><a href=index_files/b.html>", "N_files",
         "<img src='N_files/a.png'><a href=N_files/b.html>"},
        {"url(index_files/bg.gif) url( index_files/c.gif)", "N_files", "url(N_files/bg.gif) url( N_files/c.gif)"},
        {"index_files/x at the start", "N_files", "N_files/x at the start"},
        {"<a href=\"http://x.org/index_files/a\">myindex_files/b", "N_files",
         "<a href=\"http://x.org/index_files/a\">myindex_files/b"},
        {"src=\"index_filesX/a\" src=\"index_files\"", "N_files", "src=\"index_filesX/a\" src=\"index_files\""},
        {"", "N_files", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(RelinkFilesFolder(c.page, "index_files", c.newAddress), c.want) << c.page;
}

// The folder's new name in the page's own encoding: percent-encoded UTF-8
// in a UTF-8 page, the page's code page where it declares one, the system's
// where it declares none; blanks, quotes and the like escaped in any case.
TEST(FolderAddressFor, ThePagesOwnEncoding) {
    const std::string utf8Page = "<html><head><meta charset=\"UTF-8\"><title>x</title>";
    const std::string cyrillicPage =
        "<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=windows-1251'>";
    const std::string plainPage = "<html><head><title>x</title></head><body>charset=utf-8";
    struct Case {
        const char* name;
        unsigned systemCodePage;
        std::string page, folder, want;
    } cases[] = {
        {"accented, UTF-8", 1252, utf8Page, "Caf\xE9 (1)_files", "Caf%C3%A9%20%281%29_files"},
        {"accented, no charset", 1252, plainPage, "Caf\xE9 (1)_files", "Caf\xE9%20%281%29_files"},
        {"accented, windows-1251 cannot hold it", 1252, cyrillicPage, "Caf\xE9_files", "Caf%C3%A9_files"},
        {"euro and guillemets, windows-1251", 1252, cyrillicPage, "\x80 \xAB\xBB_files", "\x88%20\xAB\xBB_files"},
        {"Cyrillic, UTF-8", 1251, utf8Page, "\xCF\xF0\xE8_files", "%D0%9F%D1%80%D0%B8_files"},
        {"Cyrillic, windows-1251", 1251, cyrillicPage, "\xCF\xF0\xE8_files", "\xCF\xF0\xE8_files"},
        {"Cyrillic, no charset", 1251, plainPage, "\xCF\xF0\xE8_files", "\xCF\xF0\xE8_files"},
        {"UTF-8 by its byte-order mark", 1252, "\xEF\xBB\xBF<p>", "\xE9_files", "%C3%A9_files"},
        {"a charset this program does not know", 1252, "<meta charset=x-unknown>", "\xE9_files", "%C3%A9_files"},
        {"hostile name", 1252, plainPage, "A b#c%d'e&f\"<g>)_files", "A%20b%23c%25d%27e%26f%22%3Cg%3E%29_files"},
    };
    for (const Case& c : cases) {
        common::FakePlatform p;
        p.SetAnsiCodePage(c.systemCodePage);
        EXPECT_EQ(FolderAddressFor(p, c.page, c.folder), c.want) << c.name;
    }
}

// Charset declarations as pages write them, and the labels browsers know.
TEST(DeclaredCharset, MetaElementsAndLabels) {
    const struct {
        std::string page, charset;
        unsigned codePage;
    } cases[] = {
        {"<meta charset=utf-8>", "utf-8", kUtf8CodePage},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html;charset = \"KOI8-R\"\">", "koi8-r", 20866},
        {"<meta name=x><meta content='text/html; charset=ISO-8859-1' http-equiv=content-type>", "iso-8859-1", 1252},
        {"<meta charset=\"x-cp1251\"/>", "x-cp1251", 1251},
        {"<meta charset=iso-8859-5>", "iso-8859-5", 28595},
        {"<meta name=charset><p>charset=utf-8", "", 0},
        {"<meta charset=>", "", 0},
        {"<meta charset=cp12510>", "cp12510", 0},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeclaredCharset(c.page), c.charset) << c.page;
        EXPECT_EQ(CodePageOfCharset(DeclaredCharset(c.page)), c.codePage) << c.page;
    }
}

}  // namespace
}  // namespace mirsa
