// The 32-bit exes we ship, each on one real job, beside the win64 build's
// stand-ins in a prefix of wine64: where this machine runs no 32-bit program
// itself, wine32 runs under user-mode emulation (scripts/smoke32) and a
// program start takes minutes, so each test is one job, checked by what it
// produced, and the tests run side by side (one prefix and display each).
#include <gtest/gtest.h>

#include <filesystem>

#include "common/helpers.h"
#include "tests/e2e/mirsa/mirsa_setup.h"
#include "tests/e2e/tarvel/tarvel_install.h"
#include "tests/e2e/zelko/settings_window_e2e.h"

namespace e2e {
namespace {

constexpr int kStartSec = 900;  // one emulated start on a busy machine

// What we ship is a PE32 file for the i386 machine, whatever the prefix is.
bool IsPe32ForI386(const std::string& hostPath) {
    const std::string data = ReadHostFile(hostPath).value_or("");
    if (data.size() < 0x40 || data.compare(0, 2, "MZ") != 0) return false;
    const auto at = static_cast<std::size_t>(static_cast<unsigned char>(data[0x3c]) |
                                             static_cast<unsigned char>(data[0x3d]) << 8);
    return data.size() > at + 26 && data.compare(at, 4, std::string("PE\0\0", 4)) == 0 &&
           data[at + 4] == '\x4c' && data[at + 5] == '\x01' &&  // IMAGE_FILE_MACHINE_I386
           data[at + 24] == '\x0b' && data[at + 25] == '\x01';  // PE32 optional header
}

TEST(Shipped32, ZelkoHandsAUrlOnAndShowsItsSettingsWindow) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    ASSERT_TRUE(IsPe32ForI386(bench.HostPath(z.exe)));
    // Both starts at once: the window needs its own process, and each start is slow.
    z.WriteIni();
    Background window = bench.Start({z.exe});
    RunResult r = z.Run({"http://files.example/dir/setup.exe", "http://forum.example/thread?id=9"},
                        kStartSec);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{UrlJob("FlashGet", "http://forum.example/thread?id=9",
                                                         "http://files.example/dir/setup.exe")});
    EXPECT_TRUE(z.LeftJobs().empty());

    ASSERT_TRUE(WaitForWindow(z, kStartSec * 1000));
    Record s = WindowState(z);
    EXPECT_EQ(s.Get("c1.text"), "OK");
    EXPECT_EQ(s.Get("c206.text"), "Refresh");
    EXPECT_EQ(CutCaptions(s, "c"), "");
    PostToWindow(z, "close");
    EXPECT_TRUE(window.Wait(kStartSec * 1000).has_value());
}

TEST(Shipped32, MirsaQuickSavesWithItsHistoryItem) {
    MirsaSetup m("", kStartSec);
    ASSERT_TRUE(IsPe32ForI386(m.Host(m.folder() + "Mirsa\\Mirsa.exe")));
    StubBrowser browser(m.Browser("Evening News", {"--autosave=1500", "--proposed=today.htm"}));
    ASSERT_TRUE(browser.ready());
    Record run = m.Run(" /format=mht /method=quick /url=http://www.example.com/news/today.html",
                       kStartSec);
    ASSERT_EQ(run.Get("started"), "1") << run.Get("output");
    auto saved = RecordsOfKind(browser.LogHostPath(), "saved");
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].Get("path"), m.pages() + "today.mht");
    EXPECT_TRUE(m.Exists(m.pages() + "today.mht"));
    EXPECT_EQ(m.HistoryItems(), 1u);
    EXPECT_NE(m.History().find("<a href=\"today.mht\" target=\"_blank\"><b>Evening News</b><br>"
                               "http://www.example.com/news/today.html</a>"),
              std::string::npos);
}

TEST(Shipped32, TarvelCorrectsAMovedFolderAndStartsTheBrowser) {
    using namespace tarvel_e2e;
    const std::string root = WineBench::Get().TestFolder();
    const std::string oldDir = root + "Old Place\\Opera";
    const std::string newDir = root + "New Place\\Opera";
    fs::create_directories(Host(oldDir));
    InstallPrograms(oldDir);
    ASSERT_TRUE(IsPe32ForI386(Host(oldDir + "\\tarvel.exe")));
    Write(oldDir + "\\operadef6.ini",
          "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + oldDir + "\\\r\n");
    Write(oldDir + "\\profile\\opera6.ini", "[User Prefs]\r\nOpera Directory=" + oldDir +
                                                "\\profile\r\nDownload Directory=" + oldDir +
                                                "\\downloads\r\n");
    fs::create_directories(fs::path(Host(newDir)).parent_path());
    fs::rename(Host(oldDir), Host(newDir));

    RunResult r = WineBench::Get().Run({newDir + "\\tarvel.exe", "http://example.com/a"}, kStartSec);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto start = WaitForRecord(BrowserLog(newDir), "start", 60000);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->Get("commandLine"), "\"" + newDir + "\\opkernel.exe\" http://example.com/a");
    EXPECT_EQ(Read(newDir + "\\operadef6.ini"),
              "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + newDir + "\\\r\n");
    EXPECT_EQ(Read(newDir + "\\profile\\opera6.ini"),
              "[User Prefs]\r\nOpera Directory=" + newDir + "\\profile\r\nDownload Directory=" +
                  newDir + "\\downloads\r\n");
    EXPECT_EQ(Read(newDir + "\\profile\\opera6.ini.bak"),
              "[User Prefs]\r\nOpera Directory=" + oldDir + "\\profile\r\nDownload Directory=" +
                  oldDir + "\\downloads\r\n");
    EXPECT_TRUE(CloseBrowser(newDir));
}

}  // namespace
}  // namespace e2e
