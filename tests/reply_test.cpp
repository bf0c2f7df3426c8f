#include <gtest/gtest.h>

#include "automation/pattern_matcher.h"
#include "reply/reply.h"

namespace {
const Text kOsReply =
    "版本=Microsoft Windows 10 Pro\r\nBuild=19045\r\n系统位宽=64-bit\r\n获取成功=1\r\n";
}

TEST(ReplyKeys, AfterBeforeBetween) {
    EXPECT_EQ(text_after("k=a=b", "="), "b");
    EXPECT_EQ(text_after("abc", "x"), "");
    EXPECT_EQ(text_after("abc", ""), "abc");
    EXPECT_EQ(text_after("abc=", "="), "");
    EXPECT_EQ(text_before(text_after(kOsReply, "版本="), "BUILD", true),
              "Microsoft Windows 10 Pro\r\n");
    EXPECT_EQ(text_before("abc", "", false), "");
    EXPECT_EQ(text_before("abc", "x", false), "");
    EXPECT_EQ(text_between(kOsReply, "位宽=", "获取成功="), "64-bit\r\n");
    EXPECT_EQ(text_between(kOsReply, "没有=", "获取成功="), "");
    EXPECT_EQ(text_between(kOsReply, "位宽=", "没有"), "");
    EXPECT_EQ(text_between("ab", "a", "b"), "");
    EXPECT_EQ(text_between("x\"v\"y", "#引号", "#引号"), "v");
    // The end key is looked for only after the start key.
    EXPECT_EQ(text_between("型号=P\r\n品牌=M\r\n型号=Q\r\n", "品牌=", "型号"), "M\r\n");
}

TEST(ReplyLines, CountAtAndCompare) {
    EXPECT_EQ(line_count(""), 0);
    EXPECT_EQ(line_count("a\r\nb\r\n"), 3);
    EXPECT_EQ(line_count("a"), 1);
    EXPECT_EQ(line_at("a\r\nb\r\n", 1), "a");
    EXPECT_EQ(line_at("a\r\nb\r\n", 2), "b");
    EXPECT_EQ(line_at("a\r\nb\r\n", 3), "");
    EXPECT_EQ(line_at("a\r\nb\r\n", 0), "");
    EXPECT_EQ(compare_text(Text(), ""), 0);
    EXPECT_LT(compare_text("ab", "abc"), 0);
    EXPECT_GT(compare_text("\xB0", "a"), 0);  // unsigned bytes
    EXPECT_EQ(reply_lines("a\r\n\r\nb\r\n"), (TextArray{"a", "b"}));
}

TEST(CleanValue, RemovesBlankLinesAndOneOuterLineEnd) {
    struct Case {
        Text in, out;
    } cases[] = {
        {"w1\r\n\r\n  \r\nw2\r\n", "w1\r\nw2"},
        {"\r\n\r\nword", "word"},
        {"a\r\n\r\nb", "a\r\nb"},
        {"a\r\n   \r\nb", "a\r\nb"},
        {"a\r\n\t \t\r\nb", "a\r\nb"},
        {"a\r\n\r\n\r\n\r\n\r\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"value  \r\n", "value  "},
        {"  value", "  value"},
        {"\r\n\r\n", ""},
        {"\r\n", ""},
        {"", ""},
        {"a\rb", "a\rb"},
        {"a\nb", "a\nb"},
        {"\ra\n", "\ra\n"},
        {"a\n\rb", "ab"},           // LF then CR: a match of its own
        {"a\n  x\rb", "a\n  x\rb"},  // something between: no blank line
        {"M\r\n", "M"},
        {"\r\n\r\nM\r\n\r\n", "M"},
        {"数据\r\n\r\n值\r\n", "数据\r\n值"},
    };
    for (const auto& c : cases) EXPECT_EQ(clean_value(c.in), c.out) << c.in;
}

TEST(PatternMatcher, ExecuteReplaceAndMatches) {
    PatternMatcher m;
    EXPECT_EQ(m.replace(""), "");  // nothing executed yet
    EXPECT_EQ(m.pattern(), "");
    ASSERT_TRUE(m.execute("\\n\\s*\\r", "a\r\n\r\nb"));
    EXPECT_EQ(m.replace(""), "a\r\nb");
    EXPECT_EQ(m.match_count(), 1);
    EXPECT_EQ(m.match_text(1), "\n\r");
    EXPECT_EQ(m.match_text(2), "");
    ASSERT_TRUE(m.execute("\\n\\s*\\r", "no blank\r\nlines"));
    EXPECT_EQ(m.replace(""), "no blank\r\nlines");
    ASSERT_TRUE(m.execute("#引号x#引号", "a\"x\"b", false, true, true, true));
    EXPECT_EQ(m.pattern(), "\"x\"");
    EXPECT_EQ(m.replace("-"), "a-b");
    ASSERT_TRUE(m.execute("[a-c]+", "xAbCyab", false));
    EXPECT_EQ(m.match_count(), 2);
    EXPECT_EQ(m.match_text(1), "AbC");
    ASSERT_TRUE(m.execute("[a-c]+", "xAbCyab", true, true, false));
    EXPECT_EQ(m.replace("_"), "xA_Cyab");
    ASSERT_TRUE(m.execute("^b", "a\nb", true, true));
    EXPECT_EQ(m.match_count(), 1);
    ASSERT_TRUE(m.execute("^b", "a\nb", true, false));
    EXPECT_EQ(m.match_count(), 0);
    PatternMatcher c = m.copy();
    EXPECT_EQ(c.pattern(), "^b");
    EXPECT_FALSE(m.execute("(a|b)", "a"));  // outside what the engine reads
    EXPECT_EQ(m.replace(""), "");
}
