#include <gtest/gtest.h>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {
namespace {

TEST(MemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream s;
  s.WriteString("hello");
  EXPECT_EQ(s.Position(), 5);
  EXPECT_EQ(s.Size(), 5);
  s.SetPosition(7);  // writing past the end fills the gap with zero bytes
  s.WriteString("!");
  EXPECT_EQ(s.Bytes(), std::string("hello\0\0!", 8));
  s.SetPosition(1);
  char buf[16];
  EXPECT_EQ(s.Read(buf, 16), 7);
  EXPECT_EQ(s.Read(buf, 16), 0);
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);
  EXPECT_EQ(s.Seek(-1, TSeekOrigin::soEnd), 1);
  EXPECT_EQ(s.ReadString(100), "e");
}

TEST(MemoryStream, ReadBufferRaisesOnShortRead) {
  TMemoryStream s(std::string("abc"));
  char buf[4];
  try {
    s.ReadBuffer(buf, 4);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

TEST(Format, FormatsLikePrintf) {
  EXPECT_EQ(Format(SFOpenErrorEx, "a.mp3", "No such file"),
            "Cannot open file \"a.mp3\". No such file");
  EXPECT_EQ(Format("%s", ""), "");
}

}  // namespace
}  // namespace tagscope
