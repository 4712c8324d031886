#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "zelko/cookie_scope.h"
#include "zelko/job.h"
#include "zelko/public_suffix.h"

namespace zelko {
namespace {

// The list's own vectors: checkPublicSuffix('host', 'registrable domain' or null).
TEST(RegistrableDomain, ListVectors) {
    std::ifstream file(OC_PUBLIC_SUFFIX_TESTS);
    ASSERT_TRUE(file) << OC_PUBLIC_SUFFIX_TESTS;
    const std::regex row(R"(^checkPublicSuffix\((null|'([^']*)'), (null|'([^']*)')\);)");
    std::size_t rows = 0;
    for (std::string line; std::getline(file, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, row)) continue;
        ++rows;
        EXPECT_EQ(RegistrableDomain(m[2].str()), m[4].str()) << line;
    }
    EXPECT_GE(rows, 70u);
}

TEST(RegistrableDomain, SharedHostingAddressesAndOddNames) {
    struct Case {
        std::string host;
        std::string expected;
    };
    const Case cases[] = {
        {"site-a.github.io", "site-a.github.io"},
        {"www.site-a.github.io", "site-a.github.io"},
        {"github.io", ""},
        {"co.uk", ""},
        {"bank.co.uk", "bank.co.uk"},
        {"files.bank.co.uk", "bank.co.uk"},
        {"Files.Bank.CO.UK", "bank.co.uk"},
        {"test.ck", ""},                   // *.ck
        {"a.b.test.ck", "b.test.ck"},
        {"a.www.ck", "www.ck"},            // !www.ck
        {"10.0.0.1", ""},
        {"0x7f.1", ""},
        {"[::1]", ""},
        {"[2001:db8::1]", ""},
        {"x.[a.example", ""},  // found by fuzzing: a bracket inside made a domain that was not one
        {"localhost", ""},
        {"intranet", ""},
        {"www.xn--85x722f.\xE5\x85\xAC\xE5\x8F\xB8.cn", "xn--85x722f.\xE5\x85\xAC\xE5\x8F\xB8.cn"},
        {"shop.xn--!!", "shop.xn--!!"},  // a label that does not decode is matched as it is
        {"a.shop.XN--55QX5D.cn", "shop.xn--55qx5d.cn"},
        // An "xn--" label counts for a rule only as real punycode of a non-ASCII name.
        {"a.b.co.xn--uk-", "co.xn--uk-"},
        {"a.b.co.xn--xn--uk--", "co.xn--xn--uk--"},
        {"a.b.xn--55qx5d-.cn", "xn--55qx5d-.cn"},
        {"a.b.xn--55qx5d_.cn", "xn--55qx5d_.cn"},
        {"a.b.xn--.cn", "xn--.cn"},
        {"example.com.", ""},
        {"a..example.com", ""},
        {".", ""},
        {"", ""},
        {"www." + std::string(64, 'a') + ".com", std::string(64, 'a') + ".com"},
        {std::string(300, 'a') + ".example.com", ""},
        {std::string("\x00\xFF\x01.com", 6), std::string("\x00\xFF\x01.com", 6)},
    };
    for (const Case& c : cases) EXPECT_EQ(RegistrableDomain(c.host), c.expected) << c.host;
}

// Binary search needs the order std::string_view compares in, and a line
// feed before each rule and after the last, none empty.
TEST(PublicSuffixTable, SortedOnceEach) {
    const std::string_view text(kPublicSuffixText, kPublicSuffixTextSize);
    ASSERT_EQ(text.front(), '\n');
    ASSERT_EQ(text.back(), '\n');
    std::size_t rules = 0;
    std::string_view previous;
    for (std::size_t at = 1; at < text.size(); ++rules) {
        const std::size_t end = text.find('\n', at);
        const std::string_view rule = text.substr(at, end - at);
        ASSERT_FALSE(rule.empty()) << at;
        if (rules > 0) ASSERT_LT(previous, rule);
        previous = rule;
        at = end + 1;
    }
    EXPECT_GE(rules, 1000u);
}

TEST(CanonicalHost, Forms) {
    struct Case {
        std::string host;
        std::string expected;
    };
    const Case cases[] = {
        {"WWW.Example.COM.", "www.example.com"},
        {"xn--85x722f.XN--55QX5D.cn", "xn--85x722f.xn--55qx5d.cn"},
        {"www.\xE9\xA3\x9F\xE7\x8B\xAE.\xE5\x85\xAC\xE5\x8F\xB8.cn", "www.xn--85x722f.xn--55qx5d.cn"},
        {"B\xC3\xBC" "cher.example.", "xn--bcher-kva.example"},
        {"\xC3\xBC", "xn--tda"},
        // "xn--" labels are never decoded, valid or not.
        {"xn--alice-.duckdns.org", "xn--alice-.duckdns.org"},
        {"xn--xn--alice--.duckdns.org", "xn--xn--alice--.duckdns.org"},
        {"xn--55qx5d-broken!.cn", "xn--55qx5d-broken!.cn"},
        {"xn--" + std::string(200, '9') + ".cn", "xn--" + std::string(200, '9') + ".cn"},
        {"xn--99999999999.cn", "xn--99999999999.cn"},  // a code point past U+10FFFF
        {"b\xFC" "cher.example", ""},                    // not UTF-8
        {"\xED\xA0\x80.example", ""},                  // a surrogate
        {"[::1]", "[::1]"},
        {"a..b", "a..b"},
    };
    for (const Case& c : cases) EXPECT_EQ(CanonicalHost(c.host), c.expected) << c.host;
}

TEST(CookiesMayGo, PageAndLink) {
    const std::string idnPage = "http://www.\xE9\xA3\x9F\xE7\x8B\xAE.\xE5\x85\xAC\xE5\x8F\xB8.cn/";
    const std::string alice = "https://alice.duckdns.org/";  // duckdns.org is a public suffix
    struct Case {
        const char* name;
        std::string page;
        std::string link;
        bool go;
    };
    const Case cases[] = {
        {"same host", "http://www.shop.test/a.html", "http://www.shop.test/b.zip", true},
        {"same site", "http://www.shop.test/", "http://files.shop.test/x.zip", true},
        {"other site", "http://www.shop.test/", "http://other.test/x.zip", false},
        {"github.io neighbour", "https://site-a.github.io/", "https://site-b.github.io/x.zip", false},
        {"github.io own", "https://site-a.github.io/p", "https://dl.site-a.github.io/x.zip", true},
        {"co.uk same", "http://www.bank.co.uk/", "http://files.bank.co.uk/s.pdf", true},
        {"co.uk neighbour", "http://www.bank.co.uk/", "http://other.co.uk/b.zip", false},
        {"https page, http link", "https://www.shop.test/", "http://www.shop.test/x.zip", false},
        {"https page, ftp link", "https://www.shop.test/", "ftp://www.shop.test/x.zip", false},
        {"http page, https link", "http://www.shop.test/", "https://files.shop.test/x.zip", true},
        {"same IPv4", "http://10.0.0.1/", "http://10.0.0.1:8080/x.zip", true},
        {"IPv4 sharing two labels", "http://10.0.0.1/", "http://20.0.0.1/x.zip", false},
        {"same IPv6", "http://[::1]/", "http://[::1]:81/x.zip", true},
        {"other IPv6", "http://[fe80::1]/", "http://[fe80::2]/x.zip", false},
        {"IPv6 unclosed", "http://[::1/", "http://[::1/x.zip", false},
        {"same bare host", "http://intranet/", "http://intranet:8080/x.zip", true},
        {"other bare host", "http://intranet/", "http://files/x.zip", false},
        {"IDN Unicode page, punycode link", idnPage, "http://dl.xn--85x722f.xn--55qx5d.cn/f.zip", true},
        {"IDN neighbour", idnPage, "http://shishi.xn--55qx5d.cn/f.zip", false},
        {"Unicode page, its punycode", "http://b\xC3\xBC" "cher.example/", "http://xn--bcher-kva.example/f", true},
        {"punycode page, its Unicode", "http://xn--bcher-kva.example/", "http://B\xC3\xBC" "cher.example/f", true},
        {"punycode page, upper case", "http://xn--bcher-kva.example/", "http://XN--BCHER-KVA.EXAMPLE/f", true},
        {"made-up xn-- label", alice, "https://xn--alice-.duckdns.org/f", false},
        {"made-up XN-- label", alice, "https://XN--ALICE-.duckdns.org/f", false},
        {"nested xn--", alice, "https://xn--xn--alice--.duckdns.org/f", false},
        {"nested xn--, its page", "https://xn--alice-.duckdns.org/", "https://xn--xn--alice--.duckdns.org/f",
         false},
        {"xn-- bad digit", alice, "https://xn--alice-_.duckdns.org/f", false},
        {"xn-- overflow", alice, "https://xn--alice-99999999999.duckdns.org/f", false},
        {"empty xn--", alice, "https://xn--.duckdns.org/f", false},
        {"Cyrillic look-alike", alice, "https://\xD0\xB0lice.duckdns.org/f", false},
        {"host not UTF-8", "http://b\xFC" "cher.example/", "http://b\xFC" "cher.example/f", false},
        {"port", "http://www.shop.test/", "http://files.shop.test:8080/a.zip", true},
        {"port of other text", "http://www.shop.test/", "http://files.shop.test:80x/a.zip", false},
        {"upper case", "HTTP://WWW.SHOP.TEST/", "http://Files.Shop.Test/a.zip", true},
        {"upper-case https page", "HTTPS://www.shop.test/", "http://www.shop.test/a.zip", false},
        {"trailing dot", "http://www.shop.test./", "http://files.shop.test/a.zip", true},
        {"two trailing dots", "http://shop.test../", "http://files.shop.test/a.zip", false},
        {"userinfo", "http://www.shop.test/", "http://user:pw@files.shop.test/a.zip", true},
        {"userinfo naming the page", "http://www.shop.test/", "http://www.shop.test@evil.test/a.zip",
         false},
        {"two @", "http://www.shop.test/", "http://a@www.shop.test@evil.test/a.zip", false},
        {"backslash", "http://www.shop.test/", "http://evil.test\\@www.shop.test/a.zip", false},
        {"percent escape", "http://www.shop.test/", "http://www%2eshop.test/a.zip", false},
        {"query holding the page", "http://www.shop.test/", "http://evil.test?@www.shop.test/", false},
        {"blanks around", " http://www.shop.test/ ", "\thttp://files.shop.test/a.zip\x01", true},
        {"relative link", "http://www.shop.test/", "/a.zip", false},
        {"scheme-relative link", "http://www.shop.test/", "//files.shop.test/a.zip", false},
        {"no page", "", "http://www.shop.test/a.zip", false},
        {"page without host", "about:blank", "http://www.shop.test/a.zip", false},
        {"wildcard neighbours", "http://a.test.ck/", "http://b.test.ck/x", false},
        {"under a wildcard", "http://a.b.test.ck/", "http://c.b.test.ck/x", true},
        {"under an exception", "http://www.ck/", "http://dl.www.ck/x", true},
        {"huge same host", "http://" + std::string(100000, 'a') + ".test/",
         "http://" + std::string(100000, 'a') + ".test/x", true},
        {"huge other host", "http://" + std::string(100000, 'a') + ".test/",
         "http://" + std::string(99999, 'a') + ".test/x", false},
        {"binary", std::string("http://\x00\xFF/", 10), std::string("http://\x00\xFF/x", 11), false},
    };
    for (const Case& c : cases) EXPECT_EQ(CookiesMayGo(c.page, c.link), c.go) << c.name;
}

TEST(DropForeignCookies, EachLinkByItsOwnHost) {
    struct Case {
        const char* name;
        std::string job;
        std::string expected;
    };
    const Case cases[] = {
        {"kept and dropped",
         "3;M;2;;\r\nhttps://www.shop.test/p\r\n"
         "https://files.shop.test/a.zip\r\nA\r\nsid=1; \r\n\r\n"
         "https://evil.test/b.zip\r\nB\r\nsid=1; \r\n\r\n"
         "http://files.shop.test/c.zip\r\nC\r\nsid=1; \r\npost\r\n",
         "3;M;2;;\r\nhttps://www.shop.test/p\r\n"
         "https://files.shop.test/a.zip\r\nA\r\nsid=1; \r\n\r\n"
         "https://evil.test/b.zip\r\nB\r\n\r\n\r\n"
         "http://files.shop.test/c.zip\r\nC\r\n\r\npost\r\n"},
        {"a last group without its post line",
         "1;M;2;;\r\nhttp://a.test/\r\nhttp://b.test/x\r\nd\r\nk=v\r\n",
         "1;M;2;;\r\nhttp://a.test/\r\nhttp://b.test/x\r\nd\r\n\r\n"},
        {"too short to hold cookies", "1;M;2;;\r\nhttp://a.test/\r\nhttp://b.test/x\r\nd\r\n",
         "1;M;2;;\r\nhttp://a.test/\r\nhttp://b.test/x\r\nd\r\n"},
    };
    for (const Case& c : cases) {
        JobLines lines = SplitJobLines(c.job);
        DropForeignCookies(lines);
        EXPECT_EQ(lines.Text(), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace zelko
