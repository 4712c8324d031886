// ReplacePathText against the step-by-step method on arbitrary bytes: the
// first bytes choose the boundary switch and the lengths of old and new.
// Also the URL form of a path and the small text decisions of the launch.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/helpers.h"
#include "tarvel/launch.h"
#include "tarvel/path_correction.h"

namespace {

std::string Upper(std::string t) {
    for (char& c : t)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return t;
}

std::string StepByStep(std::string text, const std::string& oldText, const std::string& newText,
                       bool boundary) {
    if (oldText.empty()) return text;
    std::string u = Upper(text), o = Upper(oldText), result;
    while (!u.empty()) {
        const std::size_t p = u.find(o);
        if (p == std::string::npos) {
            result += text;
            break;
        }
        const std::size_t after = p + o.size();
        const char c = after < u.size() ? u[after] : '\n';
        if (!boundary || c == '\n' || c == '\r' || c == '/' || c == '\\') {
            result += text.substr(0, p) + newText;
        } else {
            result += text.substr(0, after);
        }
        text.erase(0, after);
        u.erase(0, after);
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const bool boundary = data[0] & 1;
    const std::size_t oldLength = data[1] % 16, newLength = data[2] % 16;
    std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
    if (rest.size() < oldLength + newLength) return 0;
    const std::string oldText = rest.substr(0, oldLength);
    const std::string newText = rest.substr(oldLength, newLength);
    const std::string text = rest.substr(oldLength + newLength);
    const std::string expected = StepByStep(text, oldText, newText, boundary);
    if (tarvel::ReplacePathText(text, oldText, newText, boundary) != expected) std::abort();
    std::string inPlace = text;
    tarvel::ReplacePathTextInPlace(inPlace, oldText, newText, boundary);
    if (inPlace != expected) std::abort();
    if (tarvel::ContainsNoCase(text, oldText) !=
        (!oldText.empty() && Upper(text).find(Upper(oldText)) != std::string::npos)) {
        std::abort();
    }

    const std::string url = tarvel::UrlForm(text);
    if (url.find_first_of("\\ ") != std::string::npos) std::abort();
    if (url.size() != text.size() + 2 * static_cast<std::size_t>(std::count(text.begin(), text.end(), ' ')))
        std::abort();
    // Quotes may stand anywhere in an argument; without them the switch must be there.
    if (tarvel::IsSilentTail(text) && common::ReplaceAll(text, "\"", "").find("/silent") == std::string::npos)
        std::abort();
    return 0;
}
