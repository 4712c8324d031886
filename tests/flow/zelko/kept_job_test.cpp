// A job that was not handed on whole: what stays of it, where, and how long
// Zelko's own kept jobs are left.
#include <gtest/gtest.h>

#include "tests/flow/zelko/zelko_world.h"
#include "zelko/kept_job.h"

namespace zelko::testing {
namespace {

using common::FakePlatform;

constexpr std::uint64_t kDay = 864000000000ull;

std::string Link(const std::string& url) { return url + "\r\nd\r\nc\r\n\r\n"; }

// (The receivers' tests see the job rewritten in place.)
TEST(KeptJob, ToAFileOfZelkosOwnWhereTheJobCannotBeWritten) {
    const std::string job = "2;FlashGet;2;;\r\nr\r\n" + Link("http://a/1") + Link("http://a/2");
    const std::string kept = "1;FlashGet;2;;\r\nr\r\n" + Link("http://a/2");
    const std::string browserJob = "C:\\Cache\\job.zlk";
    {  // a job the browser saved where Zelko may only read
        FakePlatform p;
        ZelkoWorld w(p);
        p.AddFile(browserJob, job);
        p.SetReadOnly(browserJob, true);
        EXPECT_EQ(KeepLinksNotTaken(p, kFolder, browserJob, JobLines(job), {false, true}),
                  "These links are kept in the job file \"" + kFirstJob + "\".");
        EXPECT_EQ(p.FileText(kFirstJob), kept);
        EXPECT_EQ(p.FileText(browserJob), job);
    }
    {  // nowhere to write
        FakePlatform p;
        ZelkoWorld w(p);
        p.FailAllWrites(true);
        EXPECT_EQ(KeepWholeJob(p, kFolder, browserJob, JobLines(job)),
                  "These links could not be kept in a job file.");
    }
}

TEST(KeptJob, ZelkosOwnJobsGoAfterAWeek) {
    struct Case {
        const char* name;
        std::string path;
        std::uint64_t ageDays;  // 0: written now
        bool deleted;
    };
    const Case cases[] = {
        {"first name, eight days", kFolder + "flashgot.fgt", 8, true},
        {"numbered, eight days", kFolder + "flashgot_12.fgt", 8, true},
        {"in the temporary folder", "C:\\TEMP\\FLASHGOT_3.FGT", 8, true},
        {"six days", kFolder + "flashgot_2.fgt", 6, false},
        {"written now", kFolder + "flashgot_4.fgt", 0, false},
        {"another name", kFolder + "flashgot_x.fgt", 30, false},
        {"another name with digits", kFolder + "flashgot_1.fgt.fgt", 30, false},
        {"the browser's job", "C:\\Cache\\flashgot.fgt", 30, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        ZelkoWorld w(p);
        const std::string old = "1;FlashGet;0;;\r\nold\r\n";
        p.AddFile(c.path, old);
        if (c.ageDays) p.SetFileWriteTime(c.path, p.FileTimeNow() - c.ageDays * kDay);
        w.Run("http://files.org/a.zip");  // any request clears up first
        EXPECT_EQ(p.FileText(c.path) == old, !c.deleted);  // the request's own job may take the name
    }
}

}  // namespace
}  // namespace zelko::testing
