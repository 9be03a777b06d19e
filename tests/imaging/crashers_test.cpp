// Inputs that once broke a decoder: every decoder reads each of them cleanly or refuses it
// with its own error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tagscope/imaging/picture_registry.h"

namespace tagscope {
namespace {

TEST(Crashers, EveryDecoderFailsCleanly) {
  const std::filesystem::path dir =
      std::filesystem::path(TAGSCOPE_TEST_DATA) / "crashers" / "imaging";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    for (const char* extension : {"gif", "bmp", "jpg", "png"}) {
      SCOPED_TRACE(entry.path().filename().string() + " as " + extension);
      try {
        auto picture = TPictureRegistry::LoadFromBytes(extension, bytes.str());
        for (int i = 0; i < picture->FrameCount() && i < 16; ++i) picture->FrameBitmap(i);
      } catch (const Exception&) {
      }
    }
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tagscope
