// Character set detection through libuchardet.
#include <uchardet/uchardet.h>

#include <memory>

#include "tagscope/engine/text_plausible.h"

namespace tagscope {

namespace {

struct TDetectorFree {
  void operator()(uchardet_t d) const { uchardet_delete(d); }
};

}  // namespace

bool CharsetDetection() {
  return true;
}

std::string DetectCharset(std::string_view bytes) {
  const std::unique_ptr<std::remove_pointer_t<uchardet_t>, TDetectorFree> d(uchardet_new());
  if (!d) return std::string();
  if (uchardet_handle_data(d.get(), bytes.data(), bytes.size()) != 0) return std::string();
  uchardet_data_end(d.get());
  const char* charset = uchardet_get_charset(d.get());
  return charset ? std::string(charset) : std::string();
}

}  // namespace tagscope
