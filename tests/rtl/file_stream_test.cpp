#include <gtest/gtest.h>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope {
namespace {

std::string TempName(const char* stem) {
  return GetTempDir() + "tagscope_rtl_" + stem + "_" +
         std::to_string(::testing::UnitTest::GetInstance()->random_seed());
}

TEST(FileStream, CreateWriteReopenAndResize) {
  const std::string name = TempName("rw");
  {
    TFileStream f(name, TFileMode::fmCreate);
    f.WriteString("0123456789");
    EXPECT_EQ(f.Size(), 10);
  }
  {
    TFileStream f(name, TFileMode::fmOpenReadWrite);
    f.Seek(-3, TSeekOrigin::soEnd);
    EXPECT_EQ(f.ReadString(10), "789");
    f.SetSize(4);
    EXPECT_EQ(f.Position(), 4);
    EXPECT_EQ(f.Size(), 4);
  }
  {
    TFileStream f(name, TFileMode::fmOpenRead);
    EXPECT_EQ(f.ReadString(100), "0123");
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
  }
  EXPECT_TRUE(RemoveFile(name));
  EXPECT_FALSE(FileExists(name));
}

TEST(FileStream, OpenErrorsCarryTheFileName) {
  const std::string name = TempName("missing");
  try {
    TFileStream f(name, TFileMode::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + name + "\". ", 0), 0u);
  }
  { TFileStream f(name, TFileMode::fmCreateNew); }
  EXPECT_THROW(TFileStream(name, TFileMode::fmCreateNew), EFCreateError);
  RemoveFile(name);
}

TEST(FileStream, ReadersAndWritersShareTheFile) {
  const std::string name = TempName("share");
  TFileStream writer(name, TFileMode::fmCreate);
  writer.WriteString("abc");
  TFileStream reader(name, TFileMode::fmOpenRead);
  EXPECT_EQ(reader.ReadString(3), "abc");
  TFileStream other(name, TFileMode::fmOpenReadWrite);
  EXPECT_EQ(other.Size(), 3);
  // The shown file can still be renamed away while it is open.
  const std::string moved = name + ".moved";
  EXPECT_TRUE(RenameFile(name, moved));
  EXPECT_TRUE(FileExists(moved));
  RemoveFile(moved);
}

TEST(Files, TempDirEndsWithDelimiter) {
  const std::string dir = GetTempDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), PathDelimiter());
  EXPECT_EQ(ExtractFilePath(dir + "x.tmp"), dir);
  EXPECT_EQ(ExtractFilePath("x.tmp"), "");
}

}  // namespace
}  // namespace tagscope
