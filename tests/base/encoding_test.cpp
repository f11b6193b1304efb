#include "base/encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(EncodingTest, DecodesFileContents) {
  EXPECT_EQ(base::DecodeTextFile("plain"), "plain");
  EXPECT_EQ(base::DecodeTextFile("\xEF\xBB\xBF" "Gr\xC3\xB6\xC3\x9F" "e"), "Größe");  // BOM skipped
  EXPECT_EQ(base::DecodeTextFile("Gr\xF6\xDF" "e \x80"), "Größe €");                    // Windows-1252
  EXPECT_EQ(base::DecodeTextFile(std::string("\xFF\xFE" "A\0\xE4\0", 6)), "Aä");        // UTF-16LE
  EXPECT_EQ(base::DecodeTextFile(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)), "\xF0\x9F\x98\x80");  // pair
}

TEST(EncodingTest, EncodesUtf16Le) {
  EXPECT_EQ(base::Utf8ToUtf16Le("A\xC3\xA4\xE2\x82\xAC"), std::string("A\0\xE4\0\xAC\x20", 6));
  EXPECT_EQ(base::Utf8ToUtf16Le("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4));  // pair
  EXPECT_EQ(base::Utf8ToUtf16Le("\xC3" "A"), std::string("\xFD\xFF" "A\0", 4));  // broken
}

TEST(EncodingTest, RejectsBrokenUtf8) {
  EXPECT_TRUE(base::IsValidUtf8("ä¶¦"));
  EXPECT_FALSE(base::IsValidUtf8("\xC3"));          // cut short
  EXPECT_FALSE(base::IsValidUtf8("\xC0\xAF"));      // overlong
  EXPECT_FALSE(base::IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(base::IsValidUtf8("\x81"));
}

}  // namespace
