// Titles, addresses, /text= values, data URLs, dialog proposals and handed-over
// pages come from web pages: none of them may add a switch or leave a file
// that Windows runs.
#include <gtest/gtest.h>

#include <set>

#include "common/helpers.h"
#include "mirsa_world.h"

namespace mirsa::testing {
namespace {

const char* const kRunnable[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".vbs",
                                 ".vbe", ".js",  ".jse", ".wsf", ".wsh", ".hta", ".lnk",
                                 ".url", ".ps1", ".msi", ".reg", ".cpl", ".jar"};

bool EndsRunnable(const std::string& path) {
    const std::string lower = common::AsciiLower(path);
    for (const char* e : kRunnable)
        if (common::EndsWith(lower, e)) return true;
    return false;
}

struct Case {
    std::string what;
    std::string title;     // the page title, without the browser's suffix
    std::string proposed;  // what the browser's Save dialog proposes
    std::string tail;      // Mirsa's command line after the program
    std::string page;      // a handed-over C:\TEMP\p.htm, when not empty
    std::string wantFile;  // the one file saved (empty: none)
    std::string wantBox;   // the dialog's name box at the end (empty: not checked)
};

// A title that tries to add /path= through the ‘‘…’’ value of /text=.
const std::string kTitleAttack = "Innocent /path=" + kL + "C:\\Startup" + kR;
const std::string kAttackName = "Innocent _path=" + kL + "C_Startup";

std::vector<Case> Cases() {
    std::vector<Case> cases = {
        {"title inside text, png", kTitleAttack, "",
         " /format=png /method=all /text=" + kL + kTitleAttack + kR, "",
         "C:\\Pages\\" + kAttackName + ".png", ""},
        {"title inside text, quick", kTitleAttack, "",
         " /format=html /method=quick /text=" + kL + kTitleAttack + kR, "",
         "C:\\Pages\\" + kAttackName + ".html", ""},
        {"title inside text, help's folder example", kTitleAttack, "",
         " /format=html /method=folder /url=" + kL + "http://www.example.com/a" + kR + " /path=" +
             kL + kR + " /text=" + kL + kTitleAttack + kR,
         "", "C:\\Pages\\example.com\\" + kAttackName + ".html", ""},
        {"keys inside text do not count", "News", "",
         " /text=" + kL + "x /format=png /method=simple" + kR + " /format=html /method=quick", "",
         "C:\\Pages\\x _format=png _method=simple.html", ""},
        {"key inside a plain address", "News", "",
         " /format=html /method=quick /url=http://a/b/path=C:\\Startup", "",
         "C:\\Pages\\News.html", ""},
        {"keys outside values still count", "News", "",
         " /path=" + kL + "sub dir" + kR + " /format=html /method=quick /text=" + kL + "T" + kR, "",
         "C:\\Pages\\sub dir\\T.html", ""},
    };
    for (const char* lower : kRunnable) {
        for (const std::string& e : {std::string(lower), common::AsciiUpper(lower)}) {
            const std::string evil = "evil" + e;
            std::vector<Case> rows = {
                {"title " + e, evil, "", " /format=html /method=quick", "",
                 "C:\\Pages\\" + evil + ".html", ""},
                {"text " + e, "News", "", " /format=mht /method=quick /text=" + kL + evil + kR, "",
                 "C:\\Pages\\" + evil + ".mht", ""},
                {"data URL " + e, "News", "",
                 " data:text/mrv;charset=UTF-8,/format=html%20/method=quick%20/path=C:\\Startup"
                 "%20/text=" + evil,
                 "", "C:\\Startup\\" + evil + ".html", ""},
                {"proposal, quick " + e, "News", evil + ". ", " /format=txt /method=quick", "",
                 "C:\\Pages\\" + evil + ".txt", ""},
                {"proposal, simple " + e, "News", evil, " /format=htm /method=simple", "", "",
                 evil + ".htm"},
                {"proposal, image " + e, "News", evil, " /format=img /method=quick", "",
                 "C:\\Pages\\_Images\\" + evil + ".jpg", ""},
                {"address " + e, "News", "photo", " /format=img /method=quick /url=http://a/x" + e,
                 "", "C:\\Pages\\_Images\\photo.jpg", ""},
                {"png " + e, "News", "", " /format=png /method=all /text=" + kL + evil + kR, "",
                 "C:\\Pages\\" + evil + ".png", ""},
                {"handed-over page " + e, "News", "", " C:\\TEMP\\p.htm",
                 "<html><!-- Mirsa settings /method=quick /text=\xE2\x80\x98\xE2\x80\x98" + evil +
                     "\xE2\x80\x99\xE2\x80\x99 --></html>",
                 "C:\\Pages\\" + evil + ".html", ""},
            };
            cases.insert(cases.end(), rows.begin(), rows.end());
        }
    }
    return cases;
}

TEST(MirsaHostileInput, NoSwitchFromAValueAndNoRunnableFile) {
    for (const Case& c : Cases()) {
        MirsaWorld w;
        w.AddBrowser(c.title + " - Opera");
        w.proposed = c.proposed;
        if (!c.page.empty()) w.p.AddFile("C:\\TEMP\\p.htm", c.page);
        if (common::Contains(c.tail, "data:"))
            w.DialogOpensOnKeys();
        else
            w.DialogOpensBy(500);
        const std::vector<std::string> before = w.p.FilesUnder();
        common::Image shot;
        shot.width = 4;
        shot.height = 3;
        shot.rgb.assign(4 * 3 * 3, 0x80);
        w.p.SetCapture(w.browser, shot);
        w.Run(c.tail, BuiltInSaveHooks());

        std::set<std::string> added;
        for (const std::string& f : w.p.FilesUnder())
            if (std::find(before.begin(), before.end(), f) == before.end() &&
                !common::EndsWith(f, "\\MirsaHistory.html"))
                added.insert(f);
        for (const std::string& f : added) EXPECT_FALSE(EndsRunnable(f)) << c.what << ": " << f;
        std::set<std::string> want;
        if (!c.wantFile.empty()) want.insert(c.wantFile);
        EXPECT_EQ(added, want) << c.what;
        if (!c.wantBox.empty()) {
            EXPECT_EQ(w.p.SendGetText(w.nameEdit, 4096), c.wantBox) << c.what;
        }
    }
}

}  // namespace
}  // namespace mirsa::testing
