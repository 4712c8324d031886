// A job that was not handed on whole: what stays of it, where, and how long
// Zelko's own kept jobs are left.
#include <gtest/gtest.h>

#include "common/helpers.h"
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
        EXPECT_EQ(KeepLinksNotTaken(p, {kFolder, browserJob, "2;FlashGet;2;;", false}, JobLines(job),
                                    {false, true}),
                  "These links are kept in the job file \"" + kFirstJob + "\". To send them again, "
                  "run:\r\n\"" + kExe + "\" \"" + kFirstJob + "\"");
        EXPECT_EQ(p.FileText(kFirstJob), kept);
        EXPECT_EQ(p.FileText(browserJob), job);
    }
    {  // nowhere to write
        FakePlatform p;
        ZelkoWorld w(p);
        p.FailAllWrites(true);
        p.AddFile(browserJob, job);
        EXPECT_EQ(KeepWholeJob(p, {kFolder, browserJob, "2;FlashGet;2;;", false}, JobLines(job)),
                  "These links could not be kept in a job file.");
        // Unchanged and holding just these links, the job file itself keeps them.
        EXPECT_EQ(KeepWholeJob(p, {kFolder, browserJob, "2;FlashGet;2;;", true}, JobLines(job)),
                  "These links are kept in the job file \"" + browserJob + "\". To send them again, "
                  "run:\r\n\"" + kExe + "\" \"" + browserJob + "\"");
        // Not once a link of it was taken.
        EXPECT_EQ(KeepLinksNotTaken(p, {kFolder, browserJob, "2;FlashGet;2;;", true}, JobLines(job),
                                    {false, true}),
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

// The box gives the command that sends a kept job again: a week later the
// clean-up before that request must not take the job it names, and the job,
// kept again, counts its week from then.
TEST(KeptJob, AJobSentAgainAfterAWeekIsReadNotDeleted) {
    const std::string kept = "1;My_Download_Manager;2;;\r\nhttp://a/p\r\n" + Link("http://a/1.zip");
    struct Case {
        const char* name;
        std::string path;     // where the kept job lies
        std::string argument;  // how the command names it
    };
    const Case cases[] = {
        {"in the program folder", kFolder + "flashgot_3.fgt", "\"" + kFolder + "flashgot_3.fgt\""},
        {"in the temporary folder, named in other letters", "C:\\TEMP\\flashgot.fgt",
         "\"c:\\temp\\FLASHGOT.FGT\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        ZelkoWorld w(p);
        p.AddFile(c.path, kept);
        p.SetFileWriteTime(c.path, p.FileTimeNow() - 8 * kDay);
        w.Run(c.argument);  // handed to FlashGot.exe
        ASSERT_EQ(w.flashGotJobs.size(), 1u);
        EXPECT_EQ(w.flashGotJobs[0].second, common::ReplaceAll(kept, "My_Download_Manager", "FlashGet"));
        EXPECT_TRUE(p.MessageBoxes().empty());
        EXPECT_FALSE(p.HasFile(c.path));  // taken: gone

        p.AddFile(c.path, kept);
        p.SetFileWriteTime(c.path, p.FileTimeNow() - 8 * kDay);
        p.OnProgram("FlashGot.exe", [] {
            FakePlatform::ProgramBehaviour b;
            b.failStart = true;
            return b;
        }());
        w.Run(c.argument);  // refused again: kept again
        EXPECT_EQ(p.FileText(c.path), kept);
        common::SystemTime later = p.LocalTime();
        later.day += 6;  // May 5 + 6
        p.SetLocalTime(later);
        w.Run("http://files.org/a.zip");  // a later request clears up first
        EXPECT_EQ(p.FileText(c.path), kept);
    }
}

}  // namespace
}  // namespace zelko::testing
