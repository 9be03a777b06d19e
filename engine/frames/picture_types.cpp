#include "tagscope/engine/picture_types.h"

#include <array>

#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {

constexpr std::array<std::string_view, PictureTypeCount> kNames = {
    "User Defined",       "File Icon (32x32)",    "File Icon (other)",
    "Cover (front)",      "Cover (back)",         "Leaflet Page",
    "Media Label",        "Lead Artist",          "Artist",
    "Conductor",          "Band/Orchestra",       "Composer",
    "Lyricist",           "Recording Location",   "During Recording",
    "During Performance", "Video Screen Capture", "A Bright Coloured Fish",
    "Illustration",       "Band Logotype",        "Publisher Logotype"};

}  // namespace

std::string_view PictureTypeLabel(int pictureType) {
  return pictureType >= 0 && pictureType < PictureTypeCount ? kNames[pictureType]
                                                            : std::string_view();
}

std::string PictureTypeName(int pictureType) {
  const std::string_view label = PictureTypeLabel(pictureType);
  return label.empty() ? "Unknown (" + std::to_string(pictureType) + ")" : std::string(label);
}

const std::vector<std::string>& PictureTypeKeywords() {
  static const std::vector<std::string> keywords = {"other",
                                                    "icon",
                                                    "other-icon",
                                                    "front",
                                                    "back",
                                                    "leaflet",
                                                    "media",
                                                    "lead-artist",
                                                    "artist",
                                                    "conductor",
                                                    "band",
                                                    "composer",
                                                    "lyricist",
                                                    "location",
                                                    "during-recording",
                                                    "during-performance",
                                                    "screen-capture",
                                                    "fish",
                                                    "illustration",
                                                    "band-logo",
                                                    "publisher-logo"};
  return keywords;
}

int PictureTypeFromKeyword(std::string_view keyword) {
  const std::vector<std::string>& keywords = PictureTypeKeywords();
  for (size_t type = 0; type < keywords.size(); ++type) {
    if (SameTextAscii(keyword, keywords[type])) return static_cast<int>(type);
  }
  return -1;
}

}  // namespace tagscope
