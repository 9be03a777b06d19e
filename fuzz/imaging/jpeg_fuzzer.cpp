// JPEG decoding through libjpeg on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/jpeg_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tagscope::DecodeJpeg(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const tagscope::Exception&) {
  }
  return 0;
}
