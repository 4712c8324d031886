// The log format of the stand-ins, shared by the Windows programs that write
// it and the native tests that read it. A record is
//   [record]
//   key=value
//   ...
//   [end]
// Values keep every byte except '%', CR, LF and the other codes below 0x20,
// which are written as %XX. A record without its [end] line (one still being
// written) is not read.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace standin {

inline std::string EncodeValue(const std::string& value) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (unsigned char c : value) {
        if (c < 0x20 || c == '%' || c == 0x7F) {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

inline int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A '%' not followed by two hex digits stays as it is.
inline std::string DecodeValue(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

struct Record {
    std::vector<std::pair<std::string, std::string>> fields;

    void Set(const std::string& key, const std::string& value) {
        for (auto& field : fields) {
            if (field.first == key) {
                field.second = value;
                return;
            }
        }
        fields.emplace_back(key, value);
    }
    bool Has(const std::string& key) const {
        for (const auto& field : fields)
            if (field.first == key) return true;
        return false;
    }
    // The value of a key, or def when the record has none.
    std::string Get(const std::string& key, const std::string& def = "") const {
        for (const auto& field : fields)
            if (field.first == key) return field.second;
        return def;
    }
};

inline std::string FormatRecord(const Record& record) {
    std::string out = "[record]\r\n";
    for (const auto& field : record.fields) {
        out += field.first;
        out += '=';
        out += EncodeValue(field.second);
        out += "\r\n";
    }
    out += "[end]\r\n";
    return out;
}

inline std::vector<Record> ParseRecords(const std::string& text) {
    std::vector<Record> records;
    Record current;
    bool inside = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "[record]") {
            current = Record{};
            inside = true;
        } else if (line == "[end]") {
            if (inside) records.push_back(current);
            inside = false;
        } else if (inside) {
            std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            current.fields.emplace_back(line.substr(0, eq), DecodeValue(line.substr(eq + 1)));
        }
    }
    return records;
}

}  // namespace standin
