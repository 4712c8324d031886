#include <gtest/gtest.h>

#include <functional>

#include "common/helpers.h"
#include "mirsa/converters.h"
#include "mirsa_world.h"

namespace mirsa::testing {
namespace {

using common::FakePlatform;

// The text between the last pair of double quotes: the project file.
std::string ProjectArgument(const std::string& commandLine) {
    std::size_t close = commandLine.rfind('"');
    std::size_t open = commandLine.rfind('"', close - 1);
    return commandLine.substr(open + 1, close - open - 1);
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    if (at == std::string::npos) return "";
    at += from.size();
    return text.substr(at, text.find(to, at) - at);
}

// Mirsa with both converters beside it; each reads its project (kept for the
// test) and writes the output file named there, unless told not to.
struct ConvertWorld : MirsaWorld {
    std::vector<std::string> projects;
    bool writesOutput = true;
    std::function<void(FakePlatform&)> whileConverting;

    explicit ConvertWorld(const std::string& folder = "C:\\Mirsa\\", const std::string& ini = "") {
        p.SetModuleFileName(folder + "Mirsa.exe");
        p.AddFile(folder + "Mirsa.exe", "MZ");
        p.AddFile(folder + "Mirsa.ini", "[Main]\r\nQuickSaveDir=C:\\Pages\r\n" + ini);
        p.AddFile(folder + "hhc.exe", "MZ");
        p.AddFile(folder + "isiloxc.exe", "MZ");
        for (const char* exe : {"hhc.exe", "isiloxc.exe"}) {
            FakePlatform::ProgramBehaviour b;
            b.exitAfterMs = 2000;
            b.onStart = [this](FakePlatform& fp, common::ProcessId, const FakePlatform::StartRecord& r) {
                std::string project = fp.FileText(ProjectArgument(r.commandLine)).value_or("");
                projects.push_back(project);
                if (whileConverting) whileConverting(fp);
                std::string output = Between(project, "Compiled file=", "\r\n");
                if (output.empty())
                    output = common::ReplaceAll(Between(project, "<Files>\r\n<Path>", "</Path>"),
                                                "&amp;", "&");
                if (writesOutput) fp.WriteFile(output, "converted");
            };
            p.OnProgram(exe, b);
        }
        AddBrowser("Tom \"&\" Jerry \xE9 - Opera");
    }
    StartOutcome Convert(const std::string& switches) {
        DialogOpensBy(300);
        return Run(" " + switches, BuiltInSaveHooks());
    }
};

std::string HhcText(const std::string& output, const std::string& title, const std::string& files) {
    return "[OPTIONS]\r\nCompatibility=1.1 or later\r\nCompiled file=" + output +
           "\r\nDefault window=main\r\nDefault topic=index.html\r\n[WINDOWS]\r\nmain=\"" + title +
           "\",,,\"index.html\",,,,,,262432,,1056828,[10,10,810,610],,,,1,,,0\r\n[FILES]" + files;
}

// Both projects byte for byte, the hidden converter started from the
// program folder, the output recorded (with hhc's title), the temporary
// folder removed without any shell box.
TEST(MirsaConvert, ProjectsRunAndRecord) {
    const std::string title = "Tom \"&\" Jerry \xE9";
    struct Case {
        std::string format, exe, commandTail, output, project, historyTitle;
    } cases[] = {
        {"chm", "hhc.exe", " \"C:\\Pages\\_temp_\\default.hhp\"", "C:\\Pages\\Tom _&_ Jerry \xE9.chm",
         HhcText("C:\\Pages\\Tom _&_ Jerry \xE9.chm", "Tom '&' Jerry \xE9", "\r\nC:\\Pages\\_temp_\\index.html"),
         "Tom '&' Jerry \xC3\xA9"},
        {"pdb", "isiloxc.exe", " -x \"C:\\Pages\\_temp_\\isiloxc.ixl\"", "C:\\Pages\\Tom _&_ Jerry \xE9.pdb",
         "<?xml version=\"1.0\"?>\r\n<iSiloXDocumentList>\r\n<iSiloXDocument>\r\n<Source>\r\n<Sources>\r\n"
         "<Path>C:\\Pages\\_temp_\\index.html</Path>\r\n</Sources>\r\n</Source>\r\n<Destination>\r\n"
         "<Title>Tom \"&amp;\" Jerry \xE9</Title>\r\n<Files>\r\n<Path>C:\\Pages\\Tom _&amp;_ Jerry \xE9.pdb</Path>\r\n"
         "</Files>\r\n</Destination>\r\n<LinkOptions>\r\n<FollowOffsite value=\"no\"/>\r\n</LinkOptions>\r\n"
         "</iSiloXDocument>\r\n</iSiloXDocumentList>",
         "Tom \"&\" Jerry \xC3\xA9"},
    };
    for (const auto& c : cases) {
        ConvertWorld w("C:\\Mirsa\\", "Description=1\r\n");
        w.Convert("/format=" + c.format + " /url=http://a.b/c.html");
        ASSERT_EQ(w.saved.size(), 1u) << c.format;
        EXPECT_EQ(w.saved[0].path, "C:\\Pages\\_temp_\\index.html");
        EXPECT_EQ(w.saved[0].typeIndex, 1);
        auto starts = w.p.StartsOf(c.exe);
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0].commandLine, "\"C:\\Mirsa\\" + c.exe + "\"" + c.commandTail);
        EXPECT_EQ(starts[0].showWindow, common::sw::Hide);
        ASSERT_EQ(w.projects.size(), 1u);
        EXPECT_EQ(w.projects[0], c.project) << c.format;
        EXPECT_EQ(w.p.FileText(c.output), "converted");
        EXPECT_FALSE(w.p.HasFolder("C:\\Pages\\_temp_"));
        ASSERT_EQ(w.p.ShellOperations().size(), 1u);
        const auto& op = w.p.ShellOperations()[0];
        EXPECT_EQ(op.operation, common::shell_op::Delete);
        EXPECT_EQ(op.from, "C:\\Pages\\_temp_");
        EXPECT_EQ(op.flags, common::shell_op::Silent | common::shell_op::NoConfirmation |
                                common::shell_op::NoErrorUi);
        EXPECT_NE(w.History().find("<b>" + c.historyTitle + "</b>"), std::string::npos) << w.History();
        EXPECT_NE(w.p.FileText("C:\\Pages\\descript.ion").value_or("").find(common::FileNameOfPath(c.output)),
                  std::string::npos);
    }
}

// The shell refuses to remove the temporary folder (a file still in use, or
// refused at once): what it left is removed entry by entry.
TEST(MirsaConvert, TemporaryFolderGoesEvenWhenTheShellFails) {
    for (bool halfway : {false, true}) {
        ConvertWorld w;
        w.p.SetOnPump([halfway](FakePlatform& fp) {
            if (!fp.HasFolder("C:\\Pages\\_temp_")) return;
            if (halfway)
                fp.FailNextShellOperationHalfway(1, 32);
            else
                fp.FailNextShellOperation(5);
            fp.SetOnPump(nullptr);
        });
        w.Convert("/format=chm");
        EXPECT_EQ(w.p.FileText("C:\\Pages\\Tom _&_ Jerry \xE9.chm"), "converted") << halfway;
        ASSERT_EQ(w.p.ShellOperations().size(), 1u);
        EXPECT_NE(w.p.ShellOperations()[0].result, 0);
        EXPECT_FALSE(w.p.HasFolder("C:\\Pages\\_temp_")) << halfway;
    }
}

// Output and temporary folder names: name.chm then name_1.chm; leftover
// _temp_ folders are skipped, as is a name that cannot be made a folder;
// the text name and "all" name the output.
TEST(MirsaConvert, Names) {
    struct Case {
        std::vector<std::string> folders, files;  // present before
        std::string switches;
        std::string wantTemp, wantOutput;
        std::string proposed = "";  // what the browser's dialog proposes
    } cases[] = {
        {{}, {"C:\\Pages\\Tom _&_ Jerry \xE9.chm"}, "/format=chm", "C:\\Pages\\_temp_",
         "C:\\Pages\\Tom _&_ Jerry \xE9_1.chm"},
        {{"C:\\Pages\\_temp_", "C:\\Pages\\_temp_1"}, {}, "/format=chm", "C:\\Pages\\_temp_2",
         "C:\\Pages\\Tom _&_ Jerry \xE9.chm"},
        {{}, {"C:\\Pages\\_temp_"}, "/format=pdb", "C:\\Pages\\_temp_1", "C:\\Pages\\Tom _&_ Jerry \xE9.pdb"},
        {{}, {}, "/format=chm /text=\x91\x91Own name\x92\x92", "C:\\Pages\\_temp_", "C:\\Pages\\Own name.chm"},
        {{}, {}, "/format=pdb /method=folder /url=http://www.site.org/x", "C:\\Pages\\site.org\\_temp_",
         "C:\\Pages\\site.org\\Tom _&_ Jerry \xE9.pdb"},
        {{}, {}, "/format=chm /method=all", "C:\\Pages\\_temp_", "C:\\Pages\\given.chm", "given.htm"},
    };
    for (const auto& c : cases) {
        ConvertWorld w;
        for (const auto& f : c.folders) w.p.AddFolder(f);
        for (const auto& f : c.files) w.p.AddFile(f, "old");
        w.proposed = c.proposed;
        w.Convert(c.switches);
        ASSERT_EQ(w.saved.size(), 1u) << c.switches;
        EXPECT_EQ(w.saved[0].path, c.wantTemp + "\\index.html");
        EXPECT_EQ(w.p.FileText(c.wantOutput), "converted") << c.switches;
        EXPECT_FALSE(w.p.HasFolder(c.wantTemp));
        for (const auto& f : c.folders) EXPECT_TRUE(w.p.HasFolder(f)) << f;
        for (const auto& f : c.files) EXPECT_EQ(w.p.FileText(f), "old") << f;
    }
}

// A converter that does not start or writes nothing: the page the browser
// saved is kept in the target folder under the output name, with its files
// folder (its references made to follow the new name), and recorded instead;
// the output's name goes free again and no box appears. A browser that saved
// nothing leaves nothing to record. A program folder with blanks cannot start
// another program.
TEST(MirsaConvert, FailedConversionKeepsThePage) {
    const std::string page = "<img src=\"index_files/a.png\">";
    const std::string t = "C:\\Pages\\Tom _&_ Jerry \xE9";
    struct Case {
        std::string name, folder, switches;
        bool failStart, withFiles;
        std::string pageBytes;
        std::vector<std::string> filesBefore, foldersBefore;
        std::string proposed;
        std::string wantKept, wantPage, wantTitle;  // wantKept empty: nothing recorded
    } cases[] = {
        {"no start", "C:\\Mirsa\\", "/format=chm", true, false, page, {}, {}, "",
         t + ".html", page, "Tom \"&\" Jerry \xC3\xA9"},
        {"no output, files folder, names taken", "C:\\Program Files\\Mirsa\\", "/format=chm", false, true,
         page, {t + ".html"}, {t + "_1_files"}, "", t + "_2.html",
         "<img src=\"Tom%20_%26_%20Jerry%20\xE9_2_files/a.png\">", "Tom \"&\" Jerry \xC3\xA9"},
        {"pdb, no start, files folder", "C:\\Mirsa\\", "/format=pdb /text=Own", true, true, page, {}, {}, "",
         "C:\\Pages\\Own.html", "<img src=\"Own_files/a.png\">", "Tom \"&\" Jerry \xC3\xA9"},
        {"UTF-8 page, files folder", "C:\\Mirsa\\", "/format=chm", true, true, "<meta charset=utf-8>" + page, {},
         {}, "", t + ".html", "<meta charset=utf-8><img src=\"Tom%20_%26_%20Jerry%20%C3%A9_files/a.png\">",
         "Tom \"&\" Jerry \xC3\xA9"},
        {"all", "C:\\Mirsa\\", "/format=chm /method=all", false, false, page, {}, {}, "given.htm",
         "C:\\Pages\\given.html", page, "given"},
        {"browser saved nothing", "C:\\Mirsa\\", "/format=chm", false, false, "", {}, {}, "", "", "", ""},
    };
    for (const auto& c : cases) {
        ConvertWorld w(c.folder, "Description=1\r\n");
        w.p.AddFile("C:\\Program.exe", "MZ");
        w.p.OnProgram("C:\\Program.exe", {});
        for (const auto& f : c.filesBefore) w.p.AddFile(f, "old");
        for (const auto& f : c.foldersBefore) w.p.AddFolder(f);
        w.writesOutput = false;
        w.pageBytes = c.pageBytes;
        w.proposed = c.proposed;
        if (c.withFiles)
            w.alsoSaves = [](FakePlatform& fp, const std::string& saved) {
                fp.AddFile(common::FolderOfPath(saved) + "index_files\\a.png", "PNG");
            };
        if (c.failStart) {
            FakePlatform::ProgramBehaviour fails;
            fails.failStart = true;
            w.p.OnProgram(c.switches.find("pdb") != std::string::npos ? "isiloxc.exe" : "hhc.exe", fails);
        }
        w.Convert(c.switches);
        EXPECT_TRUE(w.Boxes().empty()) << c.name;
        EXPECT_FALSE(w.p.HasFolder("C:\\Pages\\_temp_")) << c.name;
        EXPECT_TRUE(w.p.StartsOf("C:\\Program.exe").empty());
        if (!c.failStart) {
            ASSERT_EQ(w.p.StartsOf("hhc.exe").size(), 1u);
            EXPECT_EQ(w.p.StartsOf("hhc.exe")[0].program, c.folder + "hhc.exe");
        }
        // No converter output, not even the empty file that held its name.
        for (const auto& entry : w.p.FindFiles("C:\\Pages\\*")) {
            const std::string e = common::AsciiLower(ExtensionOf(entry.name));
            EXPECT_TRUE(e != ".chm" && e != ".pdb") << c.name << ": " << entry.name;
        }
        for (const auto& f : c.filesBefore) EXPECT_EQ(w.p.FileText(f), "old") << c.name;
        for (const auto& f : c.foldersBefore) EXPECT_TRUE(w.p.HasFolder(f)) << c.name;
        if (c.wantKept.empty()) {
            EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.html")) << c.name;
            EXPECT_FALSE(w.p.HasFile("C:\\Pages\\descript.ion")) << c.name;
            EXPECT_FALSE(w.p.HasFile(t + ".html")) << c.name;
            continue;
        }
        EXPECT_EQ(w.p.FileText(c.wantKept), c.wantPage) << c.name;
        const std::string stem = c.wantKept.substr(0, c.wantKept.size() - 5);
        EXPECT_EQ(w.p.FileText(stem + "_files\\a.png"),
                  c.withFiles ? std::optional<std::string>("PNG") : std::nullopt)
            << c.name;
        const std::string link = common::ReplaceAll(
            w.p.AnsiToUtf8(common::FileNameOfPath(c.wantKept)), " ", "%20");
        EXPECT_EQ(w.HistoryItems(), 1u) << c.name;
        EXPECT_NE(w.History().find("href=\"" + link + "\" target=\"_blank\"><b>" + c.wantTitle + "</b>"),
                  std::string::npos)
            << c.name << "\n" << w.History();
        const bool described = c.switches.find("all") == std::string::npos;
        EXPECT_EQ(w.p.FileText("C:\\Pages\\descript.ion").value_or("").find(common::FileNameOfPath(c.wantKept)) !=
                      std::string::npos,
                  described)
            << c.name;
    }
}

// A kept page whose files folder can get to the target folder neither by a
// move nor by a copy stays whole in the temporary folder, and is recorded
// there; so does a page that cannot be moved or copied itself. Nothing half
// placed is left in the target folder.
TEST(MirsaConvert, PageThatCannotBeKeptWholeStaysInTheTemporaryFolder) {
    const std::string temp = "C:\\Pages\\_temp_\\";
    const std::string kept = "C:\\Pages\\Tom _&_ Jerry \xE9";
    const std::string page = "<img src=\"index_files/a.png\"><img src=\"index_files/b.png\">";
    struct Case {
        std::string name;
        bool withFiles;
        // Once the browser has saved into the folder.
        std::function<void(FakePlatform&, const std::string& folder)> fault;
    } cases[] = {
        {"files folder refused", true,
         [&](FakePlatform& fp, const std::string&) { fp.FailWritesTo(kept + "_files"); }},
        {"an image still open", true,
         [](FakePlatform& fp, const std::string& folder) { fp.SetLocked(folder + "index_files\\b.png", true); }},
        {"page still open", false,
         [](FakePlatform& fp, const std::string& folder) { fp.SetLocked(folder + "index.html", true); }},
    };
    for (const auto& c : cases) {
        ConvertWorld w("C:\\Mirsa\\", "Description=1\r\n");
        w.writesOutput = false;
        w.pageBytes = page;
        w.alsoSaves = [&c](FakePlatform& fp, const std::string& saved) {
            const std::string folder = common::FolderOfPath(saved);
            if (c.withFiles) {
                fp.AddFile(folder + "index_files\\a.png", "A");
                fp.AddFile(folder + "index_files\\b.png", "B");
            }
            c.fault(fp, folder);
        };
        w.Convert("/format=chm");
        EXPECT_EQ(w.p.FileText(temp + "index.html"), page) << c.name;
        if (c.withFiles) {
            EXPECT_EQ(w.p.FileText(temp + "index_files\\a.png"), "A") << c.name;
            EXPECT_EQ(w.p.FileText(temp + "index_files\\b.png"), "B") << c.name;
        }
        EXPECT_FALSE(w.p.HasFile(kept + ".html")) << c.name;
        EXPECT_FALSE(w.p.HasFolder(kept + "_files")) << c.name;
        EXPECT_TRUE(w.Boxes().empty()) << c.name;
        EXPECT_EQ(w.HistoryItems(), 1u) << c.name;
        EXPECT_NE(w.History().find("href=\"_temp_/index.html\""), std::string::npos) << c.name << "\n" << w.History();
        EXPECT_NE(w.p.FileText(temp + "descript.ion").value_or("").find("index.html"), std::string::npos) << c.name;
    }
}

// The output name stays taken while the converter runs: another save of a
// page with the same title at that moment is given the next name.
TEST(MirsaConvert, OutputNameStaysTakenWhileTheConverterRuns) {
    for (const std::string format : {"chm", "pdb"}) {
        ConvertWorld w;
        const std::string name = "C:\\Pages\\Tom _&_ Jerry \xE9." + format;
        std::string other;
        w.whileConverting = [&](FakePlatform& fp) { other = UniqueFileName(fp, name); };
        w.Convert("/format=" + format);
        EXPECT_EQ(other, "C:\\Pages\\Tom _&_ Jerry \xE9_1." + format);
        EXPECT_EQ(w.p.FileText(name), "converted") << format;
        EXPECT_EQ(w.HistoryItems(), 1u);
    }
}

// The wait for the browser: nothing written lasts 3 x TimeOut, a growing
// folder is waited for until its size holds, a written one ends at once.
TEST(MirsaConvert, WaitForSavedPage) {
    struct Case {
        std::string name;
        int growSteps;  // -1: nothing is ever written
        std::uint64_t minMs, maxMs;
    } cases[] = {
        {"nothing", -1, 12000, 12200},
        {"at once", 0, 200, 200},
        {"growing", 20, 2000, 2400},
    };
    for (const auto& c : cases) {
        FakePlatform p;
        p.AddFolder("C:\\T");
        if (c.growSteps >= 0) p.AddFile("C:\\T\\index.html", "x");
        for (int i = 1; i <= c.growSteps; ++i)
            p.Schedule(i * 100, [i](FakePlatform& fp) { fp.AddFile("C:\\T\\index.html", std::string(i + 1, 'x')); });
        const std::uint64_t before = p.ElapsedMs();
        WaitForSavedPage(p, "C:\\T", 4000);
        const std::uint64_t took = p.ElapsedMs() - before;
        EXPECT_GE(took, c.minMs) << c.name;
        EXPECT_LE(took, c.maxMs) << c.name;
    }
}

// Page files of the whole tree, in the file system's order, with their sizes.
TEST(MirsaConvert, ListPageFilesAndFolderSize) {
    FakePlatform p;
    p.SetFindOrder(FakePlatform::FindOrder::Creation);
    p.AddFile("C:\\T\\b.HTM", "12");
    p.AddFile("C:\\T\\pic.jpg", "1234");
    p.AddFile("C:\\T\\sub\\c.html", "1");
    p.AddFile("C:\\T\\sub\\deeper\\d.txt", "");
    p.AddFile("C:\\T\\a.php", "123");
    p.AddFile("C:\\T\\noext", "12345");
    EXPECT_EQ(ListPageFiles(p, "C:\\T"),
              "\r\nC:\\T\\b.HTM\r\nC:\\T\\sub\\c.html\r\nC:\\T\\sub\\deeper\\d.txt\r\nC:\\T\\a.php");
    EXPECT_EQ(FolderSize(p, "C:\\T"), 15u);
    EXPECT_EQ(FolderSize(p, "C:\\Missing"), 0u);
}

}  // namespace
}  // namespace mirsa::testing
