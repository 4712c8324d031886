// The all-in-one ZIP of the chosen build unpacked into a browser folder under
// Wine: each program runs there as it does without any INI, and just the same
// once a user has copied each sample to its INI name (every key in a sample is
// commented out, so none replaces its default).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "common/helpers.h"
#include "tests/e2e/support/standins.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The chosen build's all-in-one ZIP, made once per test program.
const std::string& AllInOneZip() {
    static const std::string zip = [] {
        const fs::path build = fs::path(WineBench::Get().BuildBin()).parent_path();
        const fs::path out = fs::path(WineBench::Get().Work()) / "zips";
        fs::remove_all(out);
        fs::create_directories(out);
        std::string command = Quoted(OC_CPACK) + " --config " +
                              Quoted((build / "CPackConfig.cmake").string()) + " -B " +
                              Quoted(out.string()) + " > " + Quoted((out / "cpack.log").string()) +
                              " 2>&1";
        if (std::system(command.c_str()) != 0) return std::string();
        for (const auto& entry : fs::directory_iterator(out)) {
            const std::string name = entry.path().filename().string();
            if (name.find("Zelko") != std::string::npos && name.find("Tarvel") != std::string::npos)
                return entry.path().string();
        }
        return std::string();
    }();
    return zip;
}

// Unpacks the ZIP into a Windows folder; with samples, copies each
// "<name>.sample" to "<name>" as a user would.
void Unpack(const std::string& folder, bool withSamples) {
    const std::string host = WineBench::Get().HostPath(folder);
    fs::create_directories(host);
    ASSERT_FALSE(AllInOneZip().empty()) << "cpack made no all-in-one ZIP in " << WineBench::Get().Work();
    std::string command = "cd " + Quoted(host) + " && " + Quoted(OC_CMAKE) + " -E tar xf " +
                          Quoted(AllInOneZip());
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    ASSERT_TRUE(HostFileExists(host + "/tarvel.exe"));
    if (!withSamples) return;
    for (const auto& entry : fs::recursive_directory_iterator(host)) {
        if (entry.path().extension() != ".sample") continue;
        fs::path ini = entry.path();
        ini.replace_extension();
        fs::copy_file(entry.path(), ini);
    }
    ASSERT_TRUE(HostFileExists(host + "/Zelko/Zelko.ini"));
    ASSERT_TRUE(HostFileExists(host + "/Mirsa/Mirsa.ini"));
    ASSERT_TRUE(HostFileExists(host + "/tarvel.ini"));
}

// Text with every spelling of the folder replaced by "<folder>".
std::string Relative(std::string text, const std::string& folder) {
    const auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    const std::string wanted = lower(folder);
    for (std::size_t at = lower(text).find(wanted); at != std::string::npos;
         at = lower(text).find(wanted))
        text.replace(at, folder.size(), "<folder>");
    return text;
}

// The names of the files below a Windows folder, with their sizes, less the
// INI files a user put there.
std::string FilesBelow(const std::string& folder) {
    std::map<std::string, std::uintmax_t> files;
    const fs::path host = WineBench::Get().HostPath(folder);
    for (const auto& entry : fs::recursive_directory_iterator(host)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".ini") continue;
        files[fs::relative(entry.path(), host).string()] = entry.file_size();
    }
    std::string out;
    for (const auto& [name, size] : files) out += name + " " + std::to_string(size) + "\n";
    return out;
}

// tarvel.exe beside the browser stand-in (as opkernel.exe) in an installation
// that has not moved: what it starts the browser with.
std::string TarvelRun(const std::string& folder) {
    WineBench& bench = WineBench::Get();
    const std::string dir = folder + "Opera";
    bench.InstallExe("operastub.exe", dir + "\\opkernel.exe");
    WriteHostFile(bench.HostPath(dir + "\\opkernel.ini"),
                  IniText("Browser", {{"Title", "Unpacked Page"}, {"NoRunFlag", "1"}}));
    WriteHostFile(bench.HostPath(dir + "\\operadef6.ini"), "[System]\r\nMulti User=0\r\n");
    RunResult r = bench.Run({dir + "\\tarvel.exe", "http://example.com/a", "-x"}, 90);
    const std::string log = bench.HostPath(dir + "\\opkernel.log");
    auto start = WaitForRecord(log, "start", 30000);
    std::string outcome = "exit " + std::to_string(r.exitCode) + "\n";
    if (start) {
        outcome += "commandLine " + start->Get("commandLine") + "\nshow " + start->Get("show") +
                   "\nOperaDirUtf " + start->Get("env.OperaDirUtf") + "\n";
        Record close;
        close.Set("verb", "close");
        close.Set("class", "OpWindow");
        WaitUntil([&] { return !RecordsOfKind(log, "ready").empty(); }, 30000);
        RunProbe(dir + "\\", close);
        WaitUntil([&] { return !RecordsOfKind(log, "exit").empty(); }, 30000);
    }
    return Relative(outcome, dir);
}

TEST(FreshUnpack, TarvelStartsTheBrowserAsWithoutAnIni) {
    const std::string root = WineBench::Get().TestFolder();
    ASSERT_NO_FATAL_FAILURE(Unpack(root + "bare\\Opera\\", false));
    ASSERT_NO_FATAL_FAILURE(Unpack(root + "sample\\Opera\\", true));
    const std::string bare = TarvelRun(root + "bare\\");
    EXPECT_EQ(bare,
              "exit 0\ncommandLine <folder>\\opkernel.exe http://example.com/a -x\nshow 5\n"
              "OperaDirUtf <folder>\n");
    EXPECT_EQ(TarvelRun(root + "sample\\"), bare);
}

// Zelko.exe in its sub-folder of a running browser, with a FlashGot.exe that
// reports one manager: the first run detects it, then hands it the link with
// the browser's page as referrer.
std::string ZelkoRun(const std::string& folder) {
    WineBench& bench = WineBench::Get();
    const std::string opera = folder + "Opera\\";
    const std::string zelko = opera + "Zelko\\";
    const std::string jobs = folder + "jobs\\";
    fs::create_directories(bench.HostPath(jobs));
    WriteHostFile(bench.HostPath(opera + "opera.dll"), "MZ");
    bench.InstallExe("recorder.exe", zelko + "FlashGot.exe");
    WriteHostFile(bench.HostPath(zelko + "FlashGot.ini"),
                  IniText("Recorder", {{"Log", folder + "FlashGot.log"},
                                       {"CopyArg", "last-quoted"},
                                       {"CopyTo", jobs},
                                       {"CopyUnique", "1"},
                                       {"WriteAfterArg", "-o"},
                                       {"WriteText", "FlashGot 1.0%0D%0AFlashGet|OK%0D%0A"}}));
    StubBrowser::Options o;
    o.folder = opera;
    o.url = "http://forum.example/thread?id=9";
    o.title = "Forum";
    StubBrowser browser(o);
    if (!browser.ready()) return "browser not ready";
    RunResult r = bench.Run({zelko + "Zelko.exe", "http://files.example/b.zip"}, 150);
    std::string outcome = "exit " + std::to_string(r.exitCode) + "\n";
    const auto starts = RecordsOfKind(bench.HostPath(folder + "FlashGot.log"), "start");
    outcome += "FlashGot starts " + std::to_string(starts.size()) + "\n";
    for (const auto& entry : fs::directory_iterator(bench.HostPath(jobs)))
        outcome += "job " + ReadHostFile(entry.path().string()).value_or("") + "\n";
    const std::string ini = ReadHostFile(bench.HostPath(zelko + "Zelko.ini")).value_or("");
    for (const char* key : {"DM=", "AllDM="}) {
        std::size_t at = ("\n" + ini).find(std::string("\n") + key);
        outcome += at == std::string::npos
                       ? std::string(key) + "<none>\n"
                       : ini.substr(at, ini.find_first_of("\r\n", at) - at) + "\n";
    }
    browser.Close();
    return Relative(outcome, folder);
}

TEST(FreshUnpack, ZelkoDetectsTheManagersAndHandsOnAsWithoutAnIni) {
    const std::string root = WineBench::Get().TestFolder();
    ASSERT_NO_FATAL_FAILURE(Unpack(root + "bare\\Opera\\", false));
    ASSERT_NO_FATAL_FAILURE(Unpack(root + "sample\\Opera\\", true));
    const std::string bare = ZelkoRun(root + "bare\\");
    EXPECT_EQ(bare,
              "exit 0\nFlashGot starts 2\n"
              "job 1;FlashGet;0;;\r\nhttp://forum.example/thread?id=9\r\nhttp://files.example/b.zip"
              "\r\n\r\n\r\n\r\n\n"
              "DM=FlashGet\nAllDM=FlashGet;\n");
    EXPECT_EQ(ZelkoRun(root + "sample\\"), bare);
}

// Mirsa.exe quick-saving the stand-in browser's page: where the page, the
// history and the description go by default.
std::string MirsaRun(const std::string& folder) {
    WineBench& bench = WineBench::Get();
    StubBrowser::Options o;
    o.folder = folder + "Browser\\";
    o.title = "Evening News";
    o.url = "http://www.example.com/news/today.html";
    o.args = {"--autosave=1500", "--proposed=today.htm"};
    StubBrowser browser(o);
    if (!browser.ready()) return "browser not ready";
    RunResult r = bench.Run({folder + "Opera\\Mirsa\\Mirsa.exe", "/format=mht", "/method=quick",
                             "/url=http://www.example.com/news/today.html"},
                            90);
    std::string outcome = "exit " + std::to_string(r.exitCode) + "\n";
    WaitUntil([&] { return !RecordsOfKind(browser.LogHostPath(), "saved").empty(); }, 30000);
    for (const auto& saved : RecordsOfKind(browser.LogHostPath(), "saved"))
        outcome += "saved " + saved.Get("path") + " type " + saved.Get("type") + "\n";
    browser.Close();
    return Relative(outcome + FilesBelow(folder + "Opera\\Mirsa\\"), folder);
}

TEST(FreshUnpack, MirsaSavesIntoItsOwnFolderAsWithoutAnIni) {
    const std::string root = WineBench::Get().TestFolder();
    ASSERT_NO_FATAL_FAILURE(Unpack(root + "bare\\Opera\\", false));
    ASSERT_NO_FATAL_FAILURE(Unpack(root + "sample\\Opera\\", true));
    const std::string bare = MirsaRun(root + "bare\\");
    // The page and the history beside Mirsa.exe, no description file.
    EXPECT_NE(bare.find("saved <folder>Opera\\Mirsa\\today.mht type 2\n"), std::string::npos) << bare;
    EXPECT_NE(bare.find("\nMirsaHistory.html "), std::string::npos) << bare;
    EXPECT_EQ(bare.find("descript.ion"), std::string::npos) << bare;
    EXPECT_EQ(MirsaRun(root + "sample\\"), bare);
}

}  // namespace
}  // namespace e2e
