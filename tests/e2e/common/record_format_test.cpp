// The stand-ins' log format: every byte survives a round trip, and a record
// still being written is not read.
#include <gtest/gtest.h>

#include "standins/support/record_format.h"

namespace standin {
namespace {

TEST(RecordFormat, ValuesSurviveTheRoundTrip) {
    const std::string values[] = {
        "",
        "C:\\Program Files\\Opera\\opera.exe -newpage \"x\"",
        "100% of %PATH%",
        std::string("line1\r\nline2\ttab\0zero", 21),
        "\x91quoted\x92 \xE9t\xE9 \xFF",
        "=starts with equals=",
        "%4",
        "%zz",
    };
    Record r;
    int n = 0;
    for (const std::string& v : values) r.Set("k" + std::to_string(n++), v);
    std::vector<Record> back = ParseRecords(FormatRecord(r) + FormatRecord(r));
    ASSERT_EQ(back.size(), 2u);
    n = 0;
    for (const std::string& v : values) EXPECT_EQ(back[1].Get("k" + std::to_string(n++)), v);
}

TEST(RecordFormat, UnfinishedAndStrayLinesAreNotRead) {
    std::string text =
        "noise=1\n[record]\nkind=start\n[end]\nstray\n[record]\nkind=half\nno equals sign\n";
    std::vector<Record> records = ParseRecords(text);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Get("kind"), "start");
    EXPECT_FALSE(records[0].Has("noise"));
    EXPECT_EQ(records[0].Get("missing", "def"), "def");
    EXPECT_EQ(DecodeValue("50%"), "50%");
    EXPECT_EQ(DecodeValue("%41%4a"), "AJ");
}

}  // namespace
}  // namespace standin
