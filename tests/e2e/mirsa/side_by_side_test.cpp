// Twenty Mirsa.exe at once under Wine: ten quick saves of handed-over pages
// and ten PNG quick saves of the same page. Every run gets a file of its own,
// a history item and a descript.ion line; nothing is lost or left behind.
#include "tests/e2e/mirsa/mirsa_setup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(MirsaSideBySide, TenPageHandOversAndTenScreenshotsAtOnce) {
    MirsaSetup m("Description=1\r\n");
    StubBrowser browser(m.Browser("Same Page", {}));
    ASSERT_TRUE(browser.ready());
    constexpr int kEach = 10;
    std::vector<Background> runs;
    for (int i = 0; i < kEach; ++i) {
        const std::string handed = m.folder() + "opr" + std::to_string(i) + ".htm";
        WriteHostFile(m.Host(handed), "<html><body>page " + std::to_string(i) +
                                          "</body><!-- Mirsa settings /method=quick "
                                          "/url=http://p.example/" + std::to_string(i) +
                                          " /text=Page --></html>");
        runs.push_back(m.Start(" " + handed));
        runs.push_back(m.Start(" /format=png /method=quick /text=Shot /url=http://s.example/" +
                               std::to_string(i)));
    }
    for (auto& run : runs) EXPECT_TRUE(run.Wait(240000).has_value());

    std::set<std::string> pages, shots, others;
    for (const auto& entry : fs::directory_iterator(m.Host(m.pages()))) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Page", 0) == 0 && name.size() > 5 && name.substr(name.size() - 5) == ".html")
            pages.insert(name);
        else if (name.rfind("Shot", 0) == 0 && name.substr(name.size() - 4) == ".png")
            shots.insert(name);
        else
            others.insert(name);
    }
    EXPECT_EQ(pages.size(), static_cast<std::size_t>(kEach));
    EXPECT_EQ(shots.size(), static_cast<std::size_t>(kEach));
    EXPECT_EQ(others, (std::set<std::string>{"MirsaHistory.html", "descript.ion"}));
    // Each handed-over page arrived whole, under a name of its own.
    std::set<std::string> contents;
    for (const auto& name : pages) contents.insert(m.Read(m.pages() + name).value_or(""));
    EXPECT_EQ(contents.size(), static_cast<std::size_t>(kEach));
    for (const auto& name : shots)
        EXPECT_EQ(m.Read(m.pages() + name).value_or("").substr(0, 8), "\x89PNG\r\n\x1a\n") << name;

    EXPECT_EQ(m.HistoryItems(), static_cast<std::size_t>(2 * kEach));
    const std::string description = m.Read(m.pages() + "descript.ion").value_or("");
    EXPECT_EQ(Count(description, "\r\n"), static_cast<std::size_t>(2 * kEach)) << description;
    for (const auto& name : pages) EXPECT_EQ(Count(description, name + " http://p.example/"), 1u) << name;
    for (const auto& name : shots) EXPECT_EQ(Count(description, name + " http://s.example/"), 1u) << name;
    // The handed-over files are gone.
    for (int i = 0; i < kEach; ++i)
        EXPECT_FALSE(m.Exists(m.folder() + "opr" + std::to_string(i) + ".htm"));
}

}  // namespace
}  // namespace e2e
