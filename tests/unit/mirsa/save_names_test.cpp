#include <gtest/gtest.h>

#include "mirsa/save.h"

namespace mirsa {
namespace {

TEST(ExtensionOf, FromTheLastDot) {
    EXPECT_EQ(ExtensionOf("page.htm"), ".htm");
    EXPECT_EQ(ExtensionOf("a.b.HTML"), ".HTML");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(ExtensionOf("http://www.site.com/"), ".com/");
    EXPECT_EQ(ExtensionOf("http://site.com/img.png"), ".png");
    EXPECT_EQ(ExtensionOf("Report 2.1_ results"), ".1_ results");
}

TEST(ExtensionLists, CompareWithoutCase) {
    for (const char* e : {".htm", ".HTML", ".shtml", ".dhtml", ".mht", ".mhtml", ".txt", ".xml",
                          ".Php"})
        EXPECT_TRUE(IsPageExtension(e)) << e;
    for (const char* e : {".jpg", ".JPEG", ".gif", ".png", ".bmp", ".svg", ".svgz", ".avi", ".wav",
                          ".mid", ".midi", ".win", ".swf", ".torrent", ".js", ".css"})
        EXPECT_TRUE(IsMediaExtension(e)) << e;
    for (const char* e : {"", ".", ".exe", ".com/", "htm", ".jpg "}) {
        EXPECT_FALSE(IsPageExtension(e)) << e;
        EXPECT_FALSE(IsMediaExtension(e)) << e;
    }
}

TEST(RuleOfFormat, TypeIndexAndExtension) {
    struct Case {
        std::string format;
        bool old;
        std::string defaultExt;
        int index;
        std::string ext;
    } cases[] = {
        {"htm", false, ".htm", 0, ".htm"},   {"htm", false, ".jpg", 0, ".jpg"},
        {"html", false, ".htm", 1, ".html"}, {"html", true, ".htm", 1, ".html"},
        {"mht", false, ".htm", 2, ".mht"},   {"mht", true, ".htm", 2, ".txt"},
        {"txt", false, ".htm", 3, ".txt"},   {"txt", true, ".htm", 2, ".txt"},
        {"img", false, ".jpg", 0, ".jpg"},   {"imgs", true, ".htm", 0, ".jpg"},
        {"", false, ".htm", 2, ".mht"},      {"", true, ".htm", 2, ".txt"},
        {"weird", false, ".htm", 2, ".mht"},
    };
    for (const auto& c : cases) {
        FormatRule r = RuleOfFormat(c.format, c.old, c.defaultExt);
        EXPECT_EQ(r.typeIndex, c.index) << c.format << c.old;
        EXPECT_EQ(r.extension, c.ext) << c.format << c.old;
    }
}

TEST(SiteFolderOfUrl, NamesTheHost) {
    struct Case {
        std::string url, want;
    } cases[] = {
        {"http://www.example.com/page.html", "example.com\\"},
        {"https://news.example.org/a/b", "news.example.org\\"},
        {"http://example.com", ""},
        {"http://www.example.com", ""},
        {"about:blank", "about_blank\\"},
        {"opera:config", "opera_config\\"},
        {"about:" + std::string(40, 'x'), "about_" + std::string(26, 'x') + "\\"},
        {"http://" + std::string(40, 'h') + ".com/", std::string(31, 'h') + "\\"},
        {"ftp://user:pw@host/", "user_pw@host\\"},
        {"C:\\pages\\a.htm", ""},
        {"xxsite/page", "site\\"},
        {"http:///path", ""},
        {"http://.../x", ""},
        {"http://a.www.b/x", "a.b\\"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(SiteFolderOfUrl(c.url), c.want) << c.url;
}

TEST(ExtensionContradictsFormat, OnlyThreeExtensions) {
    struct Case {
        std::string name, format;
        bool want;
    } cases[] = {
        {"page.mht", "mht", false}, {"page.MHT", "html", true},  {"page.mht", "", true},
        {"page.htm", "htm", false}, {"page.htm", "html", false}, {"page.htm", "mht", true},
        {"page.txt", "txt", false}, {"page.txt", "htm", true},   {"page.html", "mht", false},
        {"page", "mht", false},     {"photo.jpg", "txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtensionContradictsFormat(c.name, c.format), c.want) << c.name << c.format;
}

TEST(FramesetPage, WrapsTheSavedFile) {
    EXPECT_EQ(FramesetPagePath("C:\\S\\News_files\\index.html"), "C:\\S\\News.html");
    EXPECT_EQ(FramesetPageText("C:\\S\\News_1_files\\News.htm", "http://n/"),
              "<html><frameset><frame src=\"News_1_files/News.htm\"></frameset></html>\r\n"
              "<!-- This document saved from http://n/ -->");
}

TEST(VolumeRootOf, DriveOrShare) {
    EXPECT_EQ(VolumeRootOf("C:\\Pages\\"), "C:\\");
    EXPECT_EQ(VolumeRootOf("d:"), "d:\\");
    EXPECT_EQ(VolumeRootOf("\\\\srv\\share\\pages\\"), "\\\\srv\\share\\");
    EXPECT_EQ(VolumeRootOf("\\\\srv\\share"), "\\\\srv\\share\\");
    EXPECT_EQ(VolumeRootOf("\\\\srv"), "");
    EXPECT_EQ(VolumeRootOf("relative\\x"), "");
}

TEST(WorkingNameOf, MakesThenDecodes) {
    EXPECT_EQ(WorkingNameOf("Report 2.1: results"), "Report 2.1_ results");
    EXPECT_EQ(WorkingNameOf(""), "untitled");
    EXPECT_EQ(WorkingNameOf("..."), "untitled");
    EXPECT_EQ(WorkingNameOf("a%20b"), "a b");
    // Decoding may bring back a separator: the name is made safe where it meets a path.
    EXPECT_EQ(WorkingNameOf("..%5C..%5Cevil"), "\\..\\evil");
}

TEST(NameInsideFolder, NeverLeavesTheFolder) {
    for (const char* name : {"..\\..\\evil", "../x", "C:\\Windows\\x", "..", "a/../../b", "\\\\srv\\s"}) {
        std::string safe = NameInsideFolder(name);
        EXPECT_EQ(safe.find_first_of("\\/:"), std::string::npos) << name;
        EXPECT_NE(safe, "..") << name;
        EXPECT_FALSE(safe.empty()) << name;
    }
    EXPECT_EQ(NameInsideFolder("My page"), "My page");
}

// Rule C3 in order: the first rule that applies decides.
TEST(CorrectedDialogName, FirstRuleWins) {
    const std::string title = "News of the day";
    struct Case {
        const char* what;
        NameCheck check;
        std::optional<std::string> want;
    } cases[] = {
        {"a: simple with a text name", {"x.htm", "News", "My.name", title, ".htm", "htm", true, false},
         "My_name"},
        {"a: not simple", {"", "News", "My.name", title, ".htm", "htm", false, false}, "News"},
        {"b: empty", {"", "Report 2.1_ results", "", title, ".htm", "html", false, false},
         "Report 2_1_ results"},
        {"b: default extension", {".htm", "News", "", title, ".htm", "htm", false, false}, "News"},
        {"b: image default", {".jpg", "Pic", "", title, ".jpg", "img", false, false}, "Pic"},
        {"b: old simple, not in the title",
         {"other.htm", "News", "", title, ".htm", "htm", true, true}, "News"},
        {"old simple, in the title", {"News", "W", "", title, ".htm", "htm", true, true},
         std::nullopt},
        {"old quick, not in the title", {"other.htm", "W", "", title, ".htm", "htm", false, true},
         std::nullopt},
        {"b: simple with trouble", {"a:b.htm", "W", "", title, ".htm", "htm", true, false}, "W"},
        {"b: simple too long", {std::string(201, 'x'), "W", "", title, ".htm", "htm", true, false},
         "W"},
        {"quick with trouble is kept", {"a*b.html", "W", "", title, ".htm", "html", false, false},
         std::nullopt},
        {"c: mht for htm", {"page.htm", "W", "", title, ".htm", "mht", false, false}, "page"},
        {"c: folder and dots", {"C:\\x\\my.page.mht", "W", "", title, ".htm", "html", false, false},
         "my_page"},
        {"c: not for old browsers", {"page.htm", "W", "", title, ".htm", "mht", false, true},
         std::nullopt},
        {"d: html is never compared", {"page.html", "W", "", title, ".htm", "mht", false, false},
         std::nullopt},
        {"d: matching", {"page.mht", "W", "", title, ".htm", "mht", false, false}, std::nullopt},
        {"e: runnable gets the type's extension",
         {"C:\\x\\setup.EXE. ", "W", "", title, ".htm", "mht", false, false, ".mht"},
         "setup.EXE.mht"},
        {"e: also for old browsers", {"a.js", "W", "", title, ".htm", "htm", false, true, ".htm"},
         "a.js.htm"},
    };
    for (const auto& c : cases) EXPECT_EQ(CorrectedDialogName(c.check), c.want) << c.what;
}

// Rule C8.
TEST(NameWithExtension, KeepsKnownAddsOthers) {
    struct Case {
        std::string name, urlExt, typeExt, want;
    } cases[] = {
        {"page.mht", "", ".html", "page.mht"},
        {"Report 2.1_ results", ".com/", ".html", "Report 2.1_ results.html"},
        {"photo.gif", ".png", ".jpg", "photo.gif"},
        {"photo", ".png", ".jpg", "photo.png"},
        {"photo", ".PNG", ".jpg", "photo.PNG"},
        {"photo", ".html", ".jpg", "photo.jpg"},
        {"photo", "", ".jpg", "photo.jpg"},
        {"a:b?.HTM", "", ".mht", "a_b.HTM"},
        {"News", "", ".txt", "News.txt"},
        {"  x  .txt", "", ".mht", "x.txt"},
        {"lib.js", "", ".html", "lib.js.html"},
        {"lib", ".JS", ".jpg", "lib.jpg"},
        {"run.bat", ".png", ".jpg", "run.bat.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameWithExtension(c.name, c.urlExt, c.typeExt), c.want) << c.name;
}

}  // namespace
}  // namespace mirsa
