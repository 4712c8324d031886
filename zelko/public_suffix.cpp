#include "zelko/public_suffix.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

#include "common/helpers.h"

namespace zelko {

namespace {

constexpr std::size_t kMaxHostBytes = 255;  // a DNS name, its trailing dot included
constexpr std::size_t kMaxLabelBytes = 63;

// The rules as the table holds them, read once.
const std::unordered_set<std::string>& SuffixRules() {
    static const std::unordered_set<std::string> rules = [] {
        std::unordered_set<std::string> set;
        const std::string_view table(kPublicSuffixTable, kPublicSuffixTableSize);
        std::string path;                  // the labels of the rule before, joined by "."
        std::vector<std::size_t> ends;     // where each of its labels ends in path
        std::size_t at = 0;
        while (at < table.size()) {
            const std::size_t shared = static_cast<std::size_t>(table[at] - 'A');
            std::size_t next = at + 1;
            while (next < table.size() && !(table[next] >= 'A' && table[next] <= 'Z')) ++next;
            ends.resize(std::min(shared, ends.size()));
            path.resize(ends.empty() ? 0 : ends.back());
            for (std::string_view rest = table.substr(at + 1, next - at - 1); !rest.empty();) {
                const std::size_t dot = std::min(rest.find('.'), rest.size());
                if (!path.empty()) path += '.';
                path.append(rest.substr(0, dot));
                ends.push_back(path.size());
                rest.remove_prefix(std::min(dot + 1, rest.size()));
            }
            set.insert(path);
            at = next;
        }
        return set;
    }();
    return rules;
}

// RFC 3492 decoding of what follows "xn--"; nothing when it is not punycode.
std::optional<std::u32string> DecodePunycode(std::string_view code) {
    constexpr std::uint32_t base = 36, tmin = 1, tmax = 26, skew = 38, damp = 700;
    constexpr std::uint32_t maxValue = 0x7FFFFFFF;
    auto adapt = [](std::uint32_t delta, std::uint32_t points, bool first) {
        delta = first ? delta / damp : delta / 2;
        delta += delta / points;
        std::uint32_t k = 0;
        while (delta > ((base - tmin) * tmax) / 2) {
            delta /= base - tmin;
            k += base;
        }
        return k + (base - tmin + 1) * delta / (delta + skew);
    };
    std::u32string out;
    const std::size_t dash = code.rfind('-');
    std::size_t in = 0;
    if (dash != std::string_view::npos) {
        for (char c : code.substr(0, dash)) {
            if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
            out += static_cast<char32_t>(c);
        }
        in = dash + 1;
    }
    std::uint32_t n = 128, i = 0, bias = 72;
    while (in < code.size()) {
        const std::uint32_t oldi = i;
        std::uint32_t w = 1;
        for (std::uint32_t k = base;; k += base) {
            if (in >= code.size()) return std::nullopt;
            const char c = code[in++];
            std::uint32_t digit;
            if (c >= 'a' && c <= 'z')
                digit = static_cast<std::uint32_t>(c - 'a');
            else if (c >= '0' && c <= '9')
                digit = static_cast<std::uint32_t>(c - '0') + 26;
            else
                return std::nullopt;
            if (digit > (maxValue - i) / w) return std::nullopt;
            i += digit * w;
            const std::uint32_t t = k <= bias ? tmin : k >= bias + tmax ? tmax : k - bias;
            if (digit < t) break;
            if (w > maxValue / (base - t)) return std::nullopt;
            w *= base - t;
        }
        const std::uint32_t points = static_cast<std::uint32_t>(out.size()) + 1;
        bias = adapt(i - oldi, points, oldi == 0);
        if (i / points > maxValue - n) return std::nullopt;
        n += i / points;
        i %= points;
        if (n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return std::nullopt;
        out.insert(out.begin() + i, static_cast<char32_t>(n));
        ++i;
    }
    return out;
}

// A label as the rules spell it: punycode decoded to UTF-8.
std::string RuleLabel(std::string_view label) {
    if (label.size() > 4 && label.size() <= kMaxLabelBytes && label.substr(0, 4) == "xn--") {
        if (std::optional<std::u32string> decoded = DecodePunycode(label.substr(4))) {
            std::string utf8;
            for (char32_t cp : *decoded) common::AppendUtf8(utf8, cp);
            return utf8;
        }
    }
    return std::string(label);
}

std::vector<std::string_view> Labels(std::string_view host) {
    std::vector<std::string_view> labels;
    for (std::size_t from = 0;;) {
        const std::size_t dot = host.find('.', from);
        labels.push_back(host.substr(from, dot == std::string_view::npos ? host.npos : dot - from));
        if (dot == std::string_view::npos) return labels;
        from = dot + 1;
    }
}

// How many labels from the right form the public suffix of these labels.
std::size_t SuffixLength(const std::vector<std::string_view>& labels) {
    const std::unordered_set<std::string>& rules = SuffixRules();
    std::size_t longest = 1;  // the implicit rule "*"
    std::string key;          // the first k labels from the right, joined by "."
    for (std::size_t k = 1; k <= labels.size(); ++k) {
        const std::string label = RuleLabel(labels[labels.size() - k]);
        const std::string parent = key;
        key = parent.empty() ? label : parent + "." + label;
        if (!parent.empty() && rules.count(parent + ".!" + label)) return k - 1;  // exceptions win
        if (rules.count(key) || (!parent.empty() && rules.count(parent + ".*"))) longest = k;
    }
    return longest;
}

}  // namespace

bool IsIpLiteral(std::string_view host) {
    if (!host.empty() && host.front() == '[') return true;
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    const std::string_view last = host.substr(host.rfind('.') + 1);
    if (last.empty()) return false;
    const bool hex = last.size() > 1 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X');
    const std::string_view digits = hex ? last.substr(2) : last;
    return std::all_of(digits.begin(), digits.end(), [hex](char c) {
        return (c >= '0' && c <= '9') ||
               (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    });
}

std::string CanonicalHost(std::string_view host) {
    std::string lower = common::AsciiLower(std::string(host));
    if (!lower.empty() && lower.back() == '.') lower.pop_back();
    if (IsIpLiteral(lower) || lower.find("xn--") == std::string::npos) return lower;
    const std::vector<std::string_view> labels = Labels(lower);
    std::string canonical;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (i > 0) canonical += '.';
        canonical += RuleLabel(labels[i]);
    }
    return canonical;
}

std::string RegistrableDomain(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostBytes || IsIpLiteral(host) ||
        host.find_first_of("[]") != std::string_view::npos)
        return "";
    const std::string lower = common::AsciiLower(std::string(host));
    const std::vector<std::string_view> labels = Labels(lower);
    for (std::string_view label : labels)
        if (label.empty()) return "";
    const std::size_t suffix = SuffixLength(labels);
    if (labels.size() <= suffix) return "";
    const std::string_view first = labels[labels.size() - suffix - 1];
    return lower.substr(static_cast<std::size_t>(first.data() - lower.data()));
}

}  // namespace zelko
