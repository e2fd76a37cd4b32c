// Text services of both encodings: case-insensitive comparison, typed-number parsing, formatting.
#include "framework/text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "framework/hostlib.h"

using namespace varn;

TEST(CompareNoCase, GbkFoldsAsciiButNeverATrailByte) {
  EXPECT_EQ(CompareNoCase("VARN_Write", "varn_wRITE"), 0);
  // "设备IO" in GBK against the same with lower-case letters.
  EXPECT_EQ(CompareNoCase("\xC9\xE8\xB1\xB8IO", "\xC9\xE8\xB1\xB8io"), 0);
  // Two different double-byte characters whose trail bytes are 'A' and 'a'.
  EXPECT_NE(CompareNoCase("\x81\x41", "\x81\x61"), 0);
  EXPECT_NE(CompareNoCase("x\xB0\x5A", "x\xB0\x7A"), 0);
  // A lead byte at the very end stands alone.
  EXPECT_EQ(CompareNoCase("A\x81", "a\x81"), 0);
  EXPECT_NE(CompareNoCase("0 - \xB5\xA5\xB6\xCB ", "0 - \xB5\xA5\xB6\xCB"), 0);
}

TEST(CompareNoCase, Utf16FoldsAsciiLettersOnly) {
  EXPECT_EQ(CompareNoCase(u"VARN_WRITE", u"varn_write"), 0);
  EXPECT_EQ(CompareNoCase(u"1 - ±5V", u"1 - ±5v"), 0);
  EXPECT_NE(CompareNoCase(u"\u00C9", u"\u00E9"), 0);
  EXPECT_NE(CompareNoCase(u"单端", u"双端"), 0);
  EXPECT_NE(CompareNoCase(u"abc", u"abcd"), 0);
}

struct ScanCase {
  const char* text;
  NumberFormat format;
  std::optional<int32_t> expected;
};

TEST(ScanInt, DecimalAndHexLikeTheCLibraryWithSaturation) {
  const ScanCase cases[] = {
      {"352", NumberFormat::Decimal, 352},
      {" 352", NumberFormat::Decimal, 352},
      {"352abc", NumberFormat::Decimal, 352},
      {"0x160", NumberFormat::Decimal, 0},
      {"abc", NumberFormat::Decimal, std::nullopt},
      {"", NumberFormat::Decimal, std::nullopt},
      {"-", NumberFormat::Decimal, std::nullopt},
      {"-17", NumberFormat::Decimal, -17},
      {"+8", NumberFormat::Decimal, 8},
      {"2147483647", NumberFormat::Decimal, INT32_MAX},
      {"2147483648", NumberFormat::Decimal, INT32_MAX},
      {"-2147483648", NumberFormat::Decimal, INT32_MIN},
      {"-99999999999", NumberFormat::Decimal, INT32_MIN},
      {"\t\n 12", NumberFormat::Decimal, 12},
      {"100", NumberFormat::Hex, 0x100},
      {"0x300", NumberFormat::Hex, 0x300},
      {"1f0zz", NumberFormat::Hex, 0x1F0},
      {"A", NumberFormat::Hex, 10},
      {"0x", NumberFormat::Hex, 0},
      {"zz", NumberFormat::Hex, std::nullopt},
      {"FFFFFFFF", NumberFormat::Hex, -1},
      {"123456789", NumberFormat::Hex, -1},
      {"-1", NumberFormat::Hex, -1},
      {"-20", NumberFormat::Hex, -0x20},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScanInt(c.text, c.format), c.expected) << "\"" << c.text << "\"";
    std::u16string wide(c.text, c.text + std::char_traits<char>::length(c.text));
    EXPECT_EQ(ScanInt(wide.c_str(), c.format), c.expected) << "u\"" << c.text << "\"";
  }
}

TEST(ScanDouble, LongestNumberPrefix) {
  EXPECT_EQ(ScanDouble(" 2.5)"), 2.5);
  EXPECT_EQ(ScanDouble(u"-1e3xyz"), -1000.0);
  EXPECT_EQ(ScanDouble(u"7"), 7.0);
  EXPECT_FALSE(ScanDouble("abc").has_value());
  EXPECT_FALSE(ScanDouble(u"").has_value());
  EXPECT_FALSE(ScanDouble(u"５").has_value());  // a full-width digit is no digit
  EXPECT_TRUE(std::isinf(*ScanDouble("inf")));
  EXPECT_TRUE(std::isnan(*ScanDouble(u"nan")));
}

TEST(Format, IntegersAndTextsInBothEncodings) {
  BasicCString<char16_t> wide;
  wide.Format(u"DI%.2d", 7);
  EXPECT_EQ(wide.Text(), u"DI07");
  wide.Format(u"脉冲计数%d", 2);
  EXPECT_EQ(wide.Text(), u"脉冲计数2");
  wide.Format(u"IDO%.2d输出", 15);
  EXPECT_EQ(wide.Text(), u"IDO15输出");
  BasicCString<char> narrow;
  narrow.Format("%d|%X|%5d|%-3d|%s|%%", -1, -1, 42, 7, "x");
  EXPECT_EQ(narrow.Text(), "-1|FFFFFFFF|   42|7  |x|%");
}

TEST(CString, FindLeftMidClampLikeTheClassLibrary) {
  const BasicCString<char16_t> s(u"VARN_WRITE(5=2.5)");
  EXPECT_EQ(s.Find(u'('), 10);
  EXPECT_EQ(s.Find(u'#'), -1);
  EXPECT_EQ(s.Left(4).Text(), u"VARN");
  EXPECT_EQ(s.Mid(11, 1).Text(), u"5");
  EXPECT_EQ(s.Mid(11, -3).Text(), u"");
  EXPECT_EQ(s.Mid(-2, 4).Text(), u"VARN");
  EXPECT_EQ(s.Mid(15, 99).Text(), u"5)");
  EXPECT_EQ(s.Left(99).Text(), s.Text());
}
