// Every receiver of the hand-off under Wine: Universal Share Downloader with
// real plug-in libraries, RapGet, the user's template, Download Master and
// Internet Download Accelerator through their "ExeFile" values.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "tests/e2e/zelko/zelko_install.h"

namespace e2e {
namespace {

std::set<std::string> Items(const std::string& list) {
    std::set<std::string> items;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ';'))
        if (!item.empty()) items.insert(item);
    return items;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct Usd {
    std::string folder, exe;
    explicit Usd(ZelkoInstall& z, bool withPlugins) {
        WineBench& bench = WineBench::Get();
        folder = z.root + "USD\\";
        exe = z.InstallRecorder(folder, "USDownloader", {});
        z.main["USD"] = exe;
        if (!withPlugins) return;
        const std::string plugins = bench.HostPath(folder + "plugins");
        std::filesystem::create_directories(plugins);
        for (const auto& entry : std::filesystem::directory_iterator(bench.BuildBin()))
            if (entry.path().extension() == ".plg")
                std::filesystem::copy_file(entry.path(), plugins + "/" + entry.path().filename().string(),
                                           std::filesystem::copy_options::overwrite_existing);
        WriteHostFile(plugins + "/broken.plg", "this is not a library");
        // A second faulting plug-in: the host survives faults one after another.
        std::filesystem::copy_file(bench.BuildBin() + "/plg_fault.plg", plugins + "/plg_fault_again.plg",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    std::string AddFile() const {
        return ReadHostFile(WineBench::Get().HostPath(folder + "USDownloader.add")).value_or("<missing>");
    }
};

TEST(ZelkoReceivers, SitePluginsBuildTheListAndUsdTakesListedLinks) {
    ZelkoInstall z(false);
    Usd usd(z, true);
    WineBench& bench = WineBench::Get();
    const std::string seen = z.root + "box.txt";
    Background clicker = bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko Error", seen, "1", "90000"});
    RunResult r = z.Run({"http://files.host1.com/f.zip", "http://forum.example/"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(clicker.Wait(60000).has_value());

    auto box = ReadRecords(bench.HostPath(seen));
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(box[0].Get("text"), "%Error: plug-in cannot start");

    EXPECT_EQ(Items(z.IniValue("TransferToUSD")),
              (std::set<std::string>{"host1.com", "host2.net", "files.example.org",
                                     "%error: plug-in cannot start", "handled.example",
                                     "option-null.example", "other-callable.example"}));

    std::vector<std::string> log =
        Lines(ReadHostFile(bench.HostPath(usd.folder + "plugins.log")).value_or(""));
    auto has = [&](const std::string& line) { return std::count(log.begin(), log.end(), line); };
    for (const char* name : {"plg_two_hosts", "plg_host_path", "plg_error", "plg_own_handler",
                             "plg_get_option"}) {
        EXPECT_EQ(has("init " + usd.folder + " " + name), 1) << name;
        EXPECT_EQ(has(std::string("destroy ") + name), 1) << name;
        EXPECT_EQ(has(std::string("detach ") + name), 1) << name;
    }
    // The two faulting plug-ins were entered, never destroyed, and still freed.
    EXPECT_EQ(has("init " + usd.folder + " plg_fault"), 2);
    EXPECT_EQ(has("destroy plg_fault"), 0);
    EXPECT_EQ(has("detach plg_fault"), 2);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.find("plg_init_only") != std::string::npos; }),
              0);

    auto starts = z.Starts("USDownloader");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("commandLine"), usd.exe + " http://files.host1.com/f.zip");
    EXPECT_EQ(starts[0].Get("show"), "5");
    EXPECT_TRUE(z.Starts("FlashGot").empty());
    EXPECT_TRUE(z.LeftJobs().empty());
}

TEST(ZelkoReceivers, CollectedLinksOfListedSitesGoToTheAddFile) {
    ZelkoInstall z(false);
    Usd usd(z, false);
    z.main["TransferToUSD"] = "share.example;";
    WineBench& bench = WineBench::Get();
    const std::string page = z.root + "list.htm";
    WriteHostFile(bench.HostPath(page),
                  "<a href=\"http://share.example/1\">one</a><a href=\"http://other.example/x\">x</a>"
                  "<a href=\"http://share.example/2\">two</a><a href=\"http://share.example/1\">again</a>");
    RunResult r = z.Run({page, "http://forum.example/t", "DOWNLOAD", "LNK"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(usd.AddFile(), "http://share.example/1\r\nhttp://share.example/2\r\n");
    auto starts = z.Starts("USDownloader");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("commandLine"), usd.exe + " /addlinks");
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{"1;FlashGet;2;;\r\nhttp://forum.example/t\r\n"
                                                 "http://other.example/x\r\nx\r\n\r\n\r\n"});
    EXPECT_TRUE(z.LeftJobs().empty());
}

TEST(ZelkoReceivers, RapGetTakesSingleLinksOfItsSites) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string rapFolder = z.root + "RapGet\\";
    const std::string rap = z.InstallRecorder(rapFolder, "rapget", {});
    const std::string ini = bench.HostPath(rapFolder + "rapget.ini");
    WriteHostFile(ini, ReadHostFile(ini).value_or("") + "[files.net]\r\nx=1\r\n[NoDot]\r\n");
    z.main["RapGet"] = rap;
    ASSERT_EQ(z.Run({"http://files.net/f.rar", "http://ref.example/"}).exitCode, 0);
    ASSERT_EQ(z.Run({"http://NoDot/f.rar", "http://ref.example/"}).exitCode, 0);
    auto starts = z.Starts("rapget");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("commandLine"), rap + " -l=http://files.net/f.rar");
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{UrlJob("FlashGet", "http://ref.example/", "http://NoDot/f.rar")});
}

TEST(ZelkoReceivers, TemplateGetsFieldsThatCannotAddArguments) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string tool = z.InstallRecorder(z.root + "Tool\\", "grab", {});
    z.main["CustomDMEnabled"] = "1";
    z.main["CustomDM"] = tool + " [url] -r [referrer] -d [description] -c [cookies] -p [post]";
    const std::string job = z.root + "quote.zlk";
    WriteHostFile(bench.HostPath(job),
                  "1;My_Download_Manager;2;;\r\nhttp://www.h.example/\r\nhttp://h.example/a\" -x \"b\r\n"
                  "Say \"hi\" \\\r\nc=\"1\"\r\nq=2\\\r\n");
    ASSERT_EQ(z.RunExact("\"" + job + "\"").exitCode, 0);
    auto starts = z.Starts("grab");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].Get("argc"), "9");
    EXPECT_EQ(starts[0].Get("arg.1"), "http://h.example/a\" -x \"b");
    EXPECT_EQ(starts[0].Get("arg.3"), "http://www.h.example/");
    EXPECT_EQ(starts[0].Get("arg.5"), "Say 'hi' \\");
    EXPECT_EQ(starts[0].Get("arg.7"), "c=\"1\"");
    EXPECT_EQ(starts[0].Get("arg.9"), "q=2\\");
    EXPECT_TRUE(z.Starts("FlashGot").empty());
    EXPECT_FALSE(HostFileExists(bench.HostPath(job)));
}

// A full-width solidus in a link's host: the system's best-fit conversion
// would make it "/" and send the page's cookies to evil.example. The
// template gets the address percent-encoded and no cookies; a link of the
// page's own site keeps its cookies.
TEST(ZelkoReceivers, TemplateGetsNoCookiesForABestFitHost) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string tool = z.InstallRecorder(z.root + "Tool\\", "grab", {});
    z.main["CustomDMEnabled"] = "1";
    z.main["CustomDM"] = tool + " [url] [cookies]";
    const std::string job = z.root + "bestfit.zlk";
    WriteHostFile(bench.HostPath(job),
                  "2;My_Download_Manager;2;;\r\nhttp://www.victim.example/p\r\n"
                  "http://evil.example\xEF\xBC\x8F.victim.example/f.zip\r\nF\r\nsid=SECRET\r\n\r\n"
                  "http://files.victim.example/g.zip\r\nG\r\nsid=OWN\r\n\r\n");
    ASSERT_EQ(z.Run({job}).exitCode, 0);
    auto starts = z.Starts("grab");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].Get("arg.1"), "http://evil.example%EF%BC%8F.victim.example/f.zip");
    EXPECT_EQ(starts[0].Get("arg.2"), "");
    EXPECT_EQ(starts[0].Get("argc"), "2");
    EXPECT_EQ(starts[1].Get("arg.1"), "http://files.victim.example/g.zip");
    EXPECT_EQ(starts[1].Get("arg.2"), "sid=OWN");
    EXPECT_FALSE(HostFileExists(bench.HostPath(job)));
}

TEST(ZelkoReceivers, DownloadMasterAndIdaStartDirectly) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string dm = z.InstallRecorder(z.root + "DM\\", "dmaster", {});
    const std::string ida = z.InstallRecorder(z.root + "IDA\\", "ida", {});
    ASSERT_TRUE(bench.RegAdd("HKCU\\Software\\2VG\\Download Master", "ExeFile", dm));
    ASSERT_TRUE(bench.RegAdd("HKCU\\Software\\2VG\\Internet Download Accelerator", "ExeFile", ida));

    z.main["DM"] = "Download Master";
    z.main["Advanced"] = "1";
    ASSERT_EQ(z.Run({"http://files.example/m.zip", "http://ref.example/", "Manual"}).exitCode, 0);
    // A page-script job is not a URL-form job: Download Master gets it through FlashGot.exe.
    const std::string job = z.root + "page.zlk";
    WriteHostFile(bench.HostPath(job), "1;My_Download_Manager;2;;\r\nhttp://www.files.example/\r\n"
                                       "http://files.example/n.zip\r\nN\r\nk=v\r\na=1\r\n");
    ASSERT_EQ(z.Run({job}).exitCode, 0);
    auto dmStarts = z.Starts("dmaster");
    ASSERT_EQ(dmStarts.size(), 1u);
    EXPECT_EQ(dmStarts[0].Get("commandLine"),
              dm + " \"http://files.example/m.zip\" \"http://ref.example/\" description=\"Manual\" "
                   "post=\"\" cookies=\"\"");
    ASSERT_EQ(z.Jobs().size(), 1u);
    EXPECT_EQ(z.Jobs()[0].substr(0, 25), "1;Download Master;2;;\r\nht");

    z.main["DM"] = "Internet Download Accelerator";
    WriteHostFile(bench.HostPath(job), "1;My_Download_Manager;2;;\r\nhttp://www.files.example/\r\n"
                                       "http://files.example/n.zip\r\nN\r\nk=v\r\na=1\r\n");
    ASSERT_EQ(z.Run({job}).exitCode, 0);
    auto idaStarts = z.Starts("ida");
    ASSERT_EQ(idaStarts.size(), 1u);
    EXPECT_EQ(idaStarts[0].Get("commandLine"),
              ida + " \"http://files.example/n.zip\" \"http://www.files.example/\" description=\"N\" "
                    "post=\"a=1\" cookies=\"k=v\"");
    EXPECT_FALSE(HostFileExists(bench.HostPath(job)));
}

TEST(ZelkoReceivers, TemplateTakesEveryRequestForm) {
    ZelkoInstall z(false);
    WineBench& bench = WineBench::Get();
    const std::string tool = z.InstallRecorder(z.root + "Tool\\", "grab", {});
    z.main["CustomDMEnabled"] = "1";
    z.main["CustomDM"] = tool + " [url] [referrer] [description]";
    const std::string page = z.root + "p.htm";
    WriteHostFile(bench.HostPath(page),
                  "<a href=\"/one.zip\">One</a><a href=two.zip>Two</a><a href='three.zip'>Three</a>");
    const std::string job = z.root + "j.zlk";
    WriteHostFile(bench.HostPath(job), "1;My_Download_Manager;2;;\r\nhttp://r.example/\r\n"
                                       "http://files.example/j.zip\r\nJ\r\n\r\n\r\n");
    ASSERT_EQ(z.Run({"http://files.example/u.zip"}).exitCode, 0);
    ASSERT_EQ(z.Run({page, "http://s.example/d/p.htm", "DOWNLOAD", "LNK"}).exitCode, 0);
    ASSERT_EQ(z.Run({job}).exitCode, 0);
    // Each link of the page is a start of its own; an empty field keeps its place.
    auto starts = z.Starts("grab");
    ASSERT_EQ(starts.size(), 5u);
    EXPECT_EQ(starts[0].Get("commandLine"),
              tool + " \"http://files.example/u.zip\" \"http://files.example/\" \"\"");
    EXPECT_EQ(starts[0].Get("argc"), "3");
    EXPECT_EQ(starts[0].Get("arg.3"), "");
    EXPECT_EQ(starts[1].Get("commandLine"),
              tool + " \"http://s.example/one.zip\" \"http://s.example/d/p.htm\" \"One\"");
    EXPECT_EQ(starts[2].Get("commandLine"),
              tool + " \"http://s.example/d/two.zip\" \"http://s.example/d/p.htm\" \"Two\"");
    EXPECT_EQ(starts[3].Get("commandLine"),
              tool + " \"http://s.example/d/three.zip\" \"http://s.example/d/p.htm\" \"Three\"");
    EXPECT_EQ(starts[4].Get("commandLine"),
              tool + " \"http://files.example/j.zip\" \"http://r.example/\" \"J\"");
    EXPECT_TRUE(z.Starts("FlashGot").empty());
    EXPECT_TRUE(z.LeftJobs().empty());
    EXPECT_FALSE(HostFileExists(bench.HostPath(job)));
}

TEST(ZelkoReceivers, RunningBrowserIsNotAskedWithoutItsLibrary) {
    ZelkoInstall z(false);
    StubBrowser::Options o;
    o.folder = z.opera;
    o.url = "http://forum.example/";
    o.title = "No Library";
    StubBrowser browser(o);
    ASSERT_TRUE(browser.ready());
    ASSERT_EQ(z.Run({"http://files.example/dir/v.zip"}).exitCode, 0);
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{
                            UrlJob("FlashGet", "http://files.example/", "http://files.example/dir/v.zip")});
    EXPECT_TRUE(RecordsOfKind(browser.LogHostPath(), "dde").empty());
}

// With no receiver the box says so, and the job it keeps goes out as the
// box tells once a manager is chosen.
TEST(ZelkoReceivers, NoReceiverShowsWhyAndKeepsTheJob) {
    ZelkoInstall z(false);
    z.main["DM"] = "No";
    WineBench& bench = WineBench::Get();
    const std::string seen = z.root + "nobody.txt";
    Background clicker = bench.Start({bench.BinFolder() + "boxclick.exe", "Zelko Error", seen, "1", "90000"});
    ASSERT_EQ(z.Run({"http://files.example/z.zip"}).exitCode, 0);
    ASSERT_TRUE(clicker.Wait(60000).has_value());
    auto box = ReadRecords(bench.HostPath(seen));
    ASSERT_EQ(box.size(), 1u);
    const std::string kept = z.folder + "flashgot.fgt";
    EXPECT_EQ(box[0].Get("text"), "No download manager is chosen: start Zelko.exe to choose one\r\n"
                                  "\r\nhttp://files.example/z.zip" + KeptNote(z, kept));
    EXPECT_TRUE(z.Starts("FlashGot").empty());
    EXPECT_EQ(z.LeftJobs(), std::vector<std::string>{"flashgot.fgt"});
    EXPECT_EQ(ReadHostFile(bench.HostPath(kept)),
              UrlJob("My_Download_Manager", "http://files.example/", "http://files.example/z.zip"));

    z.main["DM"] = "FlashGet";
    ASSERT_EQ(z.Run({kept}).exitCode, 0);
    EXPECT_EQ(z.Jobs(), std::vector<std::string>{
                            UrlJob("FlashGet", "http://files.example/", "http://files.example/z.zip")});
    EXPECT_TRUE(z.LeftJobs().empty());
}

}  // namespace
}  // namespace e2e
