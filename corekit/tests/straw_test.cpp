#include "corekit/straw.h"

#include <QString>
#include <clocale>

#include <gtest/gtest.h>

namespace {

TEST(CStrAWTest, RoundTripsNonAsciiAndNonBmpText) {
  const std::string utf8 = "Fotos/Grüße/日本/\xF0\x9F\x93\xB7 camera.jpg";  // U+1F4F7
  const MyString wide = CStrAW::a_toW(utf8);
  // The camera emoji needs a surrogate pair.
  EXPECT_EQ(wide.GetLength(), 28u);
  EXPECT_EQ(wide[15], char16_t(0xD83D));
  EXPECT_EQ(wide[16], char16_t(0xDCF7));
  EXPECT_EQ(CStrAW::w_toA(wide), utf8);
  EXPECT_EQ(CStrAW::FromPath(CStrAW::ToPath(wide)), wide);
  EXPECT_EQ(MyString::FromQString(wide.ToQString()), wide);
}

TEST(CStrAWTest, InvalidInputBecomesReplacementCharacters) {
  EXPECT_FALSE(CStrAW::IsValidUtf8("bad\xFF"));
  EXPECT_FALSE(CStrAW::IsValidUtf8("\xC0\xAF"));      // overlong '/'
  EXPECT_FALSE(CStrAW::IsValidUtf8("\xED\xA0\x80"));  // encoded surrogate
  EXPECT_FALSE(CStrAW::IsValidUtf8("\xE6\x97"));      // truncated
  EXPECT_TRUE(CStrAW::IsValidUtf8("plain \xE6\x97\xA5"));
  EXPECT_EQ(CStrAW::a_toW("a\xFF"
                          "b"),
            MyString(u"a\xFFFD"
                     "b"));
  const char16_t lone[] = {u'x', 0xD800, u'y', 0};
  EXPECT_EQ(CStrAW::w_toA(MyString(lone)), "x\xEF\xBF\xBDy");
}

TEST(CStrAWTest, PrintfFormatsLikeTheCLibrary) {
  EXPECT_EQ(CStrAW::printf(u"W:%d, H:%d, L:%0.2f", 640, 480, 800.0),
            MyString(u"W:640, H:480, L:800.00"));
  EXPECT_EQ(CStrAW::printf(u"%.2f %s", 11.718, u"MB"), MyString(u"11.72 MB"));
  EXPECT_EQ(CStrAW::printf(u"File%d", 0), MyString(u"File0"));
  EXPECT_EQ(CStrAW::printf(u"[%5s|%-4s|%.2s]", u"ab", u"c", u"xyz"), MyString(u"[   ab|c   |xy]"));
  EXPECT_EQ(CStrAW::printf(u"%S and %s", "Grüße", u"日本"), MyString(u"Grüße and 日本"));
  EXPECT_EQ(CStrAW::printf(u"%08x %lld %u %c%%", 0xBEEFu, -5LL, 7u, int(u'Ω')),
            MyString(u"0000beef -5 7 Ω%"));
  EXPECT_EQ(CStrAW::printf(u"%*d|%s", 4, 7, static_cast<const char16_t*>(nullptr)),
            MyString(u"   7|(null)"));
  EXPECT_EQ(CStrAW::printf(u"tail %"), MyString(u"tail %"));
}

TEST(CStrAWTest, NumbersIgnoreTheUserLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  // A comma-decimal locale, when the machine has one.
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(CStrAW::printf(u"%.1f", 2.5), MyString(u"2.5"));
  EXPECT_DOUBLE_EQ(CStrAW::ToDouble(u"12.5px"), 12.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
  (void)german;
  EXPECT_DOUBLE_EQ(CStrAW::ToDouble(u"  -3e2"), -300.0);
  EXPECT_DOUBLE_EQ(CStrAW::ToDouble(u"abc"), 0.0);
  EXPECT_DOUBLE_EQ(CStrAW::ToDouble(u""), 0.0);
  EXPECT_DOUBLE_EQ(CStrAW::ToDouble(u"0.25"), 0.25);
}

}  // namespace
