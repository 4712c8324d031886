#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "mirsa/history.h"

namespace mirsa {
namespace {

std::string TemplateText() {
    std::ifstream in(std::string(MIRSA_RESOURCE_DIR) + "/MirsaHistory.html", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

TEST(HistoryTemplate, HoldsTheLinesTheProgramRelieson) {
    const std::string t = TemplateText();
    ASSERT_FALSE(t.empty());
    const auto lines = Lines(t);
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[4], "<meta name=\"description\" content=\"Mirsa history ver 2.4+\">");
    EXPECT_EQ(lines[lines.size() - 2], kContentLine);
    EXPECT_EQ(lines.back(), kEndLine);
    EXPECT_TRUE(t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0);
    // Every line ends in CR LF: no bare LF or CR.
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\n') ASSERT_TRUE(i > 0 && t[i - 1] == '\r') << "bare LF at " << i;
        if (t[i] == '\r') ASSERT_TRUE(i + 1 < t.size() && t[i + 1] == '\n') << "bare CR at " << i;
    }
    EXPECT_EQ(KindOfPage(t), PageKind::Current);
    // The pieces the script and the style sheet need.
    for (const char* piece :
         {"HTML 4.01 Transitional", "text/html; charset=utf-8", "<title>Mirsa history</title>",
          "mirsa.ico", "id=\"searchbox\"", "value=\"Quick find\"", "id=\"showall\"", " Show all",
          ">History<", "function init()", "function show(all)", "function find()",
          "604800000", "\xD0\x98\xD1\x81\xD1\x82\xD0\xBE\xD1\x80\xD0\xB8\xD1\x8F",  // История
          "max-width: 700px", "min-width: 1281px", "min-width: 1601px", "max-width: 400px",
          "max-width: 300px", "media=\"print\"", ".hidden"})
        EXPECT_NE(t.find(piece), std::string::npos) << piece;
    // Five embedded pictures and no "<h2>" of its own, so the day blocks are alone.
    std::size_t images = 0;
    for (std::size_t at = t.find("data:image/png;base64,"); at != std::string::npos;
         at = t.find("data:image/png;base64,", at + 1))
        ++images;
    EXPECT_EQ(images, 5u);
    EXPECT_EQ(t.find("<h2>"), std::string::npos);
}

TEST(HistoryAddress, OnlyKnownSchemesUnlikeTheTitle) {
    struct Case {
        std::string address, title, want;
    } cases[] = {
        {"http://a/", "A", "http://a/"},
        {"https://a/", "A", "https://a/"},
        {"ftp://a/", "A", "ftp://a/"},
        {"file://c/x", "A", "file://c/x"},
        {"opera:config", "A", ""},
        {"HTTP://a/", "A", ""},
        {"http://a/", "http://a/", ""},
        {"http://a/...", "http://a/", ""},
        {"", "A", ""},
        {"http://a/<script>alert(1)</script>", "A", "http://a/&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"http://a/?q=<b>", "A", "http://a/?q=&lt;b&gt;"},
    };
    for (const auto& c : cases) EXPECT_EQ(HistoryAddress(c.address, c.title), c.want) << c.address;
}

TEST(HistoryTitle, EscapesAnglesOnly) {
    EXPECT_EQ(HistoryTitle("<b>bold</b> & co", "C:\\p\\x.html", false),
              "&lt;b&gt;bold&lt;/b&gt; & co");
    EXPECT_EQ(HistoryTitle("", "C:\\p\\My page.html", false), "My page");
    EXPECT_EQ(HistoryTitle("Title", "C:\\p\\saved.1.mht", true), "saved.1");
    EXPECT_EQ(HistoryTitle("", "C:\\p\\<x>", true), "&lt;x&gt;");
}

TEST(HistoryLink, RelativeOrFileUrl) {
    struct Case {
        std::string saved, folder, want;
    } cases[] = {
        {"C:\\Pages\\a.html", "C:\\Pages\\", "a.html"},
        {"C:\\Pages\\site\\My page.html", "C:\\Pages\\", "site/My%20page.html"},
        {"D:\\Images\\p.jpg", "C:\\Pages\\", "file://localhost/D:/Images/p.jpg"},
        {"c:\\pages\\a.html", "C:\\Pages\\", "file://localhost/c:/pages/a.html"},
        {"C:\\Pages\\_Images\\a b.png", "C:\\Pages\\", "_Images/a%20b.png"},
        {"C:\\Pages\\a#1.html", "C:\\Pages\\", "a#1.html"},
    };
    for (const auto& c : cases) EXPECT_EQ(HistoryLink(c.saved, c.folder), c.want) << c.saved;
}

TEST(HistoryEntry, ThreeLines) {
    EXPECT_EQ(HistoryEntry("17:10:30", "a.html", "Title", "http://a/"),
              "<tr><td>17:10:30</td>\r\n"
              "<td><a href=\"a.html\" target=\"_blank\"><b>Title</b><br>http://a/</a>\r\n"
              "</td></tr>");
    EXPECT_EQ(DayHeading("Sunday 05.05.2024"), "<h2>Sunday 05.05.2024</h2>");
}

TEST(NormalizeLineEnds, EveryLineEndsInCrLf) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb\r\n"},
        {"a\rb\r\n", "a\r\nb\r\n"},
        {"a\r\n\r\nb", "a\r\n\r\nb\r\n"},
        {"\n", "\r\n"},
        {"a\r", "a\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizeLineEnds(c.in), c.out);
}

TEST(KindOfPage, MarkerAndAnchors) {
    const std::string t = TemplateText();
    EXPECT_EQ(KindOfPage(t), PageKind::Current);
    EXPECT_EQ(KindOfPage("1\r\n2\r\n3\r\n4\r\n5 old\r\n<h2>x</h2>\r\n"), PageKind::OldFormat);
    EXPECT_EQ(KindOfPage("1\r\n2\r\n3\r\n4\r\n"), PageKind::MissingAnchors);
    EXPECT_EQ(KindOfPage(""), PageKind::MissingAnchors);
    std::string cut = t.substr(0, t.find(kEndLine));
    EXPECT_EQ(KindOfPage(cut), PageKind::MissingAnchors);
    std::string swapped = "1\r\n2\r\n3\r\n4\r\n" + std::string(kHistoryMarker) + "\r\n" + kEndLine +
                          "\r\n" + kContentLine + "\r\n";
    EXPECT_EQ(KindOfPage(swapped), PageKind::MissingAnchors);
    // An anchor inside a longer line does not count.
    std::string inline_ = t;
    inline_.replace(inline_.find(kEndLine), 0, "x");
    EXPECT_EQ(KindOfPage(inline_), PageKind::MissingAnchors);
}

const std::string kEntryA = "<tr><td>A</td>\r\n<td>a</td></tr>";
const std::string kEntryB = "<tr><td>B</td>\r\n<td>b</td></tr>";

std::string Body(const std::string& page) {
    std::size_t from = page.find(kContentLine) + std::string(kContentLine).size() + 2;
    return page.substr(from, page.rfind(kEndLine) - from);
}

TEST(InsertEntry, OldestFirst) {
    std::string page = InsertEntry(TemplateText(), "<h2>D1</h2>", kEntryA, false);
    EXPECT_EQ(Body(page), "<h2>D1</h2>\r\n<table>\r\n" + kEntryA + "\r\n</table>\r\n");
    page = InsertEntry(page, "<h2>D1</h2>", kEntryB, false);
    EXPECT_EQ(Body(page),
              "<h2>D1</h2>\r\n<table>\r\n" + kEntryA + "\r\n" + kEntryB + "\r\n</table>\r\n");
    page = InsertEntry(page, "<h2>D2</h2>", kEntryA, false);
    EXPECT_EQ(Body(page), "<h2>D1</h2>\r\n<table>\r\n" + kEntryA + "\r\n" + kEntryB +
                              "\r\n</table>\r\n<h2>D2</h2>\r\n<table>\r\n" + kEntryA +
                              "\r\n</table>\r\n");
    EXPECT_EQ(KindOfPage(page), PageKind::Current);
}

TEST(InsertEntry, NewestFirst) {
    std::string page = InsertEntry(TemplateText(), "<h2>D1</h2>", kEntryA, true);
    page = InsertEntry(page, "<h2>D1</h2>", kEntryB, true);
    EXPECT_EQ(Body(page),
              "<h2>D1</h2>\r\n<table>\r\n" + kEntryB + "\r\n" + kEntryA + "\r\n</table>\r\n");
    page = InsertEntry(page, "<h2>D2</h2>", kEntryA, true);
    EXPECT_EQ(Body(page), "<h2>D2</h2>\r\n<table>\r\n" + kEntryA +
                              "\r\n</table>\r\n<h2>D1</h2>\r\n<table>\r\n" + kEntryB + "\r\n" +
                              kEntryA + "\r\n</table>\r\n");
}

TEST(InsertEntry, SwitchingOrderUsesTheLastTable) {
    std::string page = InsertEntry(TemplateText(), "<h2>D1</h2>", kEntryA, true);
    page = InsertEntry(page, "<h2>D2</h2>", kEntryA, true);  // D2 on top, D1 below
    page = InsertEntry(page, "<h2>D2</h2>", kEntryB, false);  // goes to D1's table
    EXPECT_EQ(Body(page), "<h2>D2</h2>\r\n<table>\r\n" + kEntryA +
                              "\r\n</table>\r\n<h2>D1</h2>\r\n<table>\r\n" + kEntryA + "\r\n" +
                              kEntryB + "\r\n</table>\r\n");
}

TEST(UpgradePage, MovesDayBlocksIntoTheTemplate) {
    const std::string t = TemplateText();
    const std::string old = "<html>\r\n<head>\r\n<title>x</title>\r\n</head>\r\n<body id=old>\r\n"
                            "<h2>D0</h2>\r\n<table>\r\n" + kEntryA + "\r\n</table>\r\n"
                            "<p>footer</p>\r\n</body></html>\r\n";
    std::string upgraded;
    ASSERT_TRUE(UpgradePage(old, t, upgraded));
    EXPECT_EQ(KindOfPage(upgraded), PageKind::Current);
    EXPECT_EQ(Body(upgraded), "<h2>D0</h2>\r\n<table>\r\n" + kEntryA + "\r\n</table>\r\n");
    EXPECT_FALSE(UpgradePage("1\r\n2\r\n3\r\n4\r\n5\r\n<table></table>", t, upgraded));
    EXPECT_FALSE(UpgradePage("1\r\n2\r\n3\r\n4\r\n5\r\n<h2>x</h2>", t, upgraded));
    EXPECT_FALSE(UpgradePage(old, "no end line", upgraded));
}

TEST(RebuildPage, KeepsWholeDayBlocks) {
    const std::string t = TemplateText();
    std::string page = InsertEntry(t, "<h2>D1</h2>", kEntryA, false);
    std::string cut = page.substr(0, page.find("</table>") + 8) + "\r\n<h2>D2</h2>\r\n<table>\r\n<tr>";
    std::string rebuilt = RebuildPage(NormalizeLineEnds(cut), t);
    EXPECT_EQ(KindOfPage(rebuilt), PageKind::Current);
    EXPECT_EQ(Body(rebuilt), "<h2>D1</h2>\r\n<table>\r\n" + kEntryA + "\r\n</table>\r\n");
    EXPECT_EQ(RebuildPage("1\r\n2\r\n", t), t);
}

}  // namespace
}  // namespace mirsa
