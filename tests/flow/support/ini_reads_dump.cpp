// Each flow test program adds the INI keys its runs read to a list in the
// build folder (one file per program, merged across its processes, as ctest
// runs every test case in a process of its own). The guide check compares
// that list with docs/guide.md.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace {

std::string ProgramName() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "flow";
    return path.substr(path.find_last_of('/') + 1);
}

// Lines "file<TAB>section<TAB>key"; a tab inside a name is kept out.
std::string LineOf(const common::FakePlatform::IniRead& read) {
    std::string line = std::get<0>(read) + '\t' + std::get<1>(read) + '\t' + std::get<2>(read);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    return line;
}

class IniReadsDump : public testing::Environment {
public:
    void SetUp() override { common::FakePlatform::RecordIniReads(true); }

    void TearDown() override {
        const auto& reads = common::FakePlatform::IniReadsOfProcess();
        if (reads.empty()) return;
        const std::string path = std::string(OC_INI_READS_DIR) + "/" + ProgramName() + ".txt";
        int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
        if (fd < 0) return;
        flock(fd, LOCK_EX);
        std::set<std::string> lines;
        {
            std::ifstream in(path);
            for (std::string line; std::getline(in, line);)
                if (!line.empty()) lines.insert(line);
        }
        for (const auto& read : reads) lines.insert(LineOf(read));
        std::ostringstream text;
        for (const auto& line : lines) text << line << '\n';
        const std::string all = text.str();
        if (ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0) {
            std::size_t done = 0;
            while (done < all.size()) {
                ssize_t w = write(fd, all.data() + done, all.size() - done);
                if (w <= 0) break;
                done += static_cast<std::size_t>(w);
            }
        }
        flock(fd, LOCK_UN);
        close(fd);
    }
};

const testing::Environment* const kDump = testing::AddGlobalTestEnvironment(new IniReadsDump);

}  // namespace
