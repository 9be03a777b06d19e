#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

// The texts of frames other than text frames, comments and lyrics, reached through their
// decoded content: picture and object descriptions, link descriptions, synchronised lyrics,
// the titles of chapters and tables of contents, a seller's name.
struct TTextSlot {
  std::string where;  // "APIC description", "CHAP chp0 TIT2 text", "SYLT line 2"
  std::string read;   // UTF-8, as it reads now
  uint8_t encoding;   // the encoding it is stored in
};

// The texts of a frame of a tag of the version (3 or 4) in a fixed order; none for a frame
// whose content is damaged or holds no encoded text.
std::vector<TTextSlot> ContentTextSlots(std::string_view id, std::string_view payload,
                                        uint8_t version);
// The payload with the texts given (by their place in that order) in place of the old ones and
// every text in `encoding`; none when a text kept would not come through whole.
std::optional<std::string> RenderContentTexts(std::string_view id, std::string_view payload,
                                              uint8_t version,
                                              const std::map<int, std::string>& texts,
                                              uint8_t encoding);

}  // namespace tagscope
