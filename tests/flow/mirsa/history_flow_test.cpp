#include <gtest/gtest.h>

#include <functional>

#include "common/helpers.h"
#include "mirsa/description.h"
#include "mirsa/history.h"
#include "mirsa_world.h"

namespace mirsa::testing {
namespace {

const std::string H = "C:\\Pages\\";
const std::string kPage = "C:\\Pages\\MirsaHistory.html";

struct HistoryWorld {
    FakePlatform p;
    HistoryWorld() {
        p.SetResource("MRHISTORY", HistoryTemplate());
        p.AddFolder("C:\\Pages");
        p.SetLocalTime({2024, 5, 0, 5, 17, 10, 30, 0});
    }
    bool Add(const std::string& title, const std::string& file, bool newestFirst = false,
             const std::string& url = "http://a/") {
        return AddHistoryEntry(p, title, H + file, url, H, false, newestFirst);
    }
    std::string Page() const { return p.FileText(kPage).value_or(""); }
    std::string Body() const {
        std::string page = Page();
        std::size_t from = page.find(kContentLine);
        std::size_t to = page.rfind(kEndLine);
        if (from == std::string::npos || to == std::string::npos) return "<no anchors>";
        from += std::string(kContentLine).size() + 2;
        return page.substr(from, to - from);
    }
};

std::string Item(const std::string& time, const std::string& link, const std::string& title,
                 const std::string& address) {
    return "<tr><td>" + time + "</td>\r\n<td><a href=\"" + link + "\" target=\"_blank\"><b>" +
           title + "</b><br>" + address + "</a>\r\n</td></tr>\r\n";
}

TEST(MirsaHistory, FirstSaveCreatesThePage) {
    HistoryWorld w;
    ASSERT_TRUE(w.Add("First", "first.html"));
    EXPECT_EQ(w.Body(), "<h2>Sunday 05.05.2024</h2>\r\n<table>\r\n" +
                            Item("17:10:30", "first.html", "First", "http://a/") + "</table>\r\n");
    EXPECT_TRUE(common::StartsWith(w.Page(), HistoryTemplate().substr(0, 200)));
    EXPECT_FALSE(w.p.HasFile(kPage + ".tmp"));
    EXPECT_FALSE(w.p.HasFile("C:\\Pages\\MirsaHistory.bak"));
    ASSERT_TRUE(w.Add("Second", "second.html"));
    EXPECT_EQ(w.Body(), "<h2>Sunday 05.05.2024</h2>\r\n<table>\r\n" +
                            Item("17:10:30", "first.html", "First", "http://a/") +
                            Item("17:10:30", "second.html", "Second", "http://a/") +
                            "</table>\r\n");
}

TEST(MirsaHistory, NextDayInBothOrders) {
    for (bool newestFirst : {false, true}) {
        HistoryWorld w;
        w.Add("Old", "old.html", newestFirst);
        w.p.SetLocalTime({2024, 5, 0, 6, 8, 0, 0, 0});
        w.Add("New", "new.html", newestFirst);
        const std::string d1 = "<h2>Sunday 05.05.2024</h2>\r\n<table>\r\n" +
                               Item("17:10:30", "old.html", "Old", "http://a/") + "</table>\r\n";
        const std::string d2 = "<h2>Monday 06.05.2024</h2>\r\n<table>\r\n" +
                               Item("08:00:00", "new.html", "New", "http://a/") + "</table>\r\n";
        EXPECT_EQ(w.Body(), newestFirst ? d2 + d1 : d1 + d2);
    }
}

TEST(MirsaHistory, ShownTitlesAndAddresses) {
    HistoryWorld w;
    w.Add("<b>bold</b> & co", "a.html", false, "http://a/");
    w.Add("http://same/", "b b.html", false, "http://same/");
    w.Add("Config", "c.html", false, "opera:config");
    w.Add("", "d.html", false, "");
    AddHistoryEntry(w.p, "Pic", "D:\\Img\\p.jpg", "ftp://x/", H, false, false);
    AddHistoryEntry(w.p, "Ignored", H + "e.mht", "file://c/", H, true, false);
    // The address is the page's as much as the title: its angle brackets are escaped too.
    w.Add("Hostile", "f.html", false, "http://h/?q=<script>alert(1)</script>");
    const std::string b = w.Body();
    EXPECT_NE(b.find(Item("17:10:30", "a.html", "&lt;b&gt;bold&lt;/b&gt; & co", "http://a/")),
              std::string::npos);
    EXPECT_NE(b.find(Item("17:10:30", "b%20b.html", "http://same/", "")), std::string::npos);
    EXPECT_NE(b.find(Item("17:10:30", "c.html", "Config", "")), std::string::npos);
    EXPECT_NE(b.find(Item("17:10:30", "d.html", "d", "")), std::string::npos);
    EXPECT_NE(b.find(Item("17:10:30", "file://localhost/D:/Img/p.jpg", "Pic", "ftp://x/")),
              std::string::npos);
    EXPECT_NE(b.find(Item("17:10:30", "e.mht", "e", "file://c/")), std::string::npos);
    EXPECT_NE(b.find(Item("17:10:30", "f.html", "Hostile",
                          "http://h/?q=&lt;script&gt;alert(1)&lt;/script&gt;")),
              std::string::npos);
    EXPECT_EQ(b.find("<script>"), std::string::npos);
}

TEST(MirsaHistory, EntryIsConvertedToUtf8) {
    HistoryWorld w;
    w.Add("Caf\xE9", "caf\xE9.html");
    EXPECT_NE(w.Body().find("<b>Caf\xC3\xA9</b>"), std::string::npos);
    EXPECT_NE(w.Body().find("href=\"caf\xC3\xA9.html\""), std::string::npos);
}

TEST(MirsaHistory, LeftoverTmpGoesToBak) {
    HistoryWorld w;
    w.Add("One", "one.html");
    const std::string before = w.Page();
    w.p.AddFile(kPage + ".tmp", "crashed copy");
    w.Add("Two", "two.html");
    EXPECT_EQ(w.p.FileText("C:\\Pages\\MirsaHistory.bak"), "crashed copy");
    EXPECT_FALSE(w.p.HasFile(kPage + ".tmp"));
    EXPECT_NE(w.Page().find("two.html"), std::string::npos);
    EXPECT_NE(before.find("one.html"), std::string::npos);
}

// A page that cannot be updated stays as it was, leaves no copy and says
// so; the save run goes on.
TEST(MirsaHistory, PageThatCannotBeUpdatedSaysSo) {
    const struct {
        const char* name;
        std::function<void(FakePlatform&)> fault;
    } cases[] = {
        {"write fails", [](FakePlatform& fp) { fp.FailWritesTo(kPage); }},
        {"unreadable", [](FakePlatform& fp) { fp.SetUnreadable(kPage, true); }},
        {"lock refused", [](FakePlatform& fp) { fp.RefuseMutex("Mirsa_HistoryPage"); }},
    };
    for (const auto& c : cases) {
        HistoryWorld w;
        w.Add("One", "one.html");
        const std::string before = w.Page();
        c.fault(w.p);
        EXPECT_TRUE(w.Add("Two", "two.html")) << c.name;
        EXPECT_EQ(w.Page(), before) << c.name;
        EXPECT_EQ(w.p.FilesUnder("C:\\Pages"), std::vector<std::string>{kPage}) << c.name;
        ASSERT_EQ(w.p.MessageBoxes().size(), 1u) << c.name;
        EXPECT_EQ(w.p.MessageBoxes()[0].text, "Unable to update MirsaHistory.html!");
        EXPECT_EQ(w.p.MessageBoxes()[0].title, "Mirsa Error");
        EXPECT_EQ(w.p.MessageBoxes()[0].flags, common::mb::IconExclamation);
        EXPECT_FALSE(w.p.MutexHeldHere("Mirsa_HistoryPage")) << c.name;
    }
}

TEST(MirsaHistory, EmptyPageStartsFromTheTemplate) {
    HistoryWorld w;
    w.p.AddFile(kPage, "");
    ASSERT_TRUE(w.Add("One", "one.html"));
    EXPECT_NE(w.Body().find("one.html"), std::string::npos);
    EXPECT_EQ(KindOfPage(w.Page()), PageKind::Current);
}

TEST(MirsaHistory, OldFormatIsUpgradedOnce) {
    HistoryWorld w;
    const std::string old = "<html>\r\n<head>\r\n<meta name=\"description\" content=\"old\">\r\n"
                            "</head>\r\n<body>\r\n<h2>Friday 03.05.2024</h2>\r\n<table>\r\n"
                            "<tr><td>1</td><td><a href=\"x.html\">x</a></td></tr>\r\n</table>\r\n"
                            "</body></html>\r\n";
    w.p.AddFile(kPage, old);
    ASSERT_TRUE(w.Add("New", "new.html"));
    EXPECT_EQ(w.p.FileText(kPage + ".old"), old);
    EXPECT_EQ(w.Body(), "<h2>Friday 03.05.2024</h2>\r\n<table>\r\n"
                        "<tr><td>1</td><td><a href=\"x.html\">x</a></td></tr>\r\n</table>\r\n"
                        "<h2>Sunday 05.05.2024</h2>\r\n<table>\r\n" +
                            Item("17:10:30", "new.html", "New", "http://a/") + "</table>\r\n");
    // A larger .old copy is kept.
    HistoryWorld big;
    big.p.AddFile(kPage, old);
    big.p.AddFile(kPage + ".old", old + std::string(1000, 'x'));
    big.Add("New", "new.html");
    EXPECT_EQ(big.p.FileText(kPage + ".old"), old + std::string(1000, 'x'));
}

TEST(MirsaHistory, DamagedOldFormatShowsTheBox) {
    HistoryWorld w;
    const std::string old = "1\r\n2\r\n3\r\n4\r\n5\r\n<table><tr><td>x</td></tr></table>\r\n";
    w.p.AddFile(kPage, old);
    EXPECT_FALSE(w.Add("New", "new.html"));
    ASSERT_EQ(w.p.MessageBoxes().size(), 1u);
    EXPECT_EQ(w.p.MessageBoxes()[0].text, "Unable to update MirsaHistory.html!");
    EXPECT_EQ(w.p.MessageBoxes()[0].title, "Mirsa Error");
    EXPECT_EQ(w.p.MessageBoxes()[0].flags, common::mb::IconExclamation);
    EXPECT_EQ(w.Page(), old);
    EXPECT_EQ(w.p.FileText(kPage + ".tmp"), old);
    EXPECT_EQ(w.p.FileText(kPage + ".old"), old);
}

TEST(MirsaHistory, CurrentFormatWithoutAnchorsIsKeptAndRebuilt) {
    struct Case {
        const char* what;
        std::string page;
        bool keepsItem;
    } cases[] = {
        {"four lines", "a\r\nb\r\nc\r\nd\r\n", false},
        {"truncated", "", true},
        {"binary", std::string("\x00\xff\x01\r\n", 5), false},
    };
    HistoryWorld seed;
    seed.Add("Kept", "kept.html");
    const std::string full = seed.Page();
    cases[1].page = full.substr(0, full.find("</table>") + 10) + "<h2>cut";
    for (const auto& c : cases) {
        HistoryWorld w;
        w.p.AddFile(kPage, c.page);
        ASSERT_TRUE(w.Add("New", "new.html")) << c.what;
        EXPECT_TRUE(w.p.MessageBoxes().empty()) << c.what;
        EXPECT_EQ(w.p.FileText("C:\\Pages\\MirsaHistory_damaged.html"), c.page) << c.what;
        EXPECT_EQ(KindOfPage(w.Page()), PageKind::Current) << c.what;
        EXPECT_NE(w.Body().find("new.html"), std::string::npos) << c.what;
        EXPECT_EQ(w.Body().find("kept.html") != std::string::npos, c.keepsItem) << c.what;
    }
}

TEST(MirsaHistory, LargePageGrowsByOneItem) {
    HistoryWorld w;
    w.Add("Seed", "seed.html");
    std::string page = w.Page();
    // About 50 MB of items in one day.
    std::string many;
    const std::string filler(200, 'x');
    for (int i = 0; many.size() < 50u * 1024 * 1024; ++i)
        many += Item("10:00:00", "f" + std::to_string(i) + ".html", filler, "");
    page.insert(page.find("</table>"), many);
    w.p.AddFile(kPage, page);
    w.Add("Last", "last.html");
    EXPECT_EQ(w.Page().size(), page.size() + Item("17:10:30", "last.html", "Last", "http://a/").size());
}

// Another saver holds the page as long as its update takes, here ten
// minutes on a slow share: its item and ours both stay, and this program's
// messages are taken meanwhile.
TEST(MirsaHistory, ConcurrentSaverIsWaitedForHoweverLong) {
    for (const std::uint32_t holdMs : {5000u, 600000u}) {
        HistoryWorld w;
        w.Add("First", "first.html");
        HistoryWorld other;
        other.p.AddFile(kPage, w.Page());
        other.Add("Theirs", "theirs.html");
        w.p.HoldMutexElsewhere("Mirsa_HistoryPage");
        w.p.Schedule(holdMs, [&other](FakePlatform& fp) {
            fp.AddFile(kPage, other.Page());
            fp.ReleaseMutexElsewhere("Mirsa_HistoryPage");
        });
        std::uint64_t pumpedAt = 0;
        w.p.QueueMessage([&pumpedAt](FakePlatform& fp) { pumpedAt = fp.ElapsedMs(); });
        const std::uint64_t start = w.p.ElapsedMs();
        EXPECT_TRUE(w.Add("Ours", "ours.html"));
        w.p.AdvanceClock(holdMs);  // the other saver is done by now in any case
        EXPECT_GE(w.p.ElapsedMs() - start, holdMs);
        EXPECT_GT(pumpedAt, start);
        EXPECT_LT(pumpedAt, start + holdMs);
        for (const char* file : {"first.html", "theirs.html", "ours.html"})
            EXPECT_NE(w.Body().find(file), std::string::npos) << holdMs << " " << file;
        EXPECT_TRUE(w.p.MessageBoxes().empty());
        EXPECT_FALSE(w.p.MutexHeldHere("Mirsa_HistoryPage"));
    }
}

TEST(MirsaHistory, MarkupInTheAddressStaysText) {
    HistoryWorld w;
    w.Add("T", "t.html", false, "http://a/\"><script>alert(1)</script>");
    EXPECT_EQ(w.Body().find("<script"), std::string::npos);
    EXPECT_NE(w.Body().find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
}

// A page or list that is there but cannot be read (no read access) is left
// exactly as it is, and nothing is recorded in it; a box says which.
TEST(MirsaSharedFiles, UnreadableFilesAreLeftAlone) {
    struct Case {
        const char* name;
        std::string unreadable;
    } cases[] = {
        {"history page", kPage},
        {"description file", H + "descript.ion"},
    };
    for (const auto& c : cases) {
        HistoryWorld w;
        w.p.AddFile(kPage, HistoryTemplate());
        w.p.AddFile(H + "descript.ion", "old.html http://o/\r\n");
        w.p.SetUnreadable(c.unreadable, true);
        EXPECT_TRUE(w.Add("One", "one.html")) << c.name;
        AddDescription(w.p, H + "one.html", "http://a/", false);
        const bool historyUnreadable = c.unreadable == kPage;
        ASSERT_EQ(w.p.MessageBoxes().size(), 1u) << c.name;
        EXPECT_EQ(w.p.MessageBoxes()[0].text, historyUnreadable
                                                  ? "Unable to update MirsaHistory.html!"
                                                  : "Unable to update " + H + "descript.ion!")
            << c.name;
        EXPECT_EQ(w.Page() == HistoryTemplate(), historyUnreadable) << c.name;
        EXPECT_EQ(w.p.FileText(H + "descript.ion") == "old.html http://o/\r\n", !historyUnreadable)
            << c.name;
        EXPECT_EQ(w.p.FilesUnder(H).size(), 2u) << c.name;  // no .tmp, .bak or fresh copy
        EXPECT_FALSE(w.p.MutexHeldHere("Mirsa_HistoryPage")) << c.name;
        EXPECT_FALSE(w.p.MutexHeldHere("Mirsa_DescriptIon")) << c.name;
    }
}

TEST(MirsaSharedFiles, DescriptionWaitsForAnotherSaverHoweverLong) {
    for (const std::uint32_t holdMs : {3000u, 600000u}) {
        FakePlatform p;
        p.AddFolder("C:\\S");
        p.AddFile("C:\\S\\descript.ion", "a.html http://a/\r\n");
        p.HoldMutexElsewhere("Mirsa_DescriptIon");
        // The other saver adds its line while it holds the lock.
        p.Schedule(holdMs, [](FakePlatform& fp) {
            fp.AddFile("C:\\S\\descript.ion", "a.html http://a/\r\nb.html http://b/\r\n");
            fp.ReleaseMutexElsewhere("Mirsa_DescriptIon");
        });
        AddDescription(p, "C:\\S\\c.html", "http://c/", false);
        EXPECT_EQ(p.FileText("C:\\S\\descript.ion"),
                  "a.html http://a/\r\nb.html http://b/\r\nc.html http://c/\r\n")
            << holdMs;
        EXPECT_FALSE(p.MutexHeldHere("Mirsa_DescriptIon"));
    }
}

TEST(MirsaSharedFiles, UniqueNamesAreTakenWhenHandedOut) {
    FakePlatform p;
    p.AddFolder("C:\\S\\b.html");
    const struct {
        std::string asked, given;
    } cases[] = {
        {"C:\\S\\a.html", "C:\\S\\a.html"},
        {"C:\\S\\a.html", "C:\\S\\a_1.html"},  // nothing written to a.html meanwhile
        {"C:\\S\\a.html", "C:\\S\\a_2.html"},
        {"C:\\S\\b.html", "C:\\S\\b_1.html"},  // a folder holds the name
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UniqueFileName(p, c.asked), c.given) << c.asked;
        EXPECT_TRUE(p.HasFile(c.given)) << c.given;
    }
}

TEST(MirsaDescription, WritesAndHides) {
    FakePlatform p;
    p.AddFolder("C:\\S");
    AddDescription(p, "C:\\S\\page.html", "http://a/", false);
    EXPECT_EQ(p.FileText("C:\\S\\descript.ion"), "page.html http://a/\r\n");
    EXPECT_TRUE(p.IsHidden("C:\\S\\descript.ion"));
    AddDescription(p, "C:\\S\\My page.html", "http://b/", false);
    EXPECT_EQ(p.FileText("C:\\S\\descript.ion"),
              "page.html http://a/\r\n\"My page.html\" http://b/\r\n");

    p.AddFile("C:\\S\\descript.ion", "old.htm some text");
    p.SetReadOnly("C:\\S\\descript.ion", true);
    AddDescription(p, "C:\\S\\Title_files\\index.html", "http://c/", true);
    EXPECT_EQ(p.FileText("C:\\S\\descript.ion"), "old.htm some text\r\nTitle.html http://c/\r\n");
    EXPECT_TRUE(p.IsHidden("C:\\S\\descript.ion"));
    EXPECT_FALSE(p.IsReadOnly("C:\\S\\descript.ion"));
}

}  // namespace
}  // namespace mirsa::testing
