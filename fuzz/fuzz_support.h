// Small pieces the fuzz targets share: the abort on a broken promise, input
// cut into parts, and a command line split as a receiving program's C
// runtime splits it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fuzz_support {

inline void Require(bool condition) {
    if (!condition) std::abort();
}

// A whole file's bytes (empty when it cannot be read).
inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// The argv a Microsoft C runtime program builds from its command line: blanks
// and tabs separate outside quotes; 2n backslashes before a quote give n and
// the quote toggles; 2n+1 give n and a literal quote; other backslashes stay.
inline std::vector<std::string> ReceiverArguments(const std::string& line) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false, inArgument = false;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (!inQuotes && (c == ' ' || c == '\t')) {
            if (inArgument) args.push_back(current);
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t n = 0;
            while (i < line.size() && line[i] == '\\') ++n, ++i;
            if (i < line.size() && line[i] == '"') {
                current.append(n / 2, '\\');
                if (n % 2) {
                    current += '"';
                    ++i;
                }
            } else {
                current.append(n, '\\');
            }
            continue;
        }
        if (c == '"') {
            inQuotes = !inQuotes;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArgument) args.push_back(current);
    return args;
}

// A simple generator for targets that need more bytes than the input holds.
struct Random {
    std::uint64_t state;
    explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 11);
    }
};

}  // namespace fuzz_support
