#include <gtest/gtest.h>

#include "viewer/viewer_text.h"

namespace tagscope {
namespace {

std::pair<std::string, std::string> Split(const std::string& s) {
  std::pair<std::string, std::string> result{"old", "old"};
  SplitPair(s, result.first, result.second);
  return result;
}

TEST(SplitPairTest, SplitsAtTheFirstSlashOnly) {
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(Split("3/12"), (P{"3", "12"}));
  EXPECT_EQ(Split("7"), (P{"7", ""}));
  EXPECT_EQ(Split("/12"), (P{"", "12"}));
  EXPECT_EQ(Split("1/2/3"), (P{"1", "2/3"}));
  EXPECT_EQ(Split(" 3 / 12 "), (P{" 3 ", " 12 "}));
  EXPECT_EQ(Split(""), (P{"", ""}));
  EXPECT_EQ(Split("4/"), (P{"4", ""}));
}

TEST(IsPrintableTextTest, OnlyBytesBelow32AreUnprintable) {
  EXPECT_TRUE(IsPrintableText(""));
  EXPECT_TRUE(IsPrintableText("Caf\xE9 \xFF~"));
  EXPECT_FALSE(IsPrintableText("two\twords"));
  EXPECT_FALSE(IsPrintableText(std::string("a\0b", 3)));
  EXPECT_FALSE(IsPrintableText("\x1F"));
  EXPECT_TRUE(IsPrintableText(" "));
}

TEST(PictureTypeNameTest, CoversTheTableAndNamesTheRestUnknown) {
  EXPECT_EQ(PictureTypeName(0), "User Defined");
  EXPECT_EQ(PictureTypeName(3), "Cover (front)");
  EXPECT_EQ(PictureTypeName(17), "A Bright Coloured Fish");
  EXPECT_EQ(PictureTypeName(20), "Publisher Logotype");
  EXPECT_EQ(PictureTypeName(21), "Unknown (21)");
  EXPECT_EQ(PictureTypeName(255), "Unknown (255)");
}

TEST(IsOpenableLinkTest, OnlyWebAndMailSchemes) {
  for (const char* url : {"http://example.org", "HTTPS://example.org/a?b", "ftp://host/file",
                          "MailTo:someone@example.org", "http:"})
    EXPECT_TRUE(IsOpenableLink(url)) << url;
  for (const char* url : {"", "example.org", "file:///etc/passwd", "C:\\Windows\\calc.exe",
                          "calc.exe", "javascript:alert(1)", " http://example.org",
                          "\\\\server\\share\\x.exe", "httpx://example.org", "http//x"})
    EXPECT_FALSE(IsOpenableLink(url)) << url;
}

TEST(ResolveGenreReferenceTest, ResolvesListedReferences) {
  EXPECT_EQ(ResolveGenreReference("(17)"), "(17) Rock");
  EXPECT_EQ(ResolveGenreReference("(0)"), "(0) Blues");
  EXPECT_EQ(ResolveGenreReference("(79)"), "(79) Hard Rock");
  EXPECT_EQ(ResolveGenreReference("(80)"), "(80) Folk");
  EXPECT_EQ(ResolveGenreReference("(191)"), "(191) Psybient");
  EXPECT_EQ(ResolveGenreReference("(192)"), "(192)");
  EXPECT_EQ(ResolveGenreReference("Trance"), "Trance");
  EXPECT_EQ(ResolveGenreReference("()"), "()");
  EXPECT_EQ(ResolveGenreReference("(1a)"), "(1a)");
  EXPECT_EQ(ResolveGenreReference("(017)"), "(017)");
  EXPECT_EQ(ResolveGenreReference(""), "");
}

}  // namespace
}  // namespace tagscope
