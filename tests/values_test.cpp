#include <gtest/gtest.h>

#include <cmath>
#include <iconv.h>
#include <optional>

#include "values/encoding.h"

#include "values/text.h"

TEST(Cutting, ByBytesAndClampedAtTheEnds) {
    EXPECT_EQ(text_left("abc", 5), "abc");
    EXPECT_EQ(text_left("abc", 0), "");
    EXPECT_EQ(text_left("abc", -1), "");
    EXPECT_EQ(text_right("abc", 2), "bc");
    EXPECT_EQ(text_right("abc", 9), "abc");
    EXPECT_EQ(text_middle("abcdef", 5, 10), "ef");
    EXPECT_EQ(text_middle("abcdef", 0, 2), "");
    EXPECT_EQ(text_middle("abcdef", 7, 2), "");
    EXPECT_EQ(text_middle("abcdef", 2, 0), "");
    // Cutting does not know characters: the lead byte of 存 remains.
    const Text memory = "内存";
    EXPECT_EQ(text_left(memory, 3), memory.substr(0, 3));
    EXPECT_EQ(text_length(memory), 4);
    EXPECT_TRUE(text_starts_with("abc", ""));
    EXPECT_TRUE(text_starts_with("abc", "ab"));
    EXPECT_FALSE(text_starts_with("ab", "abc"));
    EXPECT_FALSE(text_starts_with("abc", "AB"));
}

TEST(FindText, ForwardBackwardAndStart) {
    EXPECT_EQ(find_text("a=b=c", "="), 2);
    EXPECT_EQ(find_text_backwards("a=b=c", "="), 4);
    EXPECT_EQ(find_text("a=b=c", "x"), -1);
    EXPECT_EQ(find_text_backwards("a=b=c", "=", 4), 2);
    EXPECT_EQ(find_text("a=b=c", "=", 3), 4);
    EXPECT_EQ(find_text("a=b=c", "=", 6), -1);
    EXPECT_EQ(find_text("abc", ""), 1);
    EXPECT_EQ(find_text("", ""), -1);
    EXPECT_EQ(find_text_backwards("abc", "", 1), -1);
    EXPECT_EQ(find_text("abc", "B", std::nullopt, true), 2);
    EXPECT_EQ(find_text("abc", "B", std::nullopt, false), -1);
    EXPECT_EQ(find_text_backwards("xBUILDx Build=", "BUILD", std::nullopt, true), 9);
}

TEST(FindText, TrailBytesNeverMatch) {
    // 圆 is B2 E3 in GBK; 0xE3 at a character boundary is a lead byte, so an
    // E3 inside 圆 must not be found, nor "=" hiding as a trail byte.
    const Text round = "圆";
    ASSERT_EQ(round.size(), 2u);
    const Text trail(1, round[1]);
    EXPECT_EQ(find_text(round, trail), -1);
    EXPECT_EQ(find_text_backwards(round, trail), -1);
    EXPECT_EQ(find_text(round + trail + "x", trail + "x"), 3);
    // A lead byte with its pair matched only as a whole.
    const Text key = "参数c=";
    EXPECT_EQ(find_text("显示器1" + key + "X", key), 8);
    // A trail byte that is ASCII ("@" is 0x40, a valid GBK trail byte).
    const Text lead_at = "\x81@";
    EXPECT_EQ(find_text(lead_at, "@"), -1);
    EXPECT_EQ(find_text(lead_at + "@", "@"), 3);
    // A lead byte at the very end ends the scan without reading beyond.
    EXPECT_EQ(find_text("ab\x81", "b"), 2);
}

TEST(ReplaceSubtext, AllOccurrencesStepByCharacter) {
    EXPECT_EQ(replace_subtext("64-bit", "-bit", "位", 1, -1, true), "64位");
    EXPECT_EQ(replace_subtext("a-BIT", "-bit", "位", 1, -1, true), "a-BIT");
    EXPECT_EQ(replace_subtext("a-BIT", "-bit", "位"), "a位");  // default ignores case
    EXPECT_EQ(replace_subtext("aaa", "a", "b", 2), "abb");
    EXPECT_EQ(replace_subtext("aaa", "a", "b", 1, 2), "bba");
    EXPECT_EQ(replace_subtext("aaa", "a", "b", 1, 0), "aaa");
    EXPECT_EQ(replace_subtext("aaa", "", "b"), "aaa");
    EXPECT_EQ(replace_subtext("aaa", "a", "b", 9), "aaa");
    EXPECT_EQ(replace_subtext("", "a", "b"), "");
    // The CR after a lead byte belongs to that character and stays.
    EXPECT_EQ(replace_subtext("A\xB0\r\nB\r\n", "\r\n", "", 1, -1, true), "A\xB0\r\nB");
    EXPECT_EQ(replace_subtext("#引号x#引号", "#引号", "\"", 1, -1, true), "\"x\"");
}

TEST(SplitText, PiecesAndLimits) {
    EXPECT_EQ(split_text("a\r\nb\r\n", "\r\n"), (TextArray{"a", "b"}));
    EXPECT_EQ(split_text("a,b,c", ",", 1), (TextArray{"a"}));
    EXPECT_EQ(split_text("a,b,"), (TextArray{"a", "b"}));
    EXPECT_EQ(split_text(",a"), (TextArray{"", "a"}));
    EXPECT_EQ(split_text("a,,b"), (TextArray{"a", "", "b"}));
    EXPECT_EQ(split_text(""), TextArray{});
    EXPECT_EQ(split_text("abc", ",", 0), TextArray{});
    EXPECT_EQ(split_text("abc", ""), (TextArray{"abc"}));
    // A separator byte inside a double-byte character is not a separator.
    const Text lead_comma = "\x81,";
    EXPECT_EQ(split_text(lead_comma + ",x"), (TextArray{lead_comma, "x"}));
}

TEST(SmallTexts, CharacterSpaceRepeatHex) {
    EXPECT_EQ(character(0), "");
    EXPECT_EQ(character(0x141), "A");
    EXPECT_EQ(space_text(0), "");
    EXPECT_EQ(space_text(3), "   ");
    EXPECT_EQ(repeat_text(-2, "ab"), "");
    EXPECT_EQ(repeat_text(3, "0"), "000");
    EXPECT_EQ(hex_text(-1), "FFFFFFFF");
    EXPECT_EQ(hex_text(0xA0671), "A0671");
    EXPECT_EQ(hex_text(0), "0");
    EXPECT_EQ(to_text(Bytes{'a', 'b', 0, 'c'}), "ab");
}

TEST(ToText, IntegersAndBool) {
    EXPECT_EQ(to_text(std::int32_t{-42}), "-42");
    EXPECT_EQ(to_text(std::int64_t{465}), "465");
    EXPECT_EQ(to_text(std::int64_t{-9223372036854775807LL - 1}), "-9223372036854775808");
    EXPECT_EQ(to_text(true), "真");
    EXPECT_EQ(to_text(false), "假");
}

TEST(ToText, DoubleThirteenDigitsAndThreeDigitExponent) {
    EXPECT_EQ(to_text(4.0), "4");
    EXPECT_EQ(to_text(0.1 + 0.2), "0.3");
    EXPECT_EQ(to_text(8.0), "8");
    EXPECT_EQ(to_text(23.8), "23.8");
    EXPECT_EQ(to_text(1.0 / 3.0), "0.3333333333333");
    EXPECT_EQ(to_text(1e15), "1e+015");
    EXPECT_EQ(to_text(2.5e-5), "2.5e-005");
    EXPECT_EQ(to_text(0.0001), "0.0001");
    EXPECT_EQ(to_text(9999999999999.0), "9999999999999");
    EXPECT_EQ(to_text(99999999999995.0), "1e+014");
    EXPECT_EQ(to_text(-1.5e300), "-1.5e+300");
    EXPECT_EQ(to_text(2019.0), "2019");
    EXPECT_EQ(to_text(0.0), "0");
}

TEST(ToText, FloatPreRoundedToSixDigits) {
    EXPECT_EQ(to_text(0.516f), "0.516");
    EXPECT_EQ(to_text(27.2f), "27.2");
    EXPECT_EQ(to_text(21.7f), "21.7");
    EXPECT_EQ(to_text(0.25f), "0.25");
    EXPECT_EQ(to_text(1.234f), "1.234");
    EXPECT_EQ(to_text(2.345f), "2.345");
    EXPECT_EQ(to_text(1.785f), "1.785");
    EXPECT_EQ(to_text(1.0f), "1");
    EXPECT_EQ(to_text(0.0f), "0");
    EXPECT_EQ(to_text(-4294967.0f), "-4.29497e+006");
    EXPECT_EQ(to_text(1000000.0f), "1e+006");
    EXPECT_EQ(to_text(999999.5f), "1e+006");  // the half rounds away from zero
    EXPECT_EQ(to_text(0.00001f), "1e-005");
}

TEST(Conversions, FullWidthFoldingAndStandardParsing) {
    EXPECT_EQ(to_integer(Text("１２")), 12);
    EXPECT_EQ(to_integer(Text(" 42abc")), 42);
    EXPECT_EQ(to_integer(Text("")), 0);
    EXPECT_EQ(to_integer(Text("－７")), -7);
    EXPECT_EQ(to_integer(Text("4294967297")), 1);  // wraps modulo 2^32
    EXPECT_EQ(to_integer(Text("\t+8")), 8);
    EXPECT_EQ(to_integer(-2.9), -2);
    EXPECT_EQ(to_integer(2.9), 2);
    EXPECT_DOUBLE_EQ(to_number(Text("　３．５")), 3.5);  // full-width space and point
    EXPECT_DOUBLE_EQ(to_number(Text("1e3x")), 1000.0);
    EXPECT_DOUBLE_EQ(to_number(Text("1e")), 1.0);
    EXPECT_DOUBLE_EQ(to_number(Text("-.5")), -0.5);
    EXPECT_DOUBLE_EQ(to_number(Text("abc")), 0.0);
    EXPECT_DOUBLE_EQ(to_number(Text("0x10")), 0.0);  // decimal only
    EXPECT_TRUE(std::isinf(to_number(Text("1e999"))));
    EXPECT_EQ(to_long_integer(Text("1000202273280")), 1000202273280LL);
    EXPECT_EQ(to_long_integer(Text("-12x")), -12);
    EXPECT_EQ(to_long_integer(Text("18446744073709551617")), 1);
    EXPECT_EQ(fold_full_width("～＊"), "~*");
}

TEST(Numeric, RoundRemainderPower) {
    EXPECT_DOUBLE_EQ(round_to(2.5), 3.0);
    EXPECT_DOUBLE_EQ(round_to(-2.5), -3.0);
    EXPECT_DOUBLE_EQ(round_to(0.4999999999995), 1.0);
    EXPECT_DOUBLE_EQ(round_to(0.05, 1), 0.1);
    EXPECT_DOUBLE_EQ(round_to(1250, -2), 1300.0);
    EXPECT_DOUBLE_EQ(round_to(0.0, 3), 0.0);
    EXPECT_DOUBLE_EQ(remainder_of(-7, {2}), -1.0);
    EXPECT_DOUBLE_EQ(remainder_of(172, {16}), 12.0);
    EXPECT_DOUBLE_EQ(remainder_of(100, {16, 3}), 1.0);
    EXPECT_DOUBLE_EQ(power(16, 2), 256.0);
    EXPECT_DOUBLE_EQ(square_root(3709), std::sqrt(3709.0));
}

TEST(Encoding, OurGbkTablesConvertAsTheCLibrarysConverter) {
    // The C library's own GBK converter, where it has one, as the second
    // opinion: every single byte and two-byte sequence, every BMP character.
    iconv_t to_utf8 = iconv_open("UTF-8", "GBK"), to_gbk = iconv_open("GBK", "UTF-8");
    if (to_utf8 == reinterpret_cast<iconv_t>(-1) || to_gbk == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "this C library has no GBK converter";
    auto convert = [](iconv_t cd, const std::string& in) -> std::optional<std::string> {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buf[16];
        char* src = const_cast<char*>(in.data());
        char* dst = buf;
        std::size_t left = in.size(), room = sizeof buf;
        if (iconv(cd, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) || left) return std::nullopt;
        return std::string(buf, static_cast<std::size_t>(dst - buf));
    };
    int decoded = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0x40; b < 256; ++b) {
            const std::string in = {static_cast<char>(a), static_cast<char>(b)};
            const auto theirs = a <= 0x80 ? std::optional<std::string>() : convert(to_utf8, in);
            if (theirs) {
                ++decoded;
                ASSERT_EQ(gbk_to_utf8(in), *theirs) << a << " " << b;
            }
        }
    }
    EXPECT_EQ(decoded, 21791);  // the two-byte codes of GBK
    for (std::uint32_t u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        std::string utf8;
        if (u < 0x800) utf8 = {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
        else utf8 = {static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | (u >> 6 & 0x3F)), static_cast<char>(0x80 | (u & 0x3F))};
        ASSERT_EQ(utf8_to_gbk(utf8), convert(to_gbk, utf8).value_or("?")) << std::hex << u;
    }
    // The single byte 0x80, and what is no GBK or no UTF-8: one
    // replacement, and on after it.
    EXPECT_EQ(gbk_to_utf8("a\x80" "b\xFF\x81"), "a" + *convert(to_utf8, "\x80") + "b\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(utf8_to_gbk("a\xE4\xB8" "b\xF0\x9F\x98\x80" "c\xC0\xAF"), "a?b?c?");
    iconv_close(to_utf8);
    iconv_close(to_gbk);
}
