// The GIF reader on arbitrary bytes: reading, then every frame's bitmap (at most 16 frames).
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/gif_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tagscope::TGifPicture picture;
  try {
    picture.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const tagscope::Exception&) {
  }
  for (int i = 0; i < picture.FrameCount() && i < 16; ++i) {
    try {
      picture.FrameBitmap(i);
    } catch (const tagscope::Exception&) {
    }
  }
  try {
    picture.Width();  // decodes the current frame when it has no bitmap yet
    picture.Empty();
  } catch (const tagscope::Exception&) {
  }
  return 0;
}
