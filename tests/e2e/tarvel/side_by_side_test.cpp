// Two tarvel.exe at once on one moved installation with a large profile: one
// corrects, the other waits for it and then finds nothing left to correct, so
// the ".bak" copies keep the original text.
#include "tests/e2e/tarvel/tarvel_install.h"

#include <chrono>
#include <set>
#include <thread>

namespace e2e::tarvel_e2e {
namespace {

// About 8.8 MB of profile lines, every tenth naming the old folder.
std::string LargeProfile(const std::string& oldDir) {
    std::string text = "[User Prefs]\r\nOpera Directory=" + oldDir + "\\profile\r\n[History]\r\n";
    for (int i = 0; text.size() < 8800000; ++i) {
        text += "Entry" + std::to_string(i) + "=" +
                (i % 10 == 0 ? oldDir + "\\cache\\" : std::string("http://example.com/page/")) +
                std::to_string(i) + ".htm\r\n";
    }
    return text;
}

// Closes every stand-in browser of the installation, one window at a time.
bool CloseBrowsers(const std::string& dir, std::size_t count) {
    const std::string log = BrowserLog(dir);
    if (!WaitUntil([&] { return RecordsOfKind(log, "ready").size() == count; }, 30000)) return false;
    for (std::size_t closed = 0; closed < count; ++closed) {
        Record close;
        close.Set("verb", "close");
        close.Set("class", "OpWindow");
        RunProbe(dir + "\\", close);
        if (!WaitUntil([&] { return RecordsOfKind(log, "exit").size() == closed + 1; }, 30000))
            return false;
    }
    return true;
}

TEST(TarvelSideBySide, TwoLaunchersCorrectOnceAndKeepTheOriginalInTheBackup) {
    const std::string root = WineBench::Get().TestFolder();
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string oldDir = root + "Old" + std::to_string(round) + "\\Opera";
        const std::string newDir = root + "New" + std::to_string(round) + "\\Opera";
        fs::create_directories(Host(oldDir));
        InstallPrograms(oldDir);
        const std::string defaults =
            "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + oldDir + "\\\r\n";
        const std::string profile = LargeProfile(oldDir);
        Write(oldDir + "\\operadef6.ini", defaults);
        Write(oldDir + "\\profile\\opera6.ini", profile);
        fs::create_directories(fs::path(Host(newDir)).parent_path());
        fs::rename(Host(oldDir), Host(newDir));

        // One cmd starts both, so they begin within a moment of each other;
        // each ends by starting its browser, after its correction.
        const std::string tarvel = newDir + "\\tarvel.exe";
        RunResult both = WineBench::Get().Run(
            {"cmd", "/c", "start", tarvel, "&", "start", tarvel}, 60);
        ASSERT_EQ(both.exitCode, 0) << both.output;
        EXPECT_TRUE(WaitUntil([&] { return RecordsOfKind(BrowserLog(newDir), "start").size() == 2; },
                              180000));

        EXPECT_EQ(Read(newDir + "\\profile\\opera6.ini"), common::ReplaceAll(profile, oldDir, newDir));
        EXPECT_TRUE(Read(newDir + "\\profile\\opera6.ini.bak") == profile)
            << "the backup no longer holds the original profile";
        EXPECT_EQ(Read(newDir + "\\operadef6.ini.bak"), defaults);
        EXPECT_EQ(Read(newDir + "\\operadef6.ini"),
                  "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + newDir + "\\\r\n");
        // Nothing else, no temporary file, is left in the installation.
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Host(newDir)))
            if (entry.is_regular_file())
                files.insert(fs::relative(entry.path(), Host(newDir)).generic_string());
        EXPECT_EQ(files, (std::set<std::string>{"opkernel.exe", "opkernel.ini", "operadef6.ini",
                                                "operadef6.ini.bak", "profile/opera6.ini",
                                                "profile/opera6.ini.bak", "spellcheck.ini",
                                                "tarvel.exe", "opkernel.log"}));
        EXPECT_TRUE(CloseBrowsers(newDir, 2));
    }
}

// Another launcher holds the installation (played by the probe holding the
// named mutex) and, two seconds into this run, backs up and corrects the
// profile as it decided before this run began. This run must wait for it and
// then leave the files alone: a run that does not wait corrects first, and the
// other one's late backup then copies the corrected text over the original.
TEST(TarvelSideBySide, ARunWaitsForTheInstallationHeldByAnother) {
    const std::string root = WineBench::Get().TestFolder();
    const std::string oldDir = root + "Before\\Opera", newDir = root + "After\\Opera";
    fs::create_directories(Host(oldDir));
    InstallPrograms(oldDir);
    const std::string profile = LargeProfile(oldDir);
    Write(oldDir + "\\operadef6.ini", "[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=" + oldDir + "\\\r\n");
    Write(oldDir + "\\profile\\opera6.ini", profile);
    fs::create_directories(Host(root + "After"));
    fs::rename(Host(oldDir), Host(newDir));

    WineBench& bench = WineBench::Get();
    Record hold;
    hold.Set("verb", "hold");
    hold.Set("name", "Tarvel " + common::AsciiUpper(common::ReplaceAll(newDir, "\\", "/")));
    hold.Set("marker", root + "held.txt");
    hold.Set("ms", "8000");
    hold.Set("out", root + "hold.out");
    Write(root + "hold.req", standin::FormatRecord(hold));
    Background holder = bench.Start({bench.BinFolder() + "probe.exe", root + "hold.req"});
    ASSERT_TRUE(WaitUntil([&] { return Exists(root + "held.txt"); }, 60000));
    ASSERT_EQ(Read(root + "held.txt"), "1");

    Background run = bench.Start({newDir + "\\tarvel.exe", "/silent"});
    // Gives a run that does not wait the time to do its correction.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    for (const char* file : {"\\operadef6.ini", "\\profile\\opera6.ini"}) {
        const std::string text = Read(newDir + file);
        Write(newDir + file + ".bak", text);
        Write(newDir + file, common::ReplaceAll(text, oldDir, newDir));
    }
    EXPECT_EQ(run.Wait(120000), std::optional<int>(0));
    EXPECT_EQ(holder.Wait(60000), std::optional<int>(0));
    EXPECT_TRUE(Read(newDir + "\\profile\\opera6.ini.bak") == profile)
        << "the backup no longer holds the original profile";
    EXPECT_EQ(Read(newDir + "\\profile\\opera6.ini"), common::ReplaceAll(profile, oldDir, newDir));
}

}  // namespace
}  // namespace e2e::tarvel_e2e
