#include "zelko/public_suffix.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/helpers.h"

namespace zelko {

namespace {

constexpr std::size_t kMaxHostBytes = 255;  // a DNS name, its trailing dot included
constexpr std::size_t kMaxLabelBytes = 63;
constexpr std::string_view kAcePrefix = "xn--";

// RFC 3492's parameters.
constexpr std::uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
constexpr std::uint32_t kInitialN = 128, kInitialBias = 72;
constexpr std::uint32_t kMaxValue = 0x7FFFFFFF;

std::uint32_t Adapt(std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
        delta /= kBase - kTMin;
        k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

std::uint32_t Threshold(std::uint32_t k, std::uint32_t bias) {
    return k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The code points of well-formed UTF-8; nothing for other bytes.
std::optional<std::u32string> CodePoints(std::string_view utf8) {
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::u32string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = common::Utf8SequenceLength(utf8, at);
        if (length == 0) return std::nullopt;
        char32_t cp = static_cast<unsigned char>(utf8[at]) & kLeadBits[length];
        for (std::size_t i = 1; i < length; ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
        out += cp;
        at += length;
    }
    return out;
}

// RFC 3492 decoding of what follows "xn--" (lower-case digits); nothing when
// it is not punycode.
std::optional<std::u32string> DecodePunycode(std::string_view code) {
    std::u32string out;
    const std::size_t dash = code.rfind('-');
    std::size_t in = 0;
    if (dash != std::string_view::npos) {
        if (!IsAscii(code.substr(0, dash))) return std::nullopt;
        out.assign(code.begin(), code.begin() + static_cast<std::ptrdiff_t>(dash));
        in = dash + 1;
    }
    std::uint32_t n = kInitialN, i = 0, bias = kInitialBias;
    while (in < code.size()) {
        const std::uint32_t oldi = i;
        std::uint32_t w = 1;
        for (std::uint32_t k = kBase;; k += kBase) {
            if (in >= code.size()) return std::nullopt;
            const char c = code[in++];
            std::uint32_t digit;
            if (c >= 'a' && c <= 'z')
                digit = static_cast<std::uint32_t>(c - 'a');
            else if (c >= '0' && c <= '9')
                digit = static_cast<std::uint32_t>(c - '0') + 26;
            else
                return std::nullopt;
            if (digit > (kMaxValue - i) / w) return std::nullopt;
            i += digit * w;
            const std::uint32_t t = Threshold(k, bias);
            if (digit < t) break;
            if (w > kMaxValue / (kBase - t)) return std::nullopt;
            w *= kBase - t;
        }
        const std::uint32_t points = static_cast<std::uint32_t>(out.size()) + 1;
        bias = Adapt(i - oldi, points, oldi == 0);
        if (i / points > kMaxValue - n) return std::nullopt;
        n += i / points;
        i %= points;
        if (n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return std::nullopt;
        out.insert(out.begin() + i, static_cast<char32_t>(n));
        ++i;
    }
    return out;
}

// RFC 3492 encoding, without "xn--"; nothing on overflow.
std::optional<std::string> EncodePunycode(const std::u32string& input) {
    auto digit = [](std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + d - 26); };
    std::string out;
    for (char32_t c : input)
        if (c < 0x80) out += static_cast<char>(c);
    const std::uint32_t basic = static_cast<std::uint32_t>(out.size());
    if (basic > 0) out += '-';
    std::uint32_t n = kInitialN, delta = 0, bias = kInitialBias, handled = basic;
    while (handled < input.size()) {
        std::uint32_t m = kMaxValue;
        for (char32_t c : input)
            if (c >= n && c < m) m = c;
        if (m - n > (kMaxValue - delta) / (handled + 1)) return std::nullopt;
        delta += (m - n) * (handled + 1);
        n = m;
        for (char32_t c : input) {
            if (c < n && ++delta > kMaxValue) return std::nullopt;
            if (c != n) continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = kBase;; k += kBase) {
                const std::uint32_t t = Threshold(k, bias);
                if (q < t) break;
                out += digit(t + (q - t) % (kBase - t));
                q = (q - t) / (kBase - t);
            }
            out += digit(q);
            bias = Adapt(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return out;
}

// The label as the rules spell it: an "xn--" label that is real punycode (it
// decodes to a non-ASCII name that encodes back to the same text) as its
// UTF-8; any other label as it is.
std::string RuleLabel(std::string_view label) {
    if (label.size() <= kAcePrefix.size() || label.size() > kMaxLabelBytes ||
        label.substr(0, kAcePrefix.size()) != kAcePrefix)
        return std::string(label);
    const std::string_view code = label.substr(kAcePrefix.size());
    const std::optional<std::u32string> decoded = DecodePunycode(code);
    if (!decoded || std::all_of(decoded->begin(), decoded->end(), [](char32_t c) { return c < 0x80; }) ||
        EncodePunycode(*decoded) != code)
        return std::string(label);
    std::string utf8;
    for (char32_t cp : *decoded) common::AppendUtf8(utf8, cp);
    return utf8;
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

// Binary search on the bytes of the table: the rule around the middle byte
// decides which half goes on. The rules before the line feed at low are less
// than key, those after the one at high greater.
bool IsRule(std::string_view key) {
    const std::string_view text(kPublicSuffixText, kPublicSuffixTextSize);
    std::size_t low = 0, high = text.size() - 1;
    while (low < high) {
        const std::size_t begin = text.rfind('\n', low + (high - low) / 2);
        const std::size_t end = text.find('\n', begin + 1);
        const int order = text.substr(begin + 1, end - begin - 1).compare(key);
        if (order < 0)
            low = end;
        else if (order > 0)
            high = begin;
        else
            return true;
    }
    return false;
}

// How many labels from the right form the public suffix of these labels.
std::size_t SuffixLength(const std::vector<std::string_view>& labels) {
    std::size_t longest = 1;  // the implicit rule "*"
    std::string key;          // the first k labels from the right, joined by "."
    for (std::size_t k = 1; k <= labels.size(); ++k) {
        const std::string label = RuleLabel(labels[labels.size() - k]);
        const std::string parent = key;
        key = parent.empty() ? label : parent + "." + label;
        if (!parent.empty() && IsRule(parent + ".!" + label)) return k - 1;  // exceptions win
        if (IsRule(key) || (!parent.empty() && IsRule(parent + ".*"))) longest = k;
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
    if (IsAscii(lower)) return lower;
    std::string canonical;
    for (std::string_view label : Labels(lower)) {
        if (label.data() != lower.data()) canonical += '.';
        if (IsAscii(label)) {
            canonical += label;
            continue;
        }
        const std::optional<std::u32string> points = CodePoints(label);
        const std::optional<std::string> code = points ? EncodePunycode(*points) : std::nullopt;
        if (!code) return "";
        canonical.append(kAcePrefix).append(*code);
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
