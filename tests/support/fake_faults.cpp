// FakePlatform: failing the n-th operation of a kind, and the sweep mode in
// which a whole test program runs with one such failure and reports what each
// run left behind.
#include <cstdlib>
#include <exception>
#include <fstream>
#include <cstdio>
#include <functional>
#include <set>

#include "tests/support/fake_state.h"

namespace common {

namespace {

constexpr const char* kKindNames[FakePlatform::kOpKinds] = {
    "write", "copy", "move", "mkdir", "delete", "start", "dde", "registry", "ini"};

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return text;
}

std::string Hash(const std::string& content) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%zx:%zu", std::hash<std::string>{}(content),
                  content.size());
    return buffer;
}

}  // namespace

const char* FakePlatform::OpKindName(OpKind kind) {
    return kKindNames[static_cast<std::size_t>(kind)];
}

std::optional<FakePlatform::OpKind> FakePlatform::OpKindNamed(const std::string& name) {
    for (std::size_t i = 0; i < kOpKinds; ++i)
        if (name == kKindNames[i]) return static_cast<OpKind>(i);
    return std::nullopt;
}

void FakePlatform::FailNth(OpKind kind, std::size_t n) { s_->failNth = std::make_pair(kind, n); }

std::size_t FakePlatform::OpCount(OpKind kind) const {
    return s_->opCounts[static_cast<std::size_t>(kind)];
}

bool FakePlatform::RunStarted() const { return s_->runStarted; }

void FakePlatform::State::StartRun() {
    if (runStarted) return;
    runStarted = true;
    fileOpsAtStart = fileOps.size();
    for (const auto& [key, node] : nodes)
        if (!node.folder) filesAtStart.emplace_back(node.path, node.content);
}

bool FakePlatform::State::Fault(OpKind kind, const std::string& path) {
    if (!runStarted) return false;
    const std::size_t count = ++opCounts[static_cast<std::size_t>(kind)];
    ops.emplace_back(kind, path);
    if (!failNth || failNth->first != kind || failNth->second != count) return false;
    injected = std::make_pair(kind, path);
    return true;
}

// One block per fake whose program ran:
//   @                             a new fake
//   K <kind> <count>              operations of each kind
//   O <kind> <path>               each operation that could fail, in order
//   I <kind> <path>               the operation that was made to fail
//   F <path> <before> <after>     each file present at the start (after "-": gone)
//   N <path> <hash>               each file made during the run
//   T <path>                      each file the run made and removed again
//   B <title> <text>              each message box
//   X unwinding                   the fake died while an exception was in flight
// Fields are separated by tabs.
void FakePlatform::State::ReportSweep(bool unwinding) const {
    if (sweepReport.empty() || !runStarted) return;
    std::ofstream out(sweepReport, std::ios::app | std::ios::binary);
    out << "@\n";
    for (std::size_t i = 0; i < kOpKinds; ++i)
        out << "K\t" << kKindNames[i] << "\t" << opCounts[i] << "\n";
    for (const auto& [kind, path] : ops)
        out << "O\t" << kKindNames[static_cast<std::size_t>(kind)] << "\t" << OneLine(path) << "\n";
    if (injected) {
        const std::string path = Norm(injected->second);
        out << "I\t" << kKindNames[static_cast<std::size_t>(injected->first)] << "\t"
            << OneLine(path.empty() ? injected->second : path) << "\n";
    }
    std::set<std::string> before;
    for (const auto& [path, content] : filesAtStart) {
        before.insert(fake::Upper(path));
        const Node* now = Find(path);
        out << "F\t" << path << "\t" << Hash(content) << "\t"
            << (now && !now->folder ? Hash(now->content) : "-") << "\n";
    }
    for (const auto& [key, node] : nodes)
        if (!node.folder && !before.count(key)) out << "N\t" << node.path << "\t" << Hash(node.content) << "\n";
    std::set<std::string> transient;
    for (std::size_t i = fileOpsAtStart; i < fileOps.size(); ++i) {
        const FileOp& op = fileOps[i];
        const std::string& made = op.op == "copy" || op.op == "move" ? op.path2 : op.path;
        if (!op.ok || op.op == "delete" || op.op == "rmdir" || op.op == "mkdir") continue;
        const std::string key = fake::Upper(Norm(made));
        if (!before.count(key) && !Find(Norm(made)) && transient.insert(key).second)
            out << "T\t" << made << "\n";
    }
    for (const auto& box : messageBoxes)
        out << "B\t" << OneLine(box.title) << "\t" << OneLine(box.text) << "\n";
    if (unwinding) out << "X\tunwinding\n";
}

void FakePlatform::ArmSweepFromEnvironment() {
    const char* sweep = std::getenv("OC_FAULT_SWEEP");
    const char* report = std::getenv("OC_FAULT_REPORT");
    if (!sweep || !report || !*report) return;
    s_->sweepReport = report;
    const std::string plan = sweep;
    const std::size_t colon = plan.find(':');
    if (colon == std::string::npos) return;  // "count": a clean run
    if (auto kind = OpKindNamed(plan.substr(0, colon)))
        FailNth(*kind, std::strtoul(plan.c_str() + colon + 1, nullptr, 10));
}

FakePlatform::~FakePlatform() {
    try {
        s_->ReportSweep(std::uncaught_exceptions() > 0);
    } catch (...) {
    }
}

}  // namespace common
