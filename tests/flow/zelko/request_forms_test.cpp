#include <gtest/gtest.h>

#include <functional>

#include "tests/flow/zelko/zelko_world.h"
#include "zelko/handoff.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

class RequestForms : public ::testing::Test {
protected:
    FakePlatform p;
    ZelkoWorld world{p};

    void AnswerDde(const std::optional<std::string>& reply) {
        p.AddDdeResponder("Opera", "WWW_GetWindowInfo",
                          [reply](FakePlatform&, const std::string& item) -> std::optional<std::string> {
                              if (item != "0xFFFFFFFF") return std::nullopt;
                              return reply;
                          });
    }
};

TEST_F(RequestForms, UrlFormHandsAOneLinkJobToFlashGotAndDeletesIt) {
    world.Set("Advanced", "0");
    StartResult r = world.Run("http://host.com/dir/file.zip");
    EXPECT_EQ(r.mode, StartMode::RequestDone);
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].first, kFirstJob);
    // No DDE server answers and the start attempt fails: the site root.
    EXPECT_EQ(world.flashGotJobs[0].second,
              UrlJob("FlashGet", "http://host.com/", "http://host.com/dir/file.zip"));
    auto starts = p.StartsOf("FlashGot.exe");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine, "\"" + kFlashGot + "\" \"" + kFirstJob + "\"");
    EXPECT_EQ(starts[0].showWindow, common::sw::Hide);
    EXPECT_EQ(starts[0].creationFlags, 0x10u | 0x08000000u);
    EXPECT_EQ(starts[0].currentFolder, kFolder);
    EXPECT_FALSE(p.HasFile(kFirstJob));
    EXPECT_TRUE(p.MessageBoxes().empty());
}

TEST_F(RequestForms, ReferrerSources) {
    struct Case {
        const char* name;
        bool browser;
        bool useDde;
        std::optional<std::string> reply;
        std::string tail;
        std::string referrer;
    };
    const Case cases[] = {
        {"dde reply", true, true, "\"http://page/a.html\",\"Title\"", "http://h.com/f.zip",
         "http://page/a.html"},
        {"malformed reply", true, true, "garbage", "http://h.com/f.zip", "http://h.com/"},
        {"empty reply", true, true, "", "http://h.com/f.zip", "http://h.com/"},
        {"UseDDE off", true, false, "\"http://page/\",\"T\"", "http://h.com/f.zip", "http://h.com/"},
        {"no opera.dll", false, true, "\"http://page/\",\"T\"", "http://h.com/f.zip", "http://h.com/"},
        {"host only", true, false, std::nullopt, "http://h.com", ""},
        {"second argument", true, true, "\"http://page/\",\"T\"", "http://h.com/f.zip http://ref/",
         "http://ref/"},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake, c.browser);
        w.Set("Advanced", "0");
        w.Set("UseDDE", c.useDde ? "1" : "0");
        if (c.reply)
            fake.AddDdeResponder("Opera", "WWW_GetWindowInfo",
                                 [reply = *c.reply](FakePlatform&, const std::string&) {
                                     return std::optional<std::string>(reply);
                                 });
        w.Run(c.tail);
        ASSERT_EQ(w.flashGotJobs.size(), 1u) << c.name;
        std::string url = c.tail.substr(0, c.tail.find(' '));
        EXPECT_EQ(w.flashGotJobs[0].second, UrlJob("FlashGet", c.referrer, url)) << c.name;
        bool asked = false;
        for (const auto& d : fake.DdeLog()) asked |= d.kind == FakePlatform::DdeRecord::Request;
        EXPECT_EQ(asked, c.reply && c.browser && c.useDde && c.tail.find(' ') == std::string::npos)
            << c.name;
        EXPECT_EQ(fake.OpenDdeConversations(), 0u) << c.name;
    }
}

TEST_F(RequestForms, DdeStartAttemptOnce) {
    world.Set("Advanced", "0");
    world.Run("http://h.com/f.zip");
    std::vector<std::string> lines = world.CommandLines();
    ASSERT_GE(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Opera WWW_GetWindowInfo");
    EXPECT_EQ(p.Starts()[0].showWindow, common::sw::ShowMinNoActive);
    EXPECT_EQ(p.StartsOf("FlashGot.exe").size(), 1u);
}

TEST_F(RequestForms, SelectionBecomesTheDescription) {
    struct Case {
        std::optional<std::string> before;
        std::string selection;
        std::string description;
        std::optional<std::string> after;
    };
    const Case cases[] = {
        {std::string("old text"), "Pick\r\nme\ttoo\nplease", "Pick me\ttoo please", std::string("old text")},
        {std::nullopt, "caf\xE9", "caf\xC3\xA9", std::string("caf\xE9")},
        {std::string("same"), "", "", std::string("same")},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        fake.SetClipboard(c.before);
        std::string selection = c.selection;
        fake.AddKeyObserver([selection](FakePlatform& f, const FakePlatform::KeyRecord& key) {
            if (key.virtualKey == common::vk::Insert && !key.keyUp && f.IsKeyDown(common::vk::Control) &&
                !selection.empty())
                f.SetClipboard(selection);
        });
        w.Run("http://h.com/f.zip");
        ASSERT_EQ(w.flashGotJobs.size(), 1u);
        EXPECT_EQ(w.flashGotJobs[0].second,
                  UrlJob("FlashGet", "http://h.com/", "http://h.com/f.zip", c.description));
        EXPECT_EQ(fake.Clipboard(), c.after);
    }
}

TEST_F(RequestForms, ThirdArgumentOverridesTheSelectionAndUrlIsRepaired) {
    p.SetClipboard(std::string("x"));
    world.Run("hxxp://h.com/f.zip \"http://ref/\" \"Big \xE9 file\"");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].second,
              UrlJob("FlashGet", "http://ref/", "http://h.com/f.zip", "Big \xC3\xA9 file"));
    EXPECT_TRUE(p.Keys().empty());
}

TEST_F(RequestForms, JobFileGivenByTheBrowser) {
    const std::string job = "C:\\TEMP\\page.zlk";
    p.AddFile(job, "1;My_Download_Manager;2;;\r\nhttp://page/\r\nhttp://page/f.zip\r\nF\r\nc=1\r\n\r\n");
    world.Run("\"" + job + "\"");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].first, job);
    EXPECT_EQ(world.flashGotJobs[0].second,
              "1;FlashGet;2;;\r\nhttp://page/\r\nhttp://page/f.zip\r\nF\r\nc=1\r\n\r\n");
    EXPECT_FALSE(p.HasFile(job));
}

// The cookie lines come from the page's script: what the receivers get is
// decided again from the job's page address and each link.
TEST_F(RequestForms, JobFileCookiesGoOnlyWithinThePagesSite) {
    const std::string job = "C:\\TEMP\\page.zlk";
    auto link = [](const std::string& url, const std::string& cookies) {
        return url + "\r\nd\r\n" + cookies + "\r\n\r\n";
    };
    p.AddFile(job, "4;My_Download_Manager;2;;\r\nhttps://site-a.github.io/p.html\r\n" +
                       link("https://site-a.github.io/a.zip", "s=1; ") +
                       link("https://site-b.github.io/b.zip", "s=1; ") +
                       link("http://site-a.github.io/c.zip", "s=1; ") +
                       link("https://dl.site-a.github.io:444/d.zip", "s=1; "));
    world.Run("\"" + job + "\"");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].second,
              "4;FlashGet;2;;\r\nhttps://site-a.github.io/p.html\r\n" +
                  link("https://site-a.github.io/a.zip", "s=1; ") +
                  link("https://site-b.github.io/b.zip", "") +
                  link("http://site-a.github.io/c.zip", "") +
                  link("https://dl.site-a.github.io:444/d.zip", "s=1; "));

    // A receiver started directly gets the first link's fields.
    FakePlatform fake;
    ZelkoWorld w(fake);
    const std::string ida = "C:\\IDA\\ida.exe";
    fake.AddFile(ida, "MZ");
    fake.SetRegistryUserString(kInternetDownloadAcceleratorKey, "ExeFile", ida);
    w.Set("DM", kInternetDownloadAccelerator);
    fake.AddFile(job, "1;My_Download_Manager;2;;\r\nhttp://www.bank.co.uk/\r\n" +
                          link("http://other.co.uk/f.zip", "s=1; "));
    w.Run("\"" + job + "\"");
    ASSERT_EQ(fake.StartsOf(ida).size(), 1u);
    EXPECT_EQ(fake.StartsOf(ida)[0].commandLine,
              ida + " \"http://other.co.uk/f.zip\" \"http://www.bank.co.uk/\" description=\"d\" post=\"\" cookies=\"\"");
}

// FlashGot.exe reads the job from disk. Where the browser's job file cannot be
// replaced it gets a fresh job of Zelko's own holding what the cookie rule
// left, or nothing: never the job as the page wrote it.
TEST_F(RequestForms, JobFileThatCannotBeRewrittenIsNeverHandedOnAsItCame) {
    const std::string job = "C:\\TEMP\\page.zlk";
    const std::string page = "1;My_Download_Manager;2;;\r\nhttps://alice.duckdns.org/\r\n"
                             "https://xn--alice-.duckdns.org/f.zip\r\nF\r\nsid=1\r\n\r\n";
    const std::string ruled = "1;FlashGet;2;;\r\nhttps://alice.duckdns.org/\r\n"
                              "https://xn--alice-.duckdns.org/f.zip\r\nF\r\n\r\n\r\n";
    struct Case {
        const char* name;
        std::function<void(FakePlatform&)> block;
        bool handedOn;
    };
    const Case cases[] = {
        {"read-only folder", [&](FakePlatform& f) { f.FailWritesTo(job + ".~new"); }, true},
        {"read-only job file", [&](FakePlatform& f) { f.SetReadOnly(job, true); }, true},
        {"nowhere to write", [&](FakePlatform& f) { f.FailAllWrites(true); }, false},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        fake.AddFile(job, page);
        c.block(fake);
        w.Run("\"" + job + "\"");
        if (c.handedOn) {
            ASSERT_EQ(w.flashGotJobs.size(), 1u) << c.name;
            EXPECT_EQ(w.flashGotJobs[0].first, kFirstJob) << c.name;
            EXPECT_EQ(w.flashGotJobs[0].second, ruled) << c.name;
            EXPECT_FALSE(fake.HasFile(kFirstJob)) << c.name;
            EXPECT_TRUE(fake.MessageBoxes().empty()) << c.name;
            continue;
        }
        EXPECT_TRUE(w.flashGotJobs.empty()) << c.name;
        EXPECT_EQ(fake.FileText(job), page) << c.name;
        ASSERT_EQ(fake.MessageBoxes().size(), 1u) << c.name;
        EXPECT_EQ(fake.MessageBoxes()[0].text,
                  "Zelko could not write the job for FlashGot.exe, so nothing was handed over\r\n"
                  "\r\nhttps://xn--alice-.duckdns.org/f.zip\r\n\r\n"
                  "These links are kept in the job file \"" + job + "\". To send them again, run:\r\n"
                  "\"C:\\Opera\\Zelko\\Zelko.exe\" \"" + job + "\"");
        EXPECT_EQ(fake.MessageBoxes()[0].title, "Zelko Error");
        EXPECT_EQ(fake.MessageBoxes()[0].flags, 0x40000u | 0x10u);
    }
}

TEST_F(RequestForms, BadJobFiles) {
    struct Case {
        const char* name;
        std::string arg;
        std::optional<std::string> content;  // nullopt: no file
        bool folder;
        bool box;
        bool handedOn;
    };
    const std::string six = "1;x;2;;\r\nr\r\nu\r\nd\r\nc\r\np\r\n";
    std::string exact = six + std::string(1000000 - six.size(), 'x');
    const Case cases[] = {
        {"missing", "C:\\TEMP\\none.zlk", std::nullopt, false, true, false},
        {"folder", "C:\\TEMP\\dir", std::nullopt, true, true, false},
        {"1,000,000 bytes", "C:\\TEMP\\big.zlk", exact, false, false, true},
        {"1,000,001 bytes", "C:\\TEMP\\big.zlk", exact + "x", false, true, false},
        {"five lines", "C:\\TEMP\\short.zlk", std::string("1;x;2;;\r\nr\r\nu\r\nd\r\nc\r\n"), false,
         false, false},
        {"lone LF", "C:\\TEMP\\lf.zlk", std::string("1;x;2;;\nr\nu\nd\nc\np\n"), false, false, false},
        {"empty", "C:\\TEMP\\empty.zlk", std::string(), false, false, false},
        {"binary", "C:\\TEMP\\bin.zlk", std::string("\x00\x01\xff\r\n\x00", 6), false, false, false},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        if (c.content) fake.AddFile(c.arg, *c.content);
        if (c.folder) fake.AddFolder(c.arg);
        fake.AddFile("C:\\TEMP\\keep.txt", "keep");
        const std::size_t filesBefore = fake.FilesUnder().size();
        w.Run("\"" + c.arg + "\"");
        if (c.box) {
            ASSERT_EQ(fake.MessageBoxes().size(), 1u) << c.name;
            EXPECT_EQ(fake.MessageBoxes()[0].text, "Not exist file \"" + c.arg + "\"") << c.name;
            EXPECT_EQ(fake.MessageBoxes()[0].title, "Zelko Error");
            EXPECT_EQ(fake.MessageBoxes()[0].flags, 0x40000u | 0x10u);
            EXPECT_EQ(fake.MessageBoxes()[0].owner, 0u);
            EXPECT_EQ(fake.FilesUnder().size(), filesBefore) << c.name;
            EXPECT_EQ(fake.HasFolder(c.arg), c.folder);
        } else {
            EXPECT_TRUE(fake.MessageBoxes().empty()) << c.name;
            EXPECT_FALSE(fake.HasFile(c.arg)) << c.name;
            EXPECT_EQ(fake.FilesUnder().size(), filesBefore - 1) << c.name;
        }
        EXPECT_EQ(w.flashGotJobs.size(), c.handedOn ? 1u : 0u) << c.name;
        EXPECT_TRUE(fake.HasFile("C:\\TEMP\\keep.txt"));
    }
}

TEST_F(RequestForms, ArgumentThatHoldsBothSlashesIsAJobPath) {
    world.Run("C:\\dir/file.zlk");
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text, "Not exist file \"C:\\dir/file.zlk\"");
}

TEST_F(RequestForms, LinkCollectionForm) {
    p.AddFile("C:\\TEMP\\page.htm",
              "<a href=\"/a.zip\">A &copy;</a><a href=b.zip>B</a><img src=\"i.png\">");
    world.Run("C:\\TEMP\\page.htm \"http://site.org/dir/p.html\" DOWNLOAD LNK");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].first, kFirstJob);
    EXPECT_EQ(world.flashGotJobs[0].second,
              "2;FlashGet;2;;\r\nhttp://site.org/dir/p.html\r\n"
              "http://site.org/a.zip\r\nA \xC2\xA9\r\n\r\n\r\n"
              "http://site.org/dir/b.zip\r\nB\r\n\r\n\r\n");
    EXPECT_TRUE(p.HasFile("C:\\TEMP\\page.htm"));
    EXPECT_FALSE(p.HasFile(kFirstJob));
}

TEST_F(RequestForms, LineBreaksInQuotedArgumentsStayInTheirLine) {
    struct Case {
        const char* name;
        std::string tail;
        std::string job;
    };
    const Case cases[] = {
        {"url and referrer", "\"http://h.com/a\r\n1;x;0;;\" \"http://ref/\rb\nc\" \"d\r\ne\"",
         UrlJob("FlashGet", "http://ref/ b c", "http://h.com/a 1;x;0;;", "d e")},
        {"page url", "C:\\TEMP\\page.htm \"http://site.org/p\r\nevil\" DOWNLOAD LNK",
         "1;FlashGet;2;;\r\nhttp://site.org/p evil\r\nhttp://site.org/a.zip\r\nA\r\n\r\n\r\n"},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        w.Set("Advanced", "0");
        fake.AddFile("C:\\TEMP\\page.htm", "<a href=\"http://site.org/a.zip\">A</a>");
        w.Run(c.tail);
        ASSERT_EQ(w.flashGotJobs.size(), 1u) << c.name;
        EXPECT_EQ(w.flashGotJobs[0].second, c.job) << c.name;
    }
}

TEST_F(RequestForms, LinkCollectionOfImagesInAUtf16Page) {
    std::string page = "\xFF\xFE";
    for (char c : std::string("<img src=\"x.png\"><a href=y>Y</a>")) {
        page += c;
        page += '\0';
    }
    p.AddFile("C:\\TEMP\\u16.htm", page);
    world.Run("C:\\TEMP\\u16.htm http://s/ DOWNLOAD IMG");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].second, "1;FlashGet;2;;\r\nhttp://s/\r\nhttp://s/x.png\r\n\r\n\r\n\r\n");
}

TEST_F(RequestForms, PagesThatGiveNoJob) {
    struct Case {
        const char* name;
        std::optional<std::string> page;
    };
    const Case cases[] = {
        {"missing page", std::nullopt},
        {"one byte", std::string("<")},
        {"no anchors", std::string("<html>text only</html>")},
        {"binary", std::string("\x00\x01<a href=x>x</a>", 17)},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        ZelkoWorld w(fake);
        if (c.page) fake.AddFile("C:\\TEMP\\p.htm", *c.page);
        w.Run("C:\\TEMP\\p.htm http://s/ DOWNLOAD LNK");
        EXPECT_TRUE(w.flashGotJobs.empty()) << c.name;
        EXPECT_FALSE(fake.HasFile(kFirstJob)) << c.name;
        EXPECT_EQ(fake.HasFile("C:\\TEMP\\p.htm"), c.page.has_value()) << c.name;
    }
}

TEST_F(RequestForms, DownloadKindMustHaveThreeCharacters) {
    world.Run("C:\\TEMP\\p.htm http://s/ DOWNLOAD IMGS");
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text, "Not exist file \"C:\\TEMP\\p.htm\"");
}

// Some browser versions pass a button's whole parameter text as one argument.
TEST_F(RequestForms, OneArgumentHoldingTheWholeLinkCollectionForm) {
    const std::string page = "<a href=\"/a.zip\">A</a><img src=\"i.png\">";
    struct Case {
        const char* name;
        std::string arg;
        std::string pageFile;  // where the page lies; empty: the argument is no page form
        std::string job;       // what FlashGot.exe got; empty: the "Not exist file" box
    };
    const std::string links = "1;FlashGet;2;;\r\nhttp://site.org/d/p.html\r\nhttp://site.org/a.zip\r\nA\r\n\r\n\r\n";
    const std::string images = "1;FlashGet;2;;\r\nhttp://site.org/d/p.html\r\nhttp://site.org/d/i.png\r\n\r\n\r\n\r\n";
    const Case cases[] = {
        {"links", "C:\\TEMP\\page.htm http://site.org/d/p.html DOWNLOAD LNK", "C:\\TEMP\\page.htm", links},
        {"images", "C:\\TEMP\\page.htm http://site.org/d/p.html DOWNLOAD IMG", "C:\\TEMP\\page.htm", images},
        {"blanks in the path", "C:\\My Pages\\saved  page .htm http://site.org/d/p.html DOWNLOAD LNK",
         "C:\\My Pages\\saved  page .htm", links},
        {"the words in the path", "C:\\x\\DOWNLOAD LNK\\p.htm http://site.org/d/p.html DOWNLOAD LNK",
         "C:\\x\\DOWNLOAD LNK\\p.htm", links},
        {"an address in the path", "C:\\http www.b.org\\p.htm https://site.org/d/p.html DOWNLOAD LNK",
         "C:\\http www.b.org\\p.htm",
         "1;FlashGet;2;;\r\nhttps://site.org/d/p.html\r\nhttps://site.org/a.zip\r\nA\r\n\r\n\r\n"},
        {"lower-case word", "C:\\TEMP\\page.htm http://site.org/d/p.html download LNK", "", ""},
        {"kind of four letters", "C:\\TEMP\\page.htm http://site.org/d/p.html DOWNLOAD LNKS", "", ""},
        {"no address", "C:\\TEMP\\page.htm DOWNLOAD LNK", "", ""},
        {"an address without a scheme", "C:\\TEMP\\page.htm site.org/p.html DOWNLOAD LNK", "", ""},
        {"two blanks before the address", "C:\\TEMP\\page.htm  http://site.org/d/p.html DOWNLOAD LNK", "", ""},
        {"tab before the kind", "C:\\TEMP\\page.htm http://site.org/d/p.html DOWNLOAD\tLNK", "", ""},
        {"a page address that ends in the words",
         "C:\\TEMP\\page.htm http://evil.org/x DOWNLOAD IMG DOWNLOAD LNK", "", ""},
        {"blank after the kind", "C:\\TEMP\\page.htm http://site.org/d/p.html DOWNLOAD LNK ", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        ZelkoWorld w(fake);
        fake.AddFile(c.pageFile.empty() ? "C:\\TEMP\\page.htm" : c.pageFile, page);
        w.Run("\"" + c.arg + "\"");
        if (c.job.empty()) {
            ASSERT_EQ(fake.MessageBoxes().size(), 1u);
            EXPECT_EQ(fake.MessageBoxes()[0].text, "Not exist file \"" + c.arg + "\"");
            EXPECT_TRUE(w.flashGotJobs.empty());
            continue;
        }
        EXPECT_TRUE(fake.MessageBoxes().empty());
        ASSERT_EQ(w.flashGotJobs.size(), 1u);
        EXPECT_EQ(w.flashGotJobs[0].second, c.job);
        EXPECT_TRUE(fake.HasFile(c.pageFile));
    }
}

TEST_F(RequestForms, EachRequestWritesAJobOfItsOwn) {
    p.AddFile(kFirstJob, "another request's job");
    p.AddFile(kFolder + "flashgot_2.fgt", "and another");
    world.Set("Advanced", "0");
    world.Run("http://h.com/f.zip");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].first, kFolder + "flashgot_3.fgt");
    EXPECT_EQ(p.FileText(kFirstJob), "another request's job");
    EXPECT_EQ(p.FileText(kFolder + "flashgot_2.fgt"), "and another");
    EXPECT_FALSE(p.HasFile(kFolder + "flashgot_3.fgt"));
    EXPECT_FALSE(p.MutexHeldHere(kJobNameMutex));
}

TEST_F(RequestForms, UnwritableProgramFolderFallsBackToTemp) {
    world.Set("Advanced", "0");
    p.FailWritesTo(kFirstJob);
    world.Run("http://h.com/f.zip");
    ASSERT_EQ(world.flashGotJobs.size(), 1u);
    EXPECT_EQ(world.flashGotJobs[0].first, p.TempFolder() + "flashgot.fgt");
    EXPECT_FALSE(p.HasFile(p.TempFolder() + "flashgot.fgt"));
}

TEST_F(RequestForms, SettingsModeTakesTheMutex) {
    StartResult r = world.Run("");
    EXPECT_EQ(r.mode, StartMode::Settings);
    EXPECT_NE(r.settingsMutex, 0u);
    EXPECT_TRUE(p.MutexHeldHere("JustOne_Zelko"));
    EXPECT_TRUE(r.browserInstalled);

    FakePlatform other;
    ZelkoWorld second(other);
    other.HoldMutexElsewhere("JustOne_Zelko");
    EXPECT_EQ(second.Run("\"\"").mode, StartMode::AlreadyOpen);
    EXPECT_TRUE(other.MessageBoxes().empty());
    EXPECT_TRUE(other.Starts().empty());
}

TEST_F(RequestForms, FirstRunDetectsManagersAndWritesThem) {
    world.Set("DM", "");
    FakePlatform::ProgramBehaviour detect;
    detect.onStart = [](FakePlatform& fake, common::ProcessId, const FakePlatform::StartRecord& s) {
        if (s.commandLine.find(" -o ") != std::string::npos)
            fake.AddFile(kFolder + "FlashGot.test", "FlashGot 1.0\r\nA|OK\r\nB\r\nC|OK\r\n");
    };
    p.OnProgram("FlashGot.exe", detect);
    StartResult r = world.Run("");
    EXPECT_TRUE(r.settings.firstRun);
    auto starts = p.StartsOf("FlashGot.exe");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].commandLine,
              "\"" + kFlashGot + "\"  -o \"" + kFolder + "FlashGot.test\"");
    EXPECT_EQ(starts[0].showWindow, common::sw::Hide);
    EXPECT_EQ(world.Get("DM"), "C");
    EXPECT_EQ(world.Get("AllDM"), "A;C;");
    EXPECT_TRUE(p.HasFile(kFolder + "FlashGot.test"));
}

TEST_F(RequestForms, FirstRunWithoutFlashGotSelectsNo) {
    world.Set("DM", "");
    p.RemovePath(kFlashGot);
    p.OnProgram("FlashGot.exe", FakePlatform::ProgramBehaviour{.failStart = true});
    world.Run("http://h.com/f.zip");
    EXPECT_EQ(world.Get("DM"), "No");
    EXPECT_EQ(world.Get("AllDM"), "");
    // Handed to nobody: the job stays and a box says so.
    EXPECT_TRUE(p.HasFile(kFirstJob));
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text.substr(0, 40), "No download manager is chosen: start Zel");
}

TEST_F(RequestForms, FlashGotIsWaitedForAtMost100Seconds) {
    FakePlatform::ProgramBehaviour hangs;
    hangs.exitAfterMs = std::nullopt;
    p.OnProgram("FlashGot.exe", hangs);
    world.Set("Advanced", "0");
    world.Run("http://h.com/f.zip");
    EXPECT_GE(p.ElapsedMs(), 100000u);
    EXPECT_LT(p.ElapsedMs(), 101000u);
    EXPECT_FALSE(p.HasFile(kFirstJob));
    EXPECT_EQ(p.OpenProcessHandles(), 0u);
}

}  // namespace
}  // namespace zelko::testing
