// FakePlatform: code pages 1252 (the system's by default) and 1251, local
// time and the date and time pictures.
#include <cstdio>

#include "common/helpers.h"
#include "tests/support/fake_state.h"

namespace common {

namespace {

// Code page 1252 bytes 0x80..0x9F; the five unassigned ones map to the C1
// controls of the same value, as Windows does.
constexpr char32_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t FromAnsi(unsigned char c) {
    return (c >= 0x80 && c < 0xA0) ? kHigh[c - 0x80] : static_cast<char32_t>(c);
}

char ToAnsi(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u) return static_cast<char>(0x80 + i);
    return '?';
}

// Code page 1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr char32_t kCyrillicHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

char32_t FromCyrillic(unsigned char c) {
    if (c < 0x80) return c;
    return c < 0xC0 ? kCyrillicHigh[c - 0x80] : static_cast<char32_t>(0x0410 + (c - 0xC0));
}

std::optional<char> ToCyrillic(char32_t u) {
    if (u < 0x80) return static_cast<char>(u);
    if (u >= 0x0410 && u <= 0x044F) return static_cast<char>(0xC0 + (u - 0x0410));
    for (int i = 0; i < 64; ++i)
        if (kCyrillicHigh[i] == u) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

// One code point from UTF-8 at i; malformed input gives U+FFFD for one byte.
char32_t NextUtf8(const std::string& s, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = byte(i);
    int extra;
    char32_t u;
    if (c < 0x80) {
        ++i;
        return c;
    } else if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        u = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        u = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        u = c & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= s.size() || (byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        u = (u << 6) | (byte(i + k) & 0x3F);
    }
    bool overlong = (extra == 2 && u < 0x800) || (extra == 3 && u < 0x10000);
    if (overlong || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return u;
}

// --- calendar ---

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

int DayOfWeek(std::int64_t days) {  // 1970-01-01 was a Thursday; Sunday = 0
    return static_cast<int>(((days % 7) + 11) % 7);
}

const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[] = {"January", "February", "March",     "April",
                                   "May",     "June",     "July",      "August",
                                   "September", "October", "November", "December"};

std::string Two(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

struct Token {
    bool picture = false;
    char letter = 0;
    std::size_t count = 0;
    std::string text;  // literal text
};

// A Windows date or time picture: runs of the picture letters, 'quoted text'
// ('' inside quotes is one quote), everything else literal.
std::vector<Token> Tokenize(const std::string& picture, const std::string& letters) {
    std::vector<Token> out;
    std::size_t i = 0;
    auto literal = [&](const std::string& t) {
        if (!out.empty() && !out.back().picture) out.back().text += t;
        else out.push_back(Token{false, 0, 0, t});
    };
    while (i < picture.size()) {
        char c = picture[i];
        if (c == '\'') {
            std::string text;
            ++i;
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += picture[i++];
            }
            literal(text);
        } else if (letters.find(c) != std::string::npos) {
            std::size_t n = 0;
            while (i < picture.size() && picture[i] == c) ++n, ++i;
            out.push_back(Token{true, c, n, ""});
        } else {
            literal(std::string(1, c));
            ++i;
        }
    }
    return out;
}

// Drops the picture elements of these letters and the literal text before each.
void Drop(std::vector<Token>& tokens, const std::string& letters) {
    std::vector<Token> out;
    for (const auto& t : tokens) {
        if (t.picture && letters.find(t.letter) != std::string::npos) {
            if (!out.empty() && !out.back().picture) out.pop_back();
            continue;
        }
        out.push_back(t);
    }
    tokens = out;
}

std::string Render(const std::vector<Token>& tokens, const SystemTime& t, bool force24) {
    std::string out;
    for (const auto& tok : tokens) {
        if (!tok.picture) {
            out += tok.text;
            continue;
        }
        std::size_t n = tok.count;
        int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
        switch (tok.letter) {
            case 'd':
                if (n == 1) out += std::to_string(t.day);
                else if (n == 2) out += Two(t.day);
                else if (n == 3) out += std::string(kDayNames[t.dayOfWeek % 7]).substr(0, 3);
                else out += kDayNames[t.dayOfWeek % 7];
                break;
            case 'M':
                if (n == 1) out += std::to_string(t.month);
                else if (n == 2) out += Two(t.month);
                else if (n == 3) out += std::string(kMonthNames[(t.month + 11) % 12]).substr(0, 3);
                else out += kMonthNames[(t.month + 11) % 12];
                break;
            case 'y':
                if (n == 1) out += std::to_string(t.year % 100);
                else if (n == 2) out += Two(t.year % 100);
                else out += std::to_string(t.year);
                break;
            case 'g':
                out += "A.D.";
                break;
            case 'h':
            case 'H': {
                int h = (tok.letter == 'H' || force24) ? t.hour : hour12;
                out += n == 1 ? std::to_string(h) : Two(h);
                break;
            }
            case 'm':
                out += n == 1 ? std::to_string(t.minute) : Two(t.minute);
                break;
            case 's':
                out += n == 1 ? std::to_string(t.second) : Two(t.second);
                break;
            case 't':
                out += n == 1 ? (t.hour < 12 ? "A" : "P") : (t.hour < 12 ? "AM" : "PM");
                break;
            default:
                break;
        }
    }
    return out;
}

constexpr std::uint32_t kDateLong = 0x2;
constexpr std::uint32_t kTimeNoMinutesOrSeconds = 0x1, kTimeNoSeconds = 0x2,
                        kTimeNoMarker = 0x4, kTimeForce24 = 0x8;

}  // namespace

void FakePlatform::SetAnsiCodePage(unsigned codePage) { s_->ansiCodePage = codePage; }

void FakePlatform::SetBestFitConversion(bool on) { s_->bestFit = on; }

std::string FakePlatform::AnsiToUtf8(const std::string& ansi) {
    std::string out;
    for (unsigned char c : ansi)
        AppendUtf8(out, s_->ansiCodePage == 1251 ? FromCyrillic(c) : FromAnsi(c));
    return out;
}

std::string FakePlatform::Utf8ToAnsi(const std::string& utf8) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t u = NextUtf8(utf8, i);
        // Windows' best-fit tables turn the full-width forms into their ASCII
        // characters, in code page 1251 as in 1252.
        if (s_->bestFit && u >= 0xFF01 && u <= 0xFF5E) u -= 0xFF01 - 0x21;
        out += s_->ansiCodePage == 1251 ? ToCyrillic(u).value_or('?') : ToAnsi(u);
    }
    return out;
}

std::optional<std::string> FakePlatform::Utf8ToCodePage(const std::string& utf8,
                                                        unsigned codePage) {
    if (codePage != 1251 && codePage != 1252) return std::nullopt;
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t u = NextUtf8(utf8, i);
        std::optional<char> c = codePage == 1251 ? ToCyrillic(u) : std::optional<char>(ToAnsi(u));
        if (!c || (codePage == 1252 && *c == '?' && u != '?')) return std::nullopt;
        out += *c;
    }
    return out;
}

std::string FakePlatform::UpperCase(const std::string& ansi) { return fake::Upper(ansi); }

std::string FakePlatform::LowerCase(const std::string& ansi) {
    std::string out = ansi;
    for (auto& ch : out) ch = static_cast<char>(fake::Lower1252(static_cast<unsigned char>(ch)));
    return out;
}

void FakePlatform::SetLocalTime(const SystemTime& t) {
    s_->baseTime = t;
    s_->baseTimeSetAt = s_->now;
}

SystemTime FakePlatform::LocalTime() {
    const SystemTime& b = s_->baseTime;
    std::int64_t days = DaysFromCivil(b.year, static_cast<unsigned>(b.month),
                                      static_cast<unsigned>(b.day));
    std::int64_t ms = ((static_cast<std::int64_t>(b.hour) * 60 + b.minute) * 60 + b.second) * 1000 +
                      b.milliseconds +
                      static_cast<std::int64_t>(s_->now - s_->baseTimeSetAt);
    constexpr std::int64_t kDay = 86400000;
    days += ms / kDay;
    ms %= kDay;
    SystemTime t;
    CivilFromDays(days, t.year, t.month, t.day);
    t.dayOfWeek = DayOfWeek(days);
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.milliseconds = static_cast<int>(ms % 1000);
    return t;
}

std::uint64_t FakePlatform::State::FileTime() const {
    const SystemTime& b = baseTime;
    const std::int64_t days = DaysFromCivil(b.year, static_cast<unsigned>(b.month),
                                            static_cast<unsigned>(b.day)) -
                              DaysFromCivil(1601, 1, 1);
    const std::int64_t ms = days * 86400000 +
                            ((static_cast<std::int64_t>(b.hour) * 60 + b.minute) * 60 + b.second) *
                                1000 +
                            b.milliseconds + static_cast<std::int64_t>(now - baseTimeSetAt);
    return static_cast<std::uint64_t>(ms) * 10000;
}

std::uint64_t FakePlatform::FileTimeNow() { return s_->FileTime(); }

void FakePlatform::SetDatePictures(const std::string& shortDate, const std::string& longDate) {
    s_->shortDatePicture = shortDate;
    s_->longDatePicture = longDate;
}

void FakePlatform::SetTimePicture(const std::string& picture) { s_->timePicture = picture; }

std::string FakePlatform::FormatDate(const SystemTime& t, std::uint32_t flags,
                                     const std::string& format) {
    std::string picture = !format.empty()          ? format
                          : (flags & kDateLong) != 0 ? s_->longDatePicture
                                                   : s_->shortDatePicture;
    SystemTime when = t;
    when.dayOfWeek = DayOfWeek(
        DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)));
    return Render(Tokenize(picture, "dMyg"), when, false);
}

std::string FakePlatform::FormatTime(const SystemTime& t, std::uint32_t flags,
                                     const std::string& format) {
    auto tokens = Tokenize(format.empty() ? s_->timePicture : format, "hHmst");
    if (flags & kTimeNoMinutesOrSeconds) Drop(tokens, "ms");
    else if (flags & kTimeNoSeconds) Drop(tokens, "s");
    if (flags & kTimeNoMarker) Drop(tokens, "t");
    return Render(tokens, t, (flags & kTimeForce24) != 0);
}

}  // namespace common
