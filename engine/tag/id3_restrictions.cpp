#include "tagscope/engine/id3_restrictions.h"

namespace tagscope {

const char* EnumName(TID3ImageSizeRestrictions value) {
  static const char* const names[] = {"irNone", "ir256x256max", "ir64x64max", "ir64x64fixed"};
  return names[static_cast<int>(value) & 3];
}

const char* EnumName(TID3TagSizeRestrictions value) {
  static const char* const names[] = {"sr128Frames_1MB", "sr64Frames_128KB", "sr32Frames_40KB",
                                      "sr32Frames_4KB"};
  return names[static_cast<int>(value) & 3];
}

const char* EnumName(TID3TextSizeRestrictions value) {
  static const char* const names[] = {"trNone", "tr1024max", "tr128max", "tr30max"};
  return names[static_cast<int>(value) & 3];
}

void TID3TagRestrictions::Clear() {
  FImageEncodingRestrictions = false;
  FImageSize = TID3ImageSizeRestrictions::irNone;
  FTagSize = TID3TagSizeRestrictions::sr128Frames_1MB;
  FTextEncodingRestrictions = false;
  FTextSize = TID3TextSizeRestrictions::trNone;
}

void TID3TagRestrictions::DecodeFlags(uint8_t flags) {
  Clear();
  FTagSize = static_cast<TID3TagSizeRestrictions>(flags >> 6 & 3);
  FTextEncodingRestrictions = (flags & 0x20) != 0;
  FTextSize = static_cast<TID3TextSizeRestrictions>(flags >> 3 & 3);
  FImageEncodingRestrictions = (flags & 0x04) != 0;
  FImageSize = static_cast<TID3ImageSizeRestrictions>(flags & 3);
}

uint8_t TID3TagRestrictions::EncodeFlags() const {
  int flags = (static_cast<int>(FTagSize) & 3) << 6;
  if (FTextEncodingRestrictions) flags |= 0x20;
  flags |= (static_cast<int>(FTextSize) & 3) << 3;
  if (FImageEncodingRestrictions) flags |= 0x04;
  flags |= static_cast<int>(FImageSize) & 3;
  return static_cast<uint8_t>(flags);
}

}  // namespace tagscope
