// Inputs that once made the engine crash or hang: each must now read cleanly (or fail with the
// engine's own errors) in every way the fuzzer opens it.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/id3_engine.h"
#include "rtl/exception.h"

namespace tagscope {
namespace {

void OpenEveryWay(const std::string& file) {
  for (bool fullSeek : {false, true}) {
    for (bool decrypt : {false, true}) {
      TID3Engine e;
      e.SetReadOnly(true);
      e.SetFullID3TagSeek(fullSeek);
      if (decrypt) e.OnFrameDecrypt = [](TID3Frames_Item&, TStream&) {};
      e.SetFileName(file);
      try {
        e.SetActive(true);
      } catch (const Exception&) {
      }
      EXPECT_TRUE(e.Active()) << file;
      TID3Comment c;
      for (int i = 0; e.GetComment(i, c); ++i) {
      }
      TMemoryStream data;
      TID3Picture p;
      for (int i = 0; e.GetPicture(i, data, p); ++i) {
      }
      TMemoryStream out;
      try {
        e.Frames().WriteFrames(out, 4);
      } catch (const Exception&) {
      }
    }
  }
}

TEST(Crashers, EveryRegressionInputReadsCleanly) {
  const std::filesystem::path folder =
      std::filesystem::path(TAGSCOPE_TEST_DATA) / "crashers" / "engine";
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    OpenEveryWay(entry.path().string());
    ++count;
  }
  EXPECT_GT(count, 0);
}

TEST(Crashers, PresetDictionaryFrameFailsLikeACorruptOne) {
  const std::string file = (std::filesystem::path(TAGSCOPE_TEST_DATA) / "crashers" / "engine" /
                            "zlib-preset-dictionary-hang.mp3")
                               .string();
  TID3Engine e;
  e.SetReadOnly(true);
  e.OnFrameDecrypt = [](TID3Frames_Item&, TStream& s) {
    auto& m = static_cast<TMemoryStream&>(s);
    std::string bytes = m.Bytes();
    for (char& ch : bytes) ch = static_cast<char>(ch ^ 0x5A);
    m.SetBytes(bytes);
  };
  e.SetFileName(file);
  EXPECT_THROW(e.SetActive(true), Exception);
}

}  // namespace
}  // namespace tagscope
