// Typed access to private-profile (INI) files on top of the seam: booleans
// are read as integers (non-zero is true) and written as "1" or "0";
// integers are written in decimal.
#pragma once

#include <string>

#include "common/platform.h"

namespace common {

// A text value read fills a 4096-byte buffer: at most this many characters.
inline constexpr std::size_t kIniValueLimit = 4095;

class IniFile {
public:
    IniFile(Platform& p, std::string path) : p_(p), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    std::string Text(const std::string& section, const std::string& key,
                     const std::string& def = "") const {
        return p_.IniReadString(path_, section, key, def);
    }
    int Int(const std::string& section, const std::string& key, int def) const {
        return p_.IniReadInt(path_, section, key, def);
    }
    bool Bool(const std::string& section, const std::string& key, bool def) const {
        return p_.IniReadInt(path_, section, key, def ? 1 : 0) != 0;
    }
    // The key is in the file (also with an empty value): two reads with
    // different defaults agree only then.
    bool Has(const std::string& section, const std::string& key) const {
        return p_.IniReadString(path_, section, key, "0") == p_.IniReadString(path_, section, key, "1");
    }
    bool WriteText(const std::string& section, const std::string& key,
                   const std::string& value) const {
        return p_.IniWriteString(path_, section, key, value);
    }
    // Writes a value that Text reads back as it is: reading strips one pair
    // of enclosing quotes, so a value enclosed in quotes of its own goes
    // inside another pair.
    bool WriteTextAsIs(const std::string& section, const std::string& key,
                       const std::string& value) const {
        const bool enclosed = value.size() > 1 && (value[0] == '"' || value[0] == '\'') &&
                              value.back() == value[0];
        return WriteText(section, key, enclosed ? "\"" + value + "\"" : value);
    }
    bool WriteInt(const std::string& section, const std::string& key, long long value) const {
        return p_.IniWriteString(path_, section, key, std::to_string(value));
    }
    bool WriteBool(const std::string& section, const std::string& key, bool value) const {
        return p_.IniWriteString(path_, section, key, value ? "1" : "0");
    }

private:
    Platform& p_;
    std::string path_;
};

}  // namespace common
