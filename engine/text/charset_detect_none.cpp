// A build without a character set detector: a set must be named (fix-encoding --from).
#include "tagscope/engine/text_plausible.h"

namespace tagscope {

bool CharsetDetection() {
  return false;
}

std::string DetectCharset(std::string_view) {
  return std::string();
}

}  // namespace tagscope
