#include "plugin/last_error.h"

#include <string>

namespace tagscope {

namespace {

std::string gLastErrorText;
// Set instead of gLastErrorText when a message could not be stored.
const char* gFixedText = nullptr;

}  // namespace

void SetLastErrorText(const char* text) noexcept {
  try {
    gLastErrorText.assign(text ? text : "");
    gFixedText = nullptr;
  } catch (...) {
    gFixedText = SOutOfMemory;
  }
}

const char* LastErrorText() noexcept {
  return gFixedText ? gFixedText : gLastErrorText.c_str();
}

}  // namespace tagscope
