// PNG decoding through the picture registry on arbitrary bytes: the whole picture as the
// preview loads it, and the rows as the decode command takes them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tagscope/imaging/picture_registry.h"

namespace {

class TDiscardRows : public tagscope::TRGBRowSink {
 public:
  void Start(int width, int) override { FRow.assign(size_t(width) * 3 + 1, 0); }
  uint8_t* NextRow() override { return FRow.data(); }

 private:
  std::vector<uint8_t> FRow;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Smaller than the default, so that each run stays quick; the check is the same.
  tagscope::TDecodeLimits limits;
  limits.MaxDecodedBytes = int64_t(16) << 20;
  try {
    auto picture = tagscope::TPictureRegistry::LoadPicture("image/png", bytes, limits);
    if (const tagscope::TBitmapData* bitmap = picture->Bitmap()) {
      uint8_t r, g, b;
      bitmap->PixelRGB(bitmap->Width - 1, bitmap->Height - 1, r, g, b);
    }
  } catch (const tagscope::Exception&) {
  }
  try {
    auto picture = tagscope::TPictureRegistry::Create("png");
    picture->SetLimits(limits);
    std::string copy = bytes;
    TDiscardRows rows;
    picture->DecodeRGBRows(copy, rows);
  } catch (const tagscope::Exception&) {
  }
  return 0;
}
