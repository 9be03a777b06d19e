#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tagscope/rtl/files.h"

namespace tagscope {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        fs::path(GetTempDir()) /
        ("tagscope_rtl_files_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string Make(const std::string& name) {
    const fs::path path = folder / name;
    std::ofstream(path) << name;
    return path.string();
  }
  fs::path folder;
};

TEST_F(FilesTest, ResolveFileNameFollowsLinks) {
  const std::string target = Make("target.mp3");
  const std::string link = (folder / "link.mp3").string();
  std::error_code error;
  fs::create_symlink(target, link, error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  EXPECT_TRUE(fs::equivalent(ResolveFileName(link), target));
  EXPECT_EQ(fs::path(ResolveFileName(link)).filename(), "target.mp3");
}

TEST_F(FilesTest, ResolveFileNameKeepsNamesItCannotResolve) {
  const std::string missing = (folder / "missing.mp3").string();
  EXPECT_EQ(ResolveFileName(missing), missing);
}

TEST_F(FilesTest, CopyFilePermissions) {
  const std::string from = Make("from.mp3"), to = Make("to.mp3");
  fs::permissions(from, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(CopyFilePermissions(from, to));
  EXPECT_EQ(fs::status(to).permissions(), fs::status(from).permissions());
  EXPECT_FALSE(CopyFilePermissions((folder / "missing.mp3").string(), to));
}

}  // namespace
}  // namespace tagscope
