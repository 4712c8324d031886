#include <gtest/gtest.h>

#include <functional>

#include "common/helpers.h"
#include "tests/flow/zelko/receiver_jobs.h"
#include "tests/flow/zelko/zelko_world.h"
#include "zelko/flashgot.h"
#include "zelko/handoff.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

const std::string kIda = "C:\\IDA\\ida.exe";

std::string Link(const std::string& url, const std::string& description = "",
                 const std::string& cookies = "", const std::string& post = "") {
    return url + "\r\n" + description + "\r\n" + cookies + "\r\n" + post + "\r\n";
}

std::string PageJob(std::size_t count, const std::string& referrer, const std::string& links,
                    const std::string& manager = "My_Download_Manager") {
    return std::to_string(count) + ";" + manager + ";2;;\r\n" + referrer + "\r\n" + links;
}

class HandOffFlow : public ::testing::Test {
protected:
    FakePlatform p;
    ZelkoWorld world{p};

    void SetUp() override {
        world.Set("Advanced", "0");
        p.AddFile("c:\\dm\\get.exe", "MZ");
    }

    void RunJob(const std::string& text) {
        p.AddFile(kJob, text);
        world.Run(kJob);
        EXPECT_FALSE(p.HasFile(kJob));
    }
};

TEST_F(HandOffFlow, PageScriptLinkOfAListedSiteGoesToUsdAlone) {
    world.WithUsd("rapidfiles.com;other.net;");
    RunJob(PageJob(1, "http://forum.org/t", Link("http://rapidfiles.com/f/1", "F")));
    ASSERT_EQ(world.addFiles.size(), 1u);
    EXPECT_EQ(world.addFiles[0], "http://rapidfiles.com/f/1\r\n");
    EXPECT_EQ(world.CommandLines(), std::vector<std::string>{kUsd + " /addlinks"});
    EXPECT_EQ(p.StartsOf("USDownloader.exe")[0].showWindow, common::sw::Show);
    EXPECT_TRUE(world.flashGotJobs.empty());
}

TEST_F(HandOffFlow, CollectionSplitsListedLinksFromTheRest) {
    world.WithUsd("rapidfiles.com;");
    const std::string links = Link("http://rapidfiles.com/a") + Link("http://x.org/1", "one") +
                              Link("http://rapidfiles.com/b") + Link("http://rapidfiles.com/a") +
                              Link("http://x.org/2", "two");
    RunJob(PageJob(5, "http://forum.org/t", links));
    ASSERT_EQ(world.addFiles.size(), 1u);
    EXPECT_EQ(world.addFiles[0], "http://rapidfiles.com/a\r\nhttp://rapidfiles.com/b\r\n");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].second,
              PageJob(2, "http://forum.org/t", Link("http://x.org/1", "one") +
                                                   Link("http://x.org/2", "two"), "FlashGet"));
    EXPECT_FALSE(p.MutexHeldHere(kUsdListMutex));
}

TEST_F(HandOffFlow, UsdListHoldsEachUrlOnceWhereItFirstAppears) {
    world.WithUsd("rapidfiles.com;");
    const std::string a = "http://rapidfiles.com/a", b = "http://rapidfiles.com/b";
    struct Case {
        std::size_t count;
        std::string links;
        std::vector<std::string> expected;  // the ".add" lists written
    };
    const Case cases[] = {
        {3, Link(a) + Link(b) + Link(a), {a + "\r\n" + b + "\r\n"}},
        {3, Link(b) + Link(a) + Link(b), {b + "\r\n" + a + "\r\n"}},
        {3, Link("http://x.org/1", a) + Link(a) + Link(b), {b + "\r\n"}},  // an earlier description
        {3, Link("http://x.org/1") + Link(b, "", "", a) + Link(a), {b + "\r\n"}},  // an earlier post line
        {2, Link(a) + Link("http://x.org/1", a), {a + "\r\n"}},            // a later line does not count
        {2, Link("http://x.org/1", a) + Link(a), {}},
    };
    for (const Case& c : cases) {
        world.addFiles.clear();
        RunJob(PageJob(c.count, "http://forum.org/t", c.links));
        EXPECT_EQ(world.addFiles, c.expected) << c.links;
    }
}

TEST_F(HandOffFlow, UsdListMutexIsHeldUntilTheProgramIsReady) {
    world.WithUsd("rapidfiles.com;");
    bool heldAtStart = false;
    FakePlatform::ProgramBehaviour usd;
    usd.idleAfterMs = 500;
    usd.exitAfterMs = std::nullopt;
    usd.onStart = [&](FakePlatform& fake, common::ProcessId, const FakePlatform::StartRecord&) {
        heldAtStart = fake.MutexHeldHere(kUsdListMutex);
    };
    p.OnProgram("USDownloader.exe", usd);
    RunJob(PageJob(1, "http://forum.org/t", Link("http://rapidfiles.com/f")));
    EXPECT_TRUE(heldAtStart);
    EXPECT_FALSE(p.MutexHeldHere(kUsdListMutex));
    EXPECT_GE(p.ElapsedMs(), 500u);
}

TEST_F(HandOffFlow, UsdGate) {
    struct Case {
        const char* name;
        bool advanced;
        std::string referrer;
        std::string post;
        bool transferred;
    };
    const Case cases[] = {
        {"plain page", false, "http://forum.org/t", "", true},
        {"page on a listed site", false, "http://rapidfiles.com/list", "", false},
        {"listed page, Advanced on", true, "http://rapidfiles.com/list", "", true},
        {"no referrer", true, "", "", false},
        {"post data", true, "http://forum.org/t", "a=1", false},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        w.Set("Advanced", c.advanced ? "1" : "0");
        w.WithUsd("rapidfiles.com;");
        fake.AddFile(kJob, PageJob(1, c.referrer, Link("http://rapidfiles.com/f", "", "", c.post)));
        w.Run(kJob);
        EXPECT_EQ(w.addFiles.size(), c.transferred ? 1u : 0u) << c.name;
        EXPECT_EQ(w.flashGotJobs.size(), c.transferred ? 0u : 1u) << c.name;
    }
}

TEST_F(HandOffFlow, SingleLinkToUsd) {
    world.WithUsd("rapidfiles.com;");
    world.Run("http://rapidfiles.com/f/1 http://forum.org/");
    EXPECT_EQ(world.CommandLines(), std::vector<std::string>{kUsd + " http://rapidfiles.com/f/1"});
    // A single link goes on the command line; no ".add" list is written.
    EXPECT_EQ(world.addFiles, std::vector<std::string>{"<missing>"});
    for (const auto& op : p.FileOps()) EXPECT_EQ(op.path.find(".add"), std::string::npos) << op.op;
}

TEST_F(HandOffFlow, UsdMissingProgramIsNotOffered) {
    world.Set("USD", kUsd);
    world.Set("TransferToUSD", "rapidfiles.com;");
    world.Run("http://rapidfiles.com/f/1 http://forum.org/");
    EXPECT_TRUE(p.StartsOf("USDownloader.exe").empty());
    EXPECT_EQ(world.flashGotJobs.size(), 1u);
}

TEST_F(HandOffFlow, RapGetTakesSingleLinksOfItsSites) {
    p.AddFile(kRapGet, "MZ");
    p.AddFile("C:\\RapGet\\rapget.ini", "[Options]\r\nx=1\r\n[files.net]\r\na=1\r\n[h.com]\r\n");
    world.Set("RapGet", kRapGet);
    struct Case {
        const char* name;
        std::string job;
        bool taken;
    };
    const Case cases[] = {
        {"listed", UrlJob("My_Download_Manager", "r", "http://files.net/a"), true},
        {"section without dot", UrlJob("My_Download_Manager", "r", "http://Options/a"), false},
        {"other site", UrlJob("My_Download_Manager", "r", "http://else.org/a"), false},
        {"post data", "1;M;0;;\r\nr\r\nhttp://files.net/a\r\n\r\n\r\np=1\r\n", false},
        {"seven lines", UrlJob("My_Download_Manager", "r", "http://files.net/a") + "x\r\n", false},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        w.Set("Advanced", "0");
        fake.AddFile(kRapGet, "MZ");
        fake.AddFile("C:\\RapGet\\rapget.ini", "[Options]\r\nx=1\r\n[files.net]\r\na=1\r\n");
        w.Set("RapGet", kRapGet);
        fake.AddFile(kJob, c.job);
        w.Run(kJob);
        auto rap = fake.StartsOf("rapget.exe");
        ASSERT_EQ(rap.size(), c.taken ? 1u : 0u) << c.name;
        if (c.taken) EXPECT_EQ(rap[0].commandLine, kRapGet + " -l=http://files.net/a");
        EXPECT_EQ(w.flashGotJobs.size(), c.taken ? 0u : 1u) << c.name;
    }
}

TEST_F(HandOffFlow, CustomTemplateGetsQuotedFields) {
    world.Set("CustomDMEnabled", "1");
    world.Set("CustomDM", "c:\\dm\\get.exe [url] -r [referrer] -d [description] [cookies][post]");
    RunJob("1;M;0;;\r\nhttp://ref/\r\nhttp://h/a\"b.zip\r\nSay \"hi\"|\r\n\r\n\r\n");
    EXPECT_EQ(world.CommandLines(),
              std::vector<std::string>{
                  "c:\\dm\\get.exe \"http://h/a\\\"b.zip\" -r \"http://ref/\" -d \"Say 'hi'\" \"\"\"\""});
    EXPECT_TRUE(world.flashGotJobs.empty());
}

// A site list longer than an INI value holds comes back cut inside a mask:
// the piece ("mega") must not send other sites' links to the downloader.
TEST_F(HandOffFlow, SiteListCutByTheIniLimitMatchesWholeMasksOnly) {
    std::string list;
    while (list.size() < 4095 - 20) list += "h" + std::to_string(list.size()) + ".example;";
    world.WithUsd(list + "mega.example.com;");
    RunJob(PageJob(2, "http://forum.org/t", Link("http://omegafiles.org/f") + Link("http://h0.example/f")));
    ASSERT_EQ(world.addFiles.size(), 1u);
    EXPECT_EQ(world.addFiles[0], "http://h0.example/f\r\n");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_NE(world.flashGotJobs[0].second.find("http://omegafiles.org/f"), std::string::npos);
}

// Found by fuzzing: a link whose text is "[referrer]" was filled in again,
// which put the quoted referrer inside the link's quotes and split it.
TEST_F(HandOffFlow, CustomTemplateFieldsAreNotFilledInAgain) {
    world.Set("CustomDMEnabled", "1");
    world.Set("CustomDM", "c:\\dm\\get.exe [url] -r [referrer] -d [description]");
    RunJob(UrlJob("M", "http://ref/a b", "[referrer]", "[url] [post]"));
    EXPECT_EQ(world.CommandLines(),
              std::vector<std::string>{
                  "c:\\dm\\get.exe \"[referrer]\" -r \"http://ref/a b\" -d \"[url] [post]\""});
}

TEST_F(HandOffFlow, PlaceholdersInsideFieldsStayText) {
    struct Case {
        const char* name;
        std::string job;
        std::string command;
    };
    const Case cases[] = {
        {"url names cookies",
         "1;M;0;;\r\nhttp://evil.example/\r\nhttp://evil.example/[cookies]\r\nd\r\na b -x\r\n\r\n",
         "t.exe \"http://evil.example/[cookies]\" \"d\" \"a b -x\" \"\""},
        {"description names post",
         "1;M;0;;\r\n[url]\r\nhttp://h/f\r\n[post]\r\n\r\np q\r\n",
         "t.exe \"http://h/f\" \"[post]\" \"\" \"p q\""},
        {"placeholder glued to text", "1;M;0;;\r\nr\r\nu\r\n[url]x\r\n\r\n\r\n",
         "t.exe \"u\" \"[url]x\" \"\" \"\""},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        w.Set("CustomDMEnabled", "1");
        w.Set("CustomDM", "t.exe [url] [description] [cookies] [post]");
        fake.AddFile(kFolder + "t.exe", "MZ");
        fake.AddFile(kJob, c.job);
        w.Run(kJob);
        EXPECT_EQ(w.CommandLines(), std::vector<std::string>{kFolder + c.command}) << c.name;
    }
}

TEST_F(HandOffFlow, CustomTemplateRelativeAndFieldsAreNotExpanded) {
    p.SetEnv("SECRET", "leaked");
    world.Set("CustomDMEnabled", "1");
    world.Set("CustomDM", "%DMDIR%get.exe [url]");
    p.SetEnv("DMDIR", "tools\\");
    p.AddFile(kFolder + "tools\\get.exe", "MZ");
    RunJob(UrlJob("M", "r", "http://h/%SECRET%\\"));
    EXPECT_EQ(world.CommandLines(),
              std::vector<std::string>{kFolder + "tools\\get.exe \"http://h/%SECRET%\\\\\""});
}

TEST_F(HandOffFlow, DirectlyStartedManagers) {
    const std::string dmExe = "C:\\DM\\dmaster.exe";
    const std::string idaExe = "C:\\IDA\\ida.exe";
    struct Case {
        const char* name;
        std::string manager;
        bool advanced;
        std::string job;
        std::optional<std::string> exeFile;
        bool direct;
    };
    const std::string urlJob = UrlJob("My_Download_Manager", "http://ref/", "http://h/f.zip", "Desc");
    const std::string pageJob = PageJob(1, "http://ref/", Link("http://h/f.zip", "Desc"));
    const Case cases[] = {
        {"DM url form", kDownloadMaster, true, urlJob, dmExe, true},
        {"DM Advanced off", kDownloadMaster, false, urlJob, dmExe, false},
        {"DM page job", kDownloadMaster, true, pageJob, dmExe, false},
        {"DM no value", kDownloadMaster, true, urlJob, std::nullopt, false},
        {"DM missing exe", kDownloadMaster, true, urlJob, std::string("C:\\none.exe"), false},
        {"IDA page job", kInternetDownloadAccelerator, false, pageJob, idaExe, true},
        {"IDA empty value", kInternetDownloadAccelerator, false, pageJob, std::string(""), false},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        w.Set("Advanced", c.advanced ? "1" : "0");
        w.Set("DM", c.manager);
        fake.AddFile(dmExe, "MZ");
        fake.AddFile(idaExe, "MZ");
        const char* key = c.manager == kDownloadMaster ? kDownloadMasterKey : kInternetDownloadAcceleratorKey;
        if (c.exeFile) fake.SetRegistryUserString(key, "ExeFile", *c.exeFile);
        fake.AddFile(kJob, c.job);
        w.Run(kJob);
        const std::string exe = c.manager == kDownloadMaster ? dmExe : idaExe;
        auto direct = fake.StartsOf(exe);
        ASSERT_EQ(direct.size(), c.direct ? 1u : 0u) << c.name;
        if (c.direct)
            EXPECT_EQ(direct[0].commandLine, exe + " \"http://h/f.zip\" \"http://ref/\" "
                                                   "description=\"Desc\" post=\"\" cookies=\"\"")
                << c.name;
        EXPECT_EQ(w.flashGotJobs.size(), c.direct ? 0u : 1u) << c.name;
    }
}

TEST_F(HandOffFlow, OrderUsdBeforeRapGetBeforeTemplate) {
    world.WithUsd("h.com;");
    p.AddFile(kRapGet, "MZ");
    p.AddFile("C:\\RapGet\\rapget.ini", "[h.com]\r\n");
    world.Set("RapGet", kRapGet);
    world.Set("CustomDMEnabled", "1");
    world.Set("CustomDM", "c:\\t.exe [url]");
    RunJob(UrlJob("M", "http://ref/", "http://h.com/f"));
    EXPECT_EQ(world.CommandLines(), std::vector<std::string>{kUsd + " http://h.com/f"});
}

TEST_F(HandOffFlow, BareUrlCannotAddArguments) {
    world.WithUsd("h.com;");
    RunJob(UrlJob("M", "http://ref/", "http://h.com/a\" -evil \"b c"));
    EXPECT_EQ(world.CommandLines(),
              std::vector<std::string>{kUsd + " http://h.com/a%22%20-evil%20%22b%20c"});
}

FakePlatform::ProgramBehaviour FailsToStart() {
    FakePlatform::ProgramBehaviour b;
    b.failStart = true;
    return b;
}

// Links 1..n of forum.org (cookies on the even ones), or their URLs as a box lists them.
std::string Links(std::size_t n, bool urls = false) {
    std::string text;
    for (std::size_t i = 1; i <= n; ++i) {
        const std::string k = std::to_string(i), url = "http://forum.org/" + k + ".zip";
        text += urls ? "\r\n" + url : Link(url, "D" + k, i % 2 ? "" : "c=" + k);
    }
    return text;
}

// A request that reaches nobody says why, lists its links and stays, under
// the header it came with, to be sent again.
TEST(HandOffRefused, EveryRequestHandedToNobodyShowsWhyAndKeepsTheJob) {
    using SetUp = std::function<void(FakePlatform&, ZelkoWorld&)>;
    const std::pair<SetUp, std::string> cases[] = {
        {[](FakePlatform&, ZelkoWorld& w) { w.Set("DM", "No"); },
         "No download manager is chosen: start Zelko.exe to choose one"},
        {[](FakePlatform&, ZelkoWorld& w) { w.Set("DM", "No"), w.Set("CustomDMEnabled", "1"); },
         "No download manager is chosen: start Zelko.exe to choose one"},  // an empty template
        {[](FakePlatform& p, ZelkoWorld&) { p.RemovePath(kFlashGot); },
         "FlashGot.exe is not in C:\\Opera\\Zelko"},
        {[](FakePlatform& p, ZelkoWorld&) { p.OnProgram("FlashGot.exe", FailsToStart()); },
         kFlashGot + " could not be started"},
        {[](FakePlatform&, ZelkoWorld& w) {
             w.Set("CustomDMEnabled", "1"), w.Set("CustomDM", "\"C:\\Get It\\get.exe\" [url]");
         },
         "C:\\Get It\\get.exe could not be started"},
        {[](FakePlatform& p, ZelkoWorld& w) {
             w.Set("DM", kInternetDownloadAccelerator);
             p.AddFile(kIda, "MZ");
             p.SetRegistryUserString(kInternetDownloadAcceleratorKey, "ExeFile", kIda);
             p.OnProgram(kIda, FailsToStart());
             p.RemovePath(kFlashGot);  // an unreadable "ExeFile" refuses it too
         },
         kIda + " could not be started"},
    };
    for (const auto& [setUp, cause] : cases) {
        SCOPED_TRACE(cause);
        FakePlatform p;
        ZelkoWorld w(p);
        setUp(p, w);
        const std::string job = PageJob(22, "http://forum.org/t", Links(22));
        p.AddFile(kJob, job);
        w.Run(kJob);
        ASSERT_EQ(p.MessageBoxes().size(), 1u);
        EXPECT_EQ(p.MessageBoxes()[0].title, "Zelko Error");
        EXPECT_EQ(p.MessageBoxes()[0].flags, common::mb::Topmost | common::mb::IconError);
        EXPECT_EQ(p.MessageBoxes()[0].text,
                  cause + "\r\n" + Links(20, true) + "\r\nand 2 more" + kKeptNote);
        EXPECT_EQ(p.FileText(kJob), job);
        EXPECT_TRUE(w.flashGotJobs.empty());
    }
}

TEST(HandOffRefused, OnlyTheLinksWhoseStartFailedAreKept) {
    FakePlatform p;
    ZelkoWorld w(p);
    w.Set("CustomDMEnabled", "1");
    w.Set("CustomDM", "C:\\dm\\get.exe [url]");
    p.AddFile("C:\\dm\\get.exe", "MZ");
    // Too long a command line for the system, say: only this link's start fails.
    p.OnProgramMatching([](const auto& r) { return common::Contains(r.commandLine, "/2.zip"); },
                        FailsToStart());
    p.AddFile(kJob, PageJob(3, "http://forum.org/t", Links(3), "FlashGet"));
    w.Run(kJob);
    EXPECT_EQ(p.Starts().size(), 3u);
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text.substr(0, 62),
              "C:\\dm\\get.exe could not be started\r\n\r\nhttp://forum.org/2.zip\r\n");
    EXPECT_EQ(p.FileText(kJob),
              PageJob(1, "http://forum.org/t", Link("http://forum.org/2.zip", "D2", "c=2"), "FlashGet"));
}

// The links not taken are written under the request's own header where they
// can be: the job file, else a job file of Zelko's own; the box names the
// file that holds them, never one that still holds links already started.
TEST(HandOffRefused, TheBoxNamesTheFileThatReallyHoldsTheLinks) {
    const std::string job = PageJob(3, "http://forum.org/t", Links(3));
    const std::string secondOnly = PageJob(1, "http://forum.org/t", Link("http://forum.org/2.zip", "D2", "c=2"));
    const std::string jd = "http://127.0.0.1:9666/flashgot";
    struct Case {
        const char* name;
        std::string customDm;
        std::function<void(FakePlatform&)> block;
        std::string keptIn;  // empty: nowhere
        std::string kept;
    };
    const Case cases[] = {
        {"job file read-only, one start failed", "C:\\dm\\get.exe [url]",
         [](FakePlatform& p) { p.SetReadOnly(kJob, true); }, kFirstJob, secondOnly},
        {"nothing can be written, one start failed", "C:\\dm\\get.exe [url]",
         [](FakePlatform& p) { p.FailAllWrites(true); }, "", ""},
        {"job file read-only, JDownloader not running", jd,
         [](FakePlatform& p) { p.SetReadOnly(kJob, true); }, kFirstJob, job},
        // Nothing of the job was handed out: the unchanged job file holds the links.
        {"nothing can be written, JDownloader not running", jd,
         [](FakePlatform& p) { p.FailAllWrites(true); }, kJob, job},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        ZelkoWorld w(p);
        w.Set("CustomDMEnabled", "1");
        w.Set("CustomDM", c.customDm);
        p.AddFile("C:\\dm\\get.exe", "MZ");
        p.OnProgramMatching([](const auto& r) { return common::Contains(r.commandLine, "/2.zip"); },
                            FailsToStart());
        p.AddFile(kJob, job);
        c.block(p);
        w.Run(kJob);
        ASSERT_EQ(p.MessageBoxes().size(), 1u);
        const std::string& text = p.MessageBoxes()[0].text;
        if (c.keptIn.empty()) {
            EXPECT_TRUE(common::EndsWith(text, "\r\n\r\nThese links could not be kept in a job file."))
                << text;
        } else {
            EXPECT_TRUE(common::EndsWith(text, KeptNote(c.keptIn))) << text;
            EXPECT_EQ(p.FileText(c.keptIn), c.kept);
        }
        if (c.keptIn != kJob) EXPECT_EQ(text.find(kJob), std::string::npos) << text;
        EXPECT_EQ(p.FileText(kJob), job);
    }
}

// A receiver of some links that cannot be started leaves them to the next.
TEST(HandOffRefused, LinksOfAProgramThatCannotStartGoToTheNextReceiver) {
    const std::string listed = Link("http://share.example/1.zip", "One");
    for (bool rapGet : {false, true}) {
        FakePlatform p;
        ZelkoWorld w(p);
        w.Set("Advanced", "0");
        p.AddFile(kRapGet, "MZ");
        p.AddFile("C:\\RapGet\\rapget.ini", "[share.example]\r\n");
        w.Set("RapGet", kRapGet);
        if (!rapGet) w.WithUsd("share.example;");
        p.OnProgram(rapGet ? "rapget.exe" : "USDownloader.exe", FailsToStart());
        const std::string job = PageJob(rapGet ? 1 : 3, "http://forum.org/t",
                                        rapGet ? listed : Links(1) + listed + Links(1));
        p.AddFile(kJob, job);
        w.Run(kJob);
        ASSERT_EQ(w.flashGotJobs.size(), 1u) << rapGet;
        EXPECT_EQ(w.flashGotJobs[0].second, common::ReplaceAll(job, "My_Download_Manager", "FlashGet"));
        EXPECT_TRUE(p.MessageBoxes().empty());
    }
}

// Every link reaches the template or a manager started directly, in order,
// each with its own fields, each ready for input before the next. HandOff
// alone: the fault loop would rerun a whole run once per start.
TEST(HandOffEachLink, EveryLinkStartsItsOwnCommand) {
    for (const bool ida : {false, true}) {
        FakePlatform p;
        ZelkoSettings s;
        s.dm = kInternetDownloadAccelerator;
        s.customDmEnabled = !ida;
        s.customDm = "C:\\dm\\get.exe [url] [referrer] [description] [cookies] [post]";
        p.SetRegistryUserString(kInternetDownloadAcceleratorKey, "ExeFile", kIda);
        const std::string exe = ida ? kIda : "C:\\dm\\get.exe";
        p.AddFile(exe, "MZ");
        FakePlatform::ProgramBehaviour slow;
        slow.idleAfterMs = 300;
        slow.exitAfterMs = std::nullopt;
        p.OnProgram(exe, slow);
        JobLines job = SplitJobLines(PageJob(200, "http://forum.org/t", Links(200)));
        const RequestFields fields = FieldsOf(job);
        EXPECT_TRUE(HandOff(p, std::move(job), kJob, fields, s, kFolder));
        ASSERT_EQ(p.StartsOf(exe).size(), 200u);
        for (std::size_t i = 1; i <= 200; ++i) {
            const std::string k = std::to_string(i), url = "\"http://forum.org/" + k + ".zip\"";
            const std::string cookies = i % 2 ? "\"\"" : "\"c=" + k + "\"";
            const std::string start = exe + " " + url + " \"http://forum.org/t\" ";
            EXPECT_EQ(p.StartsOf(exe)[i - 1].commandLine,
                      ida ? start + "description=\"D" + k + "\" post=\"\" cookies=" + cookies
                          : start + "\"D" + k + "\" " + cookies + " \"\"");
        }
        EXPECT_GE(p.ElapsedMs(), 200u * 300u);
        EXPECT_TRUE(p.MessageBoxes().empty());
    }
}

// Links that Universal Share Downloader took are not started again.
TEST(HandOffEachLink, TemplateGetsTheLinksLeftAfterTheTransfer) {
    FakePlatform p;
    ZelkoWorld w(p);
    w.Set("Advanced", "0");
    w.WithUsd("share.example;");
    w.Set("CustomDMEnabled", "1");
    w.Set("CustomDM", "C:\\dm\\get.exe [url]");
    p.AddFile("C:\\dm\\get.exe", "MZ");
    p.AddFile(kJob, PageJob(2, "http://forum.org/t",
                            Link("http://share.example/a") + Link("http://x.org/b")));
    w.Run(kJob);
    EXPECT_EQ(w.CommandLines(),
              (std::vector<std::string>{kUsd + " /addlinks", "C:\\dm\\get.exe \"http://x.org/b\""}));
}

// A character without an ANSI form that a best-fit conversion turns into
// "/", "?", "#", "\" or "@" would move the host of an address that passed
// the cookie rule in UTF-8 (evil.net／.victim.com) to another site: the
// programs that read ANSI get it percent-encoded, and its cookies stay back.
TEST(HandOffAnsiAddress, BestFitCharactersCarryNoCookiesToAnotherHost) {
    struct Case {
        const char* name;
        std::string utf8;     // the character in the link's host
        std::string encoded;  // as the receiver gets it
    };
    const Case cases[] = {
        {"full-width solidus", "\xEF\xBC\x8F", "%EF%BC%8F"},
        {"full-width question mark", "\xEF\xBC\x9F", "%EF%BC%9F"},
        {"full-width number sign", "\xEF\xBC\x83", "%EF%BC%83"},
        {"full-width reverse solidus", "\xEF\xBC\xBC", "%EF%BC%BC"},
        {"full-width commercial at", "\xEF\xBC\xA0", "%EF%BC%A0"},
    };
    enum class Receiver { Template, Ida, FlashGot };
    const std::string page = "http://www.victim.com/p";
    const std::string own = Link("http://files.victim.com/caf\xC3\xA9.zip", "", "sid=OWN");
    for (const Case& c : cases) {
        for (const Receiver receiver : {Receiver::Template, Receiver::Ida, Receiver::FlashGot}) {
            for (const bool bestFit : {false, true}) {
                SCOPED_TRACE(std::string(c.name) + " to receiver " +
                             std::to_string(static_cast<int>(receiver)) + (bestFit ? ", best fit" : ""));
                FakePlatform p;
                ZelkoWorld w(p);
                p.SetBestFitConversion(bestFit);
                if (receiver == Receiver::Template) {
                    w.Set("CustomDMEnabled", "1");
                    w.Set("CustomDM", "C:\\dm\\get.exe [url] [cookies]");
                    p.AddFile("C:\\dm\\get.exe", "MZ");
                } else if (receiver == Receiver::Ida) {
                    w.Set("DM", kInternetDownloadAccelerator);
                    p.AddFile(kIda, "MZ");
                    p.SetRegistryUserString(kInternetDownloadAcceleratorKey, "ExeFile", kIda);
                }
                const std::string evil = "http://evil.net" + c.utf8 + ".victim.com/f.zip";
                p.AddFile(kJob, PageJob(2, page, Link(evil, "", "sid=SECRET") + own));
                w.Run(kJob);
                std::string handed;  // every command line and the job FlashGot.exe read
                for (const std::string& line : w.CommandLines()) handed += line + "\n";
                for (const auto& job : w.flashGotJobs) handed += job.second;
                EXPECT_EQ(handed.find("SECRET"), std::string::npos) << handed;
                const std::string evilHanded = "http://evil.net" + c.encoded + ".victim.com/f.zip";
                EXPECT_NE(handed.find(receiver == Receiver::FlashGot ? evilHanded : "\"" + evilHanded + "\""),
                          std::string::npos) << handed;
                // A link of the page's own site keeps them, its accented name in ANSI.
                EXPECT_NE(handed.find("sid=OWN"), std::string::npos) << handed;
                EXPECT_NE(handed.find(receiver == Receiver::FlashGot ? "caf\xC3\xA9.zip" : "caf\xE9.zip"),
                          std::string::npos) << handed;
                EXPECT_TRUE(p.MessageBoxes().empty());
            }
        }
    }
}

TEST(AddressInAnsi, Forms) {
    struct Case {
        unsigned codePage;
        std::string utf8;
        std::string ansi;
    };
    const Case cases[] = {
        {1252, "http://h/a?b#c", "http://h/a?b#c"},
        {1252, "http://h/caf\xC3\xA9", "http://h/caf\xE9"},
        {1252, "http://h\xEF\xBC\x8F" "x/", "http://h%EF%BC%8Fx/"},
        {1252, "http://h/\xD0\xB6", "http://h/%D0%B6"},  // Cyrillic: no form in 1252
        {1251, "http://h/\xD0\xB6", "http://h/\xE6"},
        {1252, "http://h/\xFF\xC3", "http://h/%FF%C3"},  // not UTF-8
    };
    for (const Case& c : cases) {
        FakePlatform p;
        p.SetAnsiCodePage(c.codePage);
        p.SetBestFitConversion(true);  // never used for an address
        EXPECT_EQ(AddressInAnsi(p, c.utf8), c.ansi) << c.utf8;
    }
}

TEST(QuoteField, Forms) {
    FakePlatform p;
    struct Case {
        std::string utf8;
        std::string quoted;
    };
    const Case cases[] = {
        {"", "\"\""},
        {"http://h/", "\"http://h/\""},
        {"caf\xC3\xA9", "\"caf\xE9\""},
        {"a\"b", "\"a\\\"b\""},
        {"name=\"v\"", "\"name=\\\"v\\\"\""},
        {"C:\\dir\\", "\"C:\\dir\\\\\""},
        {"x\\\"", "\"x\\\\\\\"\""},
        {"a\\\\b", "\"a\\\\b\""},
    };
    for (const Case& c : cases) EXPECT_EQ(QuoteField(p, c.utf8), c.quoted) << c.utf8;
}

TEST(RefreshManagerList, ButtonsFollowTheDetection) {
    FakePlatform p;
    ZelkoWorld world(p);
    FakePlatform::ProgramBehaviour detect;
    detect.onStart = [](FakePlatform& fake, common::ProcessId, const FakePlatform::StartRecord&) {
        fake.AddFile(kFolder + "FlashGot.test", "v\r\nGetRight|OK\r\nFlashGet|OK\r\nReGet\r\n");
    };
    p.OnProgram("FlashGot.exe", detect);
    struct Case {
        std::string dm;
        std::string selected;
    };
    const Case cases[] = {{"GetRight", "GetRight"}, {"ReGet", "FlashGet"}, {"Unknown", "Unknown"}};
    for (const Case& c : cases) {
        ZelkoSettings s;
        s.places.workFolder = kFolder;
        s.dm = c.dm;
        std::vector<ManagerButton> buttons;
        for (const char* name : ManagerTable) buttons.push_back({name});
        RefreshManagerList(p, kFolder, s, buttons);
        EXPECT_EQ(s.dm, c.selected);
        EXPECT_EQ(s.allDm, "GetRight;FlashGet;");
        for (const ManagerButton& b : buttons) {
            EXPECT_EQ(b.enabled, b.caption == "GetRight" || b.caption == "FlashGet") << b.caption;
            EXPECT_EQ(b.checked, b.caption == c.selected) << b.caption;
        }
    }
}

}  // namespace
}  // namespace zelko::testing
