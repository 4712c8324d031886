#include <gtest/gtest.h>

#include <set>

#include "tests/flow/zelko/zelko_world.h"
#include "zelko/plugins.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

const std::string kPluginDir = "C:\\USD\\plugins\\";

// Scripted plug-ins: each library reports its texts, and may fault after them.
class PluginPlatform : public FakePlatform {
public:
    void AddPlugin(const std::string& name, PluginScript script,
                   std::set<std::string> exports = {"PlgInit", "PlgDestroy"}) {
        AddFile(kPluginDir + name, "MZ");
        AddLibrary(kPluginDir + name, std::move(exports));
        SetPluginScript(kPluginDir + name, std::move(script));
    }
    std::vector<std::string> Called() const {
        std::vector<std::string> names;
        for (const PluginCall& call : PluginCalls())
            names.push_back(call.library.substr(call.library.rfind('\\') + 1));
        return names;
    }
};

TEST(LoadSitePlugins, GathersHostsFromEveryPlugin) {
    PluginPlatform p;
    p.AddPlugin("a.plg", {{"Host1.com\nHOST2.net|Two hosts"}});
    p.AddPlugin("b.plg", {{"files.example.org/get/path"}});
    p.AddPlugin("c.plg", {{"host1.com\nhost2.net"}});  // already listed
    p.AddPlugin("d.plg", {{"%Error: cannot init"}});
    p.AddPlugin("e.plg", {{"never.com"}}, {"PlgInit"});
    p.AddPlugin("f.plg", {{"before.fault"}, true, nullptr});
    p.AddPlugin("g.plg", {{"after.fault"}});
    p.AddFile(kPluginDir + "notes.txt", "x");
    p.AddFile(kPluginDir + "broken.plg", "not a library");

    std::string list = LoadSitePlugins(p, kUsd);
    EXPECT_EQ(list,
              "host1.com;host2.net;files.example.org;%error: cannot init;before.fault;after.fault;");
    EXPECT_EQ(p.Called(), (std::vector<std::string>{"a.plg", "b.plg", "c.plg", "d.plg", "f.plg", "g.plg"}));
    for (const auto& call : p.PluginCalls()) EXPECT_EQ(call.hostFolder, "C:\\USD\\");
    ASSERT_EQ(p.MessageBoxes().size(), 1u);
    EXPECT_EQ(p.MessageBoxes()[0].text, "%Error: cannot init");
    EXPECT_EQ(p.MessageBoxes()[0].title, "Zelko Error");
    EXPECT_EQ(p.MessageBoxes()[0].flags, 0x40000u | 0x10u);
    EXPECT_EQ(p.LoadedLibraries(), 0u);
    EXPECT_EQ(p.LibraryLoads().size(), 8u);  // every .plg, the broken one included
}

TEST(LoadSitePlugins, MissingFolderGivesAnEmptyList) {
    PluginPlatform p;
    EXPECT_EQ(LoadSitePlugins(p, kUsd), "");
    EXPECT_TRUE(p.PluginCalls().empty());
}

TEST(LoadSitePlugins, SameReportTwiceAddsItOnce) {
    PluginPlatform p;
    std::string list;
    PluginReport(p, list, "a.com");
    PluginReport(p, list, "A.com");
    PluginReport(p, list, "b.com|B");
    EXPECT_EQ(list, "a.com;b.com;");
    EXPECT_TRUE(p.MessageBoxes().empty());
}

TEST(LoadSitePlugins, StartGathersTheListWhenEmptyAndWritesIt) {
    PluginPlatform p;
    ZelkoWorld world(p);
    world.Set("Advanced", "0");
    world.WithUsd("");
    p.AddPlugin("a.plg", {{"share.com"}});
    world.Run("http://share.com/f http://forum/");
    EXPECT_EQ(world.Get("TransferToUSD"), "share.com;");
    EXPECT_EQ(p.StartsOf("USDownloader.exe").size(), 1u);
    EXPECT_TRUE(world.flashGotJobs.empty());

    // A list already there is kept: the plug-ins are not asked again.
    const std::size_t calls = p.PluginCalls().size();
    EXPECT_EQ(calls, 1u);
    world.Run("http://else.com/f http://forum/");
    EXPECT_EQ(p.PluginCalls().size(), calls);
}

}  // namespace
}  // namespace zelko::testing
