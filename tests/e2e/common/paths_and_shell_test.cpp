// ExpandPath against the prefix's environment and Shell Folders values,
// ShellCopyFiles/ShellMoveFiles on folder trees, and a message box answered
// from outside.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/support/standins.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kShellFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string Expand(const std::string& folder, const std::string& variant, const std::string& path,
                   const std::string& base, const Env& env = {}) {
    Record req;
    req.Set("verb", "expand");
    req.Set("variant", variant);
    req.Set("path", path);
    req.Set("base", base);
    Record out = RunProbe(folder, req, 60, env);
    EXPECT_FALSE(out.Has("failed")) << out.Get("output");
    return out.Get("result", "<none>");
}

TEST(ExpandPath, EnvironmentReferencesAndRelativePaths) {
    std::string folder = WineBench::Get().TestFolder();
    Env env = {{"OC_SAVE_ROOT", "D:\\Saved Pages"}};
    struct Case {
        const char* variant;
        std::string path, base, expected;
    };
    const Case cases[] = {
        {"zelko", "%OC_SAVE_ROOT%\\jobs", "", "D:\\Saved Pages\\jobs"},
        {"zelko", "%windir%\\temp", "", "C:\\windows\\temp"},
        {"zelko", "lists\\sites.txt", "", WineBench::Get().BinFolder() + "lists\\sites.txt"},
        {"zelko", "", "", ""},
        {"mirsa", "pages", "C:\\Base", "C:\\Base\\pages"},
        {"mirsa", "pages", "C:\\Base\\", "C:\\Base\\pages"},
        {"mirsa", "x%OC_SAVE_ROOT%", "C:\\Base", "xD:\\Saved Pages"},
        {"mirsa", "%OC_UNSET_NAME%\\a", "C:\\Base", "C:\\Base\\%OC_UNSET_NAME%\\a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.variant) + " " + c.path);
        EXPECT_EQ(Expand(folder, c.variant, c.path, c.base, env), c.expected);
    }
}

TEST(ExpandPath, MirsasPlaceholdersFromTheShellFolders) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    auto desktop = bench.RegQuery(kShellFolders, "Desktop");
    auto documents = bench.RegQuery(kShellFolders, "Personal");
    ASSERT_TRUE(desktop && documents);
    ASSERT_FALSE(desktop->empty());

    EXPECT_EQ(Expand(folder, "mirsa", "%DesktopDir%\\Saved", "C:\\Base"), *desktop + "\\Saved");
    EXPECT_EQ(Expand(folder, "mirsa", "%MyDocuments%\\Pages", "C:\\Base"), *documents + "\\Pages");
    // Zelko's form knows neither placeholder: the text stays and counts as relative.
    EXPECT_EQ(Expand(folder, "zelko", "%DesktopDir%", ""), bench.BinFolder() + "%DesktopDir%");

    // A value with a trailing backslash loses it; only the first placeholder is replaced.
    ASSERT_TRUE(bench.RegAdd(kShellFolders, "Desktop", "E:\\Desk Top\\"));
    std::string changed = Expand(folder, "mirsa", "%DesktopDir%\\a%DesktopDir%", "C:\\Base");
    ASSERT_TRUE(bench.RegAdd(kShellFolders, "Desktop", *desktop));
    EXPECT_EQ(changed, "E:\\Desk Top\\a%DesktopDir%");
}

void MakeTree(const std::string& host) {
    WriteHostFile(host + "/a.txt", "alpha");
    WriteHostFile(host + "/sub/b.txt", "beta");
    WriteHostFile(host + "/sub/deeper/c.bin", std::string("\0\x01\xFF", 3));
}

void ExpectTree(const std::string& host) {
    EXPECT_EQ(ReadHostFile(host + "/a.txt").value_or("<missing>"), "alpha");
    EXPECT_EQ(ReadHostFile(host + "/sub/b.txt").value_or("<missing>"), "beta");
    EXPECT_EQ(ReadHostFile(host + "/sub/deeper/c.bin").value_or("<missing>"),
              std::string("\0\x01\xFF", 3));
}

Record ShellOp(const std::string& folder, const std::string& verb, const std::string& source,
               const std::string& target) {
    Record req;
    req.Set("verb", verb);
    req.Set("source", source);
    req.Set("target", target);
    return RunProbe(folder, req);
}

TEST(ShellFiles, CopiesAFolderTree) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    MakeTree(bench.HostPath(folder + "src"));

    // A trailing backslash on either path is dropped; a missing target becomes the copy.
    EXPECT_EQ(ShellOp(folder, "copy", folder + "src\\", folder + "copy\\").Get("result"), "1");
    ExpectTree(bench.HostPath(folder + "copy"));
    ExpectTree(bench.HostPath(folder + "src"));

    // Into an existing folder the tree lands inside it.
    fs::create_directories(bench.HostPath(folder + "existing"));
    EXPECT_EQ(ShellOp(folder, "copy", folder + "src", folder + "existing").Get("result"), "1");
    ExpectTree(bench.HostPath(folder + "existing\\src"));
}

TEST(ShellFiles, MovesAFolderTree) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    MakeTree(bench.HostPath(folder + "profile"));

    EXPECT_EQ(ShellOp(folder, "move", folder + "profile\\", folder + "moved").Get("result"), "1");
    ExpectTree(bench.HostPath(folder + "moved"));
    EXPECT_FALSE(HostFileExists(bench.HostPath(folder + "profile")));
}

TEST(MessageBox, IsReadAndAnsweredFromOutside) {
    WineBench& bench = WineBench::Get();
    std::string folder = bench.TestFolder();
    std::string seen = WinJoin(folder, "box.txt");
    Background clicker = bench.Start({bench.BinFolder() + "boxclick.exe", "Probe Question", seen,
                                      "7", "30000"});
    Record req;
    req.Set("verb", "msgbox");
    req.Set("title", "Probe Question");
    req.Set("text", "Keep the old files?");
    req.Set("flags", std::to_string(0x4 | 0x20));  // Yes/No, question icon
    Record out = RunProbe(folder, req);
    EXPECT_EQ(out.Get("answer"), "7");
    ASSERT_TRUE(clicker.Wait(30000).has_value());
    auto box = ReadRecords(bench.HostPath(seen));
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Get("found"), "1");
    EXPECT_EQ(box[0].Get("text"), "Keep the old files?");
    EXPECT_EQ(box[0].Get("button"), "1");
}

}  // namespace
}  // namespace e2e
