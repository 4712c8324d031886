// The fake fails exactly the n-th operation of a kind, counted from the
// program's first look at its own path, and leaves the world as it was.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/fake_platform.h"

namespace {

using common::FakePlatform;
using Kind = FakePlatform::OpKind;

struct FaultCase {
    Kind kind;
    // One operation of the kind; true when it succeeded.
    std::function<bool(FakePlatform&, int)> op;
    // What must hold after the failed second operation (nothing of it done).
    std::function<bool(FakePlatform&)> untouched;
};

TEST(FakeFaults, TheNthOperationOfAKindFailsAndChangesNothing) {
    const std::string dir = "C:\\D\\";
    auto name = [&](int i) { return dir + "f" + std::to_string(i); };
    const FaultCase cases[] = {
        {Kind::Write, [&](FakePlatform& p, int i) { return p.WriteFile(name(i), "x"); },
         [&](FakePlatform& p) { return !p.HasFile(name(2)); }},
        {Kind::Write, [&](FakePlatform& p, int i) { return p.AppendFile(name(0), std::to_string(i)); },
         [&](FakePlatform& p) { return p.FileText(name(0)) == "old1"; }},
        {Kind::Copy, [&](FakePlatform& p, int i) { return p.CopyFile(name(0), name(i), false); },
         [&](FakePlatform& p) { return !p.HasFile(name(2)); }},
        {Kind::Copy,
         [&](FakePlatform& p, int i) {
             return p.ShellFileOperation(0, common::shell_op::Copy, 0, name(0), name(i)) == 0;
         },
         [&](FakePlatform& p) { return !p.HasFile(name(2)); }},
        {Kind::Move, [&](FakePlatform& p, int i) { return p.MoveFile(name(i + 10), name(i), true); },
         [&](FakePlatform& p) { return p.HasFile(name(12)) && !p.HasFile(name(2)); }},
        {Kind::CreateFolder, [&](FakePlatform& p, int i) { return p.CreateFolder(name(i)); },
         [&](FakePlatform& p) { return !p.HasFolder(name(2)); }},
        {Kind::Delete, [&](FakePlatform& p, int i) { return p.DeleteFile(name(i + 10)); },
         [&](FakePlatform& p) { return p.HasFile(name(12)); }},
        {Kind::Delete,
         [&](FakePlatform& p, int i) {
             return p.ShellFileOperation(0, common::shell_op::Delete, 0, name(i + 10), "") == 0;
         },
         [&](FakePlatform& p) { return p.HasFile(name(12)); }},
        {Kind::ProcessStart,
         [&](FakePlatform& p, int) { return p.StartProcess({"C:\\D\\tool.exe", {}, 0, {}}) != 0; },
         [&](FakePlatform& p) { return p.Starts().size() == 2 && p.Starts()[1].process == 0; }},
        {Kind::ProcessStart, [&](FakePlatform& p, int) { return p.WinExec("C:\\D\\tool.exe", 1); },
         [&](FakePlatform& p) { return p.Starts()[1].process == 0; }},
        {Kind::DdeRequest,
         [&](FakePlatform& p, int) {
             const auto c = p.DdeConnect("Opera", "Topic");
             const bool ok = p.DdeRequest(c, "item", 100).has_value();
             p.DdeDisconnect(c);
             return ok;
         },
         [&](FakePlatform&) { return true; }},
        {Kind::RegistryRead,
         [&](FakePlatform& p, int) { return p.RegistryUserString("Key", "Value").has_value(); },
         [&](FakePlatform& p) { return p.RegistryUserString("Key", "Value") == "data"; }},
        {Kind::IniWrite,
         [&](FakePlatform& p, int i) { return p.IniWriteString(name(0), "S", "K", std::to_string(i)); },
         [&](FakePlatform& p) { return p.IniReadString(name(0), "S", "K", "") == "1"; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FakePlatform::OpKindName(c.kind));
        FakePlatform p;
        p.AddFile(name(0), "old");
        for (int i = 1; i <= 3; ++i) p.AddFile(name(i + 10), "m");
        p.AddFile("C:\\D\\tool.exe", "MZ");
        p.AddDdeResponder("Opera", "Topic", [](FakePlatform&, const std::string&) { return "r"; });
        p.SetRegistryUserString("Key", "Value", "data");
        p.FailNth(c.kind, 2);
        p.ModuleFileName();
        EXPECT_TRUE(c.op(p, 1));
        EXPECT_FALSE(c.op(p, 2));
        EXPECT_EQ(p.OpCount(c.kind), 2u);
        EXPECT_TRUE(c.untouched(p));
        EXPECT_TRUE(c.op(p, 3));
    }
}

TEST(FakeFaults, CountingStartsWithTheProgramsRun) {
    FakePlatform p;
    p.FailNth(Kind::Write, 1);
    EXPECT_TRUE(p.WriteFile("C:\\set-up.txt", "x"));
    EXPECT_FALSE(p.RunStarted());
    EXPECT_EQ(p.OpCount(Kind::Write), 0u);
    p.ModuleFileName();
    EXPECT_TRUE(p.RunStarted());
    EXPECT_FALSE(p.WriteFile("C:\\run.txt", "x"));
    EXPECT_EQ(p.OpCount(Kind::Write), 1u);
}

TEST(FakeFaults, KindsHaveTheNamesOfTheSweep) {
    for (std::size_t k = 0; k < FakePlatform::kOpKinds; ++k) {
        const Kind kind = static_cast<Kind>(k);
        EXPECT_EQ(FakePlatform::OpKindNamed(FakePlatform::OpKindName(kind)), kind);
    }
    EXPECT_FALSE(FakePlatform::OpKindNamed("read").has_value());
}

}  // namespace
