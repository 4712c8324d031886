#include <gtest/gtest.h>

#include <map>

#include "tests/flow/zelko/zelko_world.h"
#include "zelko/plugins.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

// Scripted plug-ins: each library reports its texts, and may fault after them.
class PluginPlatform : public FakePlatform {
public:
    struct Script {
        std::vector<std::string> reports;
        bool faults = false;
    };
    std::map<std::string, Script> scripts;  // by file name
    std::vector<std::string> called;        // file names, in call order
    std::vector<std::string> hostFolders;

    void AddPlugin(const std::string& name, Script script,
                   std::set<std::string> exports = {"PlgInit", "PlgDestroy"}) {
        AddFile(kPluginDir + name, "MZ");
        AddLibrary(kPluginDir + name, std::move(exports));
        scripts[name] = std::move(script);
    }

    bool CallPluginEntry(common::LibraryId library, const std::string& hostFolder,
                         const std::function<void(const std::string&)>& onReport) override {
        std::string path = loaded.at(library);
        std::string name = path.substr(path.rfind('\\') + 1);
        called.push_back(name);
        hostFolders.push_back(hostFolder);
        const Script& script = scripts[name];
        for (const std::string& text : script.reports) onReport(text);
        return !script.faults;
    }

    common::LibraryId LoadLibrary(const std::string& path) override {
        common::LibraryId id = FakePlatform::LoadLibrary(path);
        if (id != 0) loaded[id] = path;
        return id;
    }

    static inline const std::string kPluginDir = "C:\\USD\\plugins\\";

private:
    std::map<common::LibraryId, std::string> loaded;
};

TEST(LoadSitePlugins, GathersHostsFromEveryPlugin) {
    PluginPlatform p;
    p.AddPlugin("a.plg", {{"Host1.com\nHOST2.net|Two hosts"}});
    p.AddPlugin("b.plg", {{"files.example.org/get/path"}});
    p.AddPlugin("c.plg", {{"host1.com\nhost2.net"}});  // already listed
    p.AddPlugin("d.plg", {{"%Error: cannot init"}});
    p.AddPlugin("e.plg", {{"never.com"}}, {"PlgInit"});
    p.AddPlugin("f.plg", {{"before.fault"}, true});
    p.AddPlugin("g.plg", {{"after.fault"}});
    p.AddFile(PluginPlatform::kPluginDir + "notes.txt", "x");
    p.AddFile(PluginPlatform::kPluginDir + "broken.plg", "not a library");

    std::string list = LoadSitePlugins(p, kUsd);
    EXPECT_EQ(list,
              "host1.com;host2.net;files.example.org;%error: cannot init;before.fault;after.fault;");
    EXPECT_EQ(p.called, (std::vector<std::string>{"a.plg", "b.plg", "c.plg", "d.plg", "f.plg", "g.plg"}));
    for (const std::string& folder : p.hostFolders) EXPECT_EQ(folder, "C:\\USD\\");
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
    EXPECT_TRUE(p.called.empty());
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
    p.called.clear();
    world.Run("http://else.com/f http://forum/");
    EXPECT_TRUE(p.called.empty());
}

}  // namespace
}  // namespace zelko::testing
