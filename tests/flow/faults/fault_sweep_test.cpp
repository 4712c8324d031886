// The fault loop over every whole-program run of the flow tests. For each flow
// test program and each of its tests: a clean run lists the operations of
// each kind that every program run makes; then the test runs again once per
// operation not yet tried, with exactly that operation failing. An operation
// counts as tried once the same kind of operation on a path of the same shape,
// at the same place among such operations of its run, has failed in an earlier
// test of the program: most tests start with the same steps, which fail the
// same way whichever test runs them. Each program run must then
// leave every file it found either as it was or as the clean run left it, no
// file of its own behind that the clean run removed, and end silently or with
// one of the named failure boxes; it must not crash or throw.
//
// The test's own expectations do not count here (a failed write changes the
// result they check); the fake reports what each run left (fake_faults.cpp).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/helpers.h"
#include "tests/support/fake_platform.h"

namespace {

using Kind = common::FakePlatform::OpKind;
constexpr std::size_t kKinds = common::FakePlatform::kOpKinds;

// Texts of the boxes a failure may end with (the start of each text).
const std::vector<std::string> kNamedFailureBoxes = {
    "Not exist file ",                      // Zelko: job file; Tarvel: no browser
    "The browser's profile \"",             // Zelko's catch box: no profile to install into
    "Cannot write file \"",                 // settings or a job file nowhere to keep
    "%Error:",                              // a site plug-in's error report
    "aria2 at ",                            // Zelko: a network receiver did not take links;
    "aria2 cannot send the form data",      // where they are kept depends on what could be
    "JDownloader at ",                      // written
    "The window of Opera is not found!",
    "There is not enough free space on the disk!",
    "Converter \"",
    "Unable to update ",                    // Mirsa: the history page or a descript.ion
    "The window of Opera was found, but",   // Mirsa: no Save dialog came, nothing saved
    "Found a Multi User installation.",
    "Bad installation of Opera. Exit.",
    "No download manager is chosen:",       // Zelko: a request handed to nobody
    "FlashGot.exe is not in ",
};
// Boxes that name a program first ("<program> could not be started").
const std::vector<std::string> kNamedFailureParts = {" could not be started"};

struct FileState {
    std::string before, after;  // content hashes; after "-" = gone
};

// What one fake (one program run) reported.
struct RunReport {
    std::size_t counts[kKinds] = {};
    std::string injectedKind, injectedPath;
    std::vector<std::pair<std::string, std::string>> ops;  // kind, path: in order
    std::map<std::string, FileState> files;     // present at the start
    std::map<std::string, std::string> made;    // made during the run
    std::set<std::string> transient;            // made and removed again
    std::multiset<std::string> boxes;           // title + tab + text
    bool unwinding = false;
};

struct TestRun {
    std::vector<RunReport> runs;
    std::string output;
    int status = 0;
};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) out.push_back(field);
    return out;
}

std::vector<RunReport> ParseReport(const std::string& path) {
    std::vector<RunReport> runs;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line);
        if (f.empty()) continue;
        if (f[0] == "@") {
            runs.emplace_back();
            continue;
        }
        if (runs.empty()) continue;
        RunReport& r = runs.back();
        if (f[0] == "K" && f.size() == 3) {
            if (auto kind = common::FakePlatform::OpKindNamed(f[1]))
                r.counts[static_cast<std::size_t>(*kind)] = std::stoul(f[2]);
        } else if (f[0] == "O" && f.size() >= 2) {
            r.ops.emplace_back(f[1], f.size() > 2 ? f[2] : "");
        } else if (f[0] == "I" && f.size() >= 2) {
            r.injectedKind = f[1];
            r.injectedPath = f.size() > 2 ? f[2] : "";
        } else if (f[0] == "F" && f.size() == 4) {
            r.files[Upper(f[1])] = {f[2], f[3]};
        } else if (f[0] == "N" && f.size() == 3) {
            r.made[Upper(f[1])] = f[2];
        } else if (f[0] == "T" && f.size() == 2) {
            r.transient.insert(Upper(f[1]));
        } else if (f[0] == "B") {
            r.boxes.insert(line.substr(2));
        } else if (f[0] == "X") {
            r.unwinding = true;
        }
    }
    return runs;
}

std::string ReadAll(FILE* pipe) {
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    return out;
}

std::string Quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReportPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/oc_fault_sweep_" +
               std::to_string(::getpid()) + ".txt";
    }();
    return path;
}

TestRun RunTest(const std::string& program, const std::string& test, const std::string& plan) {
    const std::string report = ReportPath();
    std::remove(report.c_str());
    const std::string command = "OC_FAULT_SWEEP=" + Quoted(plan) +
                                " OC_FAULT_REPORT=" + Quoted(report) + " " + Quoted(program) +
                                " --gtest_filter=" + Quoted(test) + " 2>&1";
    TestRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    run.output = ReadAll(pipe);
    run.status = ::pclose(pipe);
    run.runs = ParseReport(report);
    std::remove(report.c_str());
    return run;
}

std::vector<std::string> ListTests(const std::string& program) {
    std::vector<std::string> tests;
    FILE* pipe = ::popen((Quoted(program) + " --gtest_list_tests").c_str(), "r");
    if (!pipe) return tests;
    std::stringstream in(ReadAll(pipe));
    ::pclose(pipe);
    std::string line, suite;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const std::string name = line.substr(0, line.find_first_of(" #", line[0] == ' ' ? 2 : 0));
        if (line[0] != ' ') {
            suite = name;
        } else if (!suite.empty()) {
            tests.push_back(suite + name.substr(name.find_first_not_of(' ')));
        }
    }
    return tests;
}

bool Crashed(const TestRun& run) {
    return run.output.find("ERROR: AddressSanitizer") != std::string::npos ||
           run.output.find("runtime error:") != std::string::npos ||
           (WIFSIGNALED(run.status) != 0);
}

bool Threw(const TestRun& run) {
    return run.output.find("thrown in the test body") != std::string::npos ||
           run.output.find("thrown in SetUp") != std::string::npos;
}

bool IsNamedFailureBox(const std::string& box) {
    const std::string text = box.substr(box.find('\t') + 1);
    for (const auto& named : kNamedFailureBoxes)
        if (text.rfind(named, 0) == 0) return true;
    for (const auto& part : kNamedFailureParts)
        if (common::Contains(text, part)) return true;
    return false;
}

// A name with its digits left out: temporary names may carry a counter.
std::string Shape(const std::string& path) {
    std::string out;
    for (char c : path)
        if (!std::isdigit(static_cast<unsigned char>(c))) out += c;
    return out;
}

// What tells the n-th operation of a kind in a run from the operations
// already made to fail: its kind, its path's shape, and how many operations
// of that kind and shape came before it in the run. Empty where the run made
// fewer than n.
std::string Signature(const RunReport& run, const std::string& kind, std::size_t n) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < run.ops.size(); ++i) {
        if (run.ops[i].first != kind || ++seen != n) continue;
        const std::string shape = Shape(Upper(run.ops[i].second));
        std::size_t earlier = 0;
        for (std::size_t j = 0; j < i; ++j)
            if (run.ops[j].first == kind && Shape(Upper(run.ops[j].second)) == shape) ++earlier;
        return kind + "\t" + shape + "\t" + std::to_string(earlier);
    }
    return "";
}

// The findings of one faulted program run against the same run made cleanly.
// Every operation of the fake is whole, so a file is either as it was or
// wholly replaced; what a failure can still do is lose a file, change one
// without the ".bak" copy the clean run keeps, or leave a temporary behind.
std::vector<std::string> Judge(const RunReport& clean, const RunReport& faulted) {
    std::vector<std::string> problems;
    std::set<std::string> contents;  // every content present at the end
    for (const auto& [path, state] : faulted.files) contents.insert(state.after);
    for (const auto& [path, hash] : faulted.made) contents.insert(hash);
    for (const auto& [path, state] : faulted.files) {
        const auto c = clean.files.find(path);
        const bool cleanKeeps = c != clean.files.end() && c->second.after != "-";
        if (state.after == "-" && cleanKeeps && !contents.count(state.before))
            problems.push_back("lost " + path);
    }
    // A file changed where the clean run keeps its original in a ".bak" copy
    // must have that copy here too.
    auto hashOf = [](const RunReport& r, const std::string& path) -> std::string {
        if (auto f = r.files.find(path); f != r.files.end()) return f->second.after;
        if (auto m = r.made.find(path); m != r.made.end()) return m->second;
        return "-";
    };
    for (const auto& [path, state] : faulted.files) {
        if (state.after == state.before || state.after == "-") continue;
        const std::string bak = path + ".BAK";
        if (hashOf(clean, bak) == state.before && hashOf(faulted, bak) != state.before)
            problems.push_back("changed without its backup " + path);
    }
    std::set<std::string> temporaries;
    for (const auto& path : clean.transient) temporaries.insert(Shape(path));
    // A job that nothing took stays on purpose when a named box gives its path.
    auto named = [&](const std::string& path) {
        for (const auto& box : faulted.boxes)
            if (IsNamedFailureBox(box) && common::Contains(Upper(box), path)) return true;
        return false;
    };
    // A step refused with a box that names the file it could not write leaves
    // what the steps before it made, as the user was told.
    const bool refusalNamed = !faulted.injectedPath.empty() && named(Upper(faulted.injectedPath));
    for (const auto& [path, hash] : faulted.made) {
        if (clean.made.count(path) || !temporaries.count(Shape(path))) continue;
        if (faulted.injectedKind == "delete" && Upper(faulted.injectedPath) == path) continue;
        if (named(path) || refusalNamed) continue;
        problems.push_back("left behind " + path);
    }
    for (const auto& box : faulted.boxes)
        if (!clean.boxes.count(box) && !IsNamedFailureBox(box))
            problems.push_back("unnamed box " + box);
    if (faulted.unwinding && !clean.unwinding) problems.push_back("threw");
    return problems;
}

void SweepProgram(const std::string& program) {
    const std::vector<std::string> tests = ListTests(program);
    ASSERT_FALSE(tests.empty()) << program;
    std::size_t programRuns = 0, faultedRuns = 0, alreadyTried = 0, perKind[kKinds] = {};
    std::set<std::string> tried;
    for (const std::string& test : tests) {
        const TestRun clean = RunTest(program, test, "count");
        if (clean.runs.empty()) continue;  // no whole-program run in this test
        ASSERT_FALSE(Crashed(clean)) << test << "\n" << clean.output;
        programRuns += clean.runs.size();
        for (std::size_t k = 0; k < kKinds; ++k) {
            const Kind kind = static_cast<Kind>(k);
            std::size_t most = 0;
            for (const auto& r : clean.runs) most = std::max(most, r.counts[k]);
            const std::string kindName = common::FakePlatform::OpKindName(kind);
            for (std::size_t n = 1; n <= most; ++n) {
                bool fresh = false;
                for (const auto& r : clean.runs) {
                    const std::string signature = Signature(r, kindName, n);
                    if (!signature.empty() && tried.insert(signature).second) fresh = true;
                }
                if (!fresh) {
                    ++alreadyTried;
                    continue;
                }
                const std::string plan = kindName + ":" + std::to_string(n);
                const TestRun faulted = RunTest(program, test, plan);
                ++faultedRuns;
                ++perKind[k];
                const std::string where = test + " failing " + plan;
                if (Crashed(faulted)) {
                    ADD_FAILURE() << where << ": crashed\n" << faulted.output;
                    continue;
                }
                if (Threw(faulted) && !Threw(clean))
                    ADD_FAILURE() << where << ": threw\n" << faulted.output;
                // A test whose own expectation stopped it early made fewer runs;
                // the runs it made line up with the clean ones.
                const std::size_t made = std::min(faulted.runs.size(), clean.runs.size());
                for (std::size_t i = 0; i < made; ++i) {
                    if (clean.runs[i].counts[k] < n) continue;  // ran clean
                    for (const auto& problem : Judge(clean.runs[i], faulted.runs[i]))
                        ADD_FAILURE() << where << " (run " << i + 1 << "): " << problem;
                }
            }
        }
    }
    std::printf("%s: %zu tests, %zu program runs, %zu faulted reruns (%zu operations tried "
                "before):", program.c_str(), tests.size(), programRuns, faultedRuns, alreadyTried);
    for (std::size_t k = 0; k < kKinds; ++k)
        std::printf(" %s %zu", common::FakePlatform::OpKindName(static_cast<Kind>(k)), perKind[k]);
    std::printf("\n");
}

std::vector<std::string> SweptPrograms() {
    std::vector<std::string> out;
    std::stringstream in(OC_SWEPT_PROGRAMS);
    std::string path;
    while (std::getline(in, path, '|'))
        if (!path.empty()) out.push_back(path);
    return out;
}

class FaultSweep : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultSweep, EveryFailedOperationLeavesFilesWholeAndEndsAsNamed) { SweepProgram(GetParam()); }

INSTANTIATE_TEST_SUITE_P(FlowPrograms, FaultSweep, ::testing::ValuesIn(SweptPrograms()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(info.param.rfind('/') + 1);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
