#include "common/json.h"

#include <cstdint>

#include "common/helpers.h"

namespace common {

namespace {

constexpr int kMaxDepth = 64;

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document() {
        JsonValue value;
        if (!Value(value, 0)) return std::nullopt;
        SkipBlanks();
        if (at_ != text_.size()) return std::nullopt;
        return value;
    }

private:
    void SkipBlanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    bool Value(JsonValue& v, int depth) {
        if (depth > kMaxDepth) return false;
        SkipBlanks();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '{') return Object(v, depth);
        if (c == '[') return Array(v, depth);
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            return String(v.text);
        }
        if (c == 't' || c == 'f' || c == 'n') {
            const std::string_view word = c == 't' ? "true" : c == 'f' ? "false" : "null";
            if (!Word(word)) return false;
            v.kind = c == 'n' ? JsonValue::Kind::Null : JsonValue::Kind::Bool;
            v.text = std::string(word);
            return true;
        }
        return Number(v);
    }

    bool Object(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::Object;
        ++at_;
        if (Take('}')) return true;
        do {
            SkipBlanks();
            std::string key;
            if (at_ >= text_.size() || text_[at_] != '"' || !String(key) || !Take(':')) return false;
            v.keys.push_back(std::move(key));
            v.items.emplace_back();
            if (!Value(v.items.back(), depth + 1)) return false;
        } while (Take(','));
        return Take('}');
    }

    bool Array(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::Array;
        ++at_;
        if (Take(']')) return true;
        do {
            v.items.emplace_back();
            if (!Value(v.items.back(), depth + 1)) return false;
        } while (Take(','));
        return Take(']');
    }

    bool Number(JsonValue& v) {
        const std::size_t from = at_;
        auto digits = [&] {
            const std::size_t start = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
            return at_ > start;
        };
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        if (!digits()) return false;
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (!digits()) return false;
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (!digits()) return false;
        }
        v.kind = JsonValue::Kind::Number;
        v.text = std::string(text_.substr(from, at_ - from));
        return true;
    }

    bool Hex4(std::uint32_t& code) {
        if (at_ + 4 > text_.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9') code |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') code |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') code |= static_cast<std::uint32_t>(c - 'A' + 10);
            else return false;
        }
        return true;
    }

    bool Escape(std::string& out) {
        if (at_ >= text_.size()) return false;
        const char c = text_[at_++];
        switch (c) {
        case '"': case '\\': case '/': out += c; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': break;
        default: return false;
        }
        std::uint32_t code = 0;
        if (!Hex4(code)) return false;
        if (code >= 0xD800 && code <= 0xDBFF) {  // a pair's first half
            std::uint32_t second = 0;
            if (!Word("\\u") || !Hex4(second) || second < 0xDC00 || second > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (second - 0xDC00);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        AppendUtf8(out, static_cast<char32_t>(code));
        return true;
    }

    bool String(std::string& out) {
        ++at_;  // the opening quote
        while (at_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                ++at_;
                if (!Escape(out)) return false;
                continue;
            }
            out += static_cast<char>(c);
            ++at_;
        }
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::string JsonString(std::string_view utf8) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char byte : WellFormedUtf8(utf8)) {
        const unsigned char c = static_cast<unsigned char>(byte);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

const JsonValue* JsonValue::Member(std::string_view key) const {
    if (kind != Kind::Object) return nullptr;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) return &items[i];
    return nullptr;
}

std::optional<JsonValue> ParseJson(std::string_view text) { return Reader(text).Document(); }

}  // namespace common
