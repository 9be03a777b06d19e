#pragma once

#include <cstdint>

namespace tagscope {

enum class TID3ImageSizeRestrictions { irNone, ir256x256max, ir64x64max, ir64x64fixed };
enum class TID3TagSizeRestrictions {
  sr128Frames_1MB,
  sr64Frames_128KB,
  sr32Frames_40KB,
  sr32Frames_4KB
};
enum class TID3TextSizeRestrictions { trNone, tr1024max, tr128max, tr30max };

// The value names, as used in code ("sr128Frames_1MB").
const char* EnumName(TID3ImageSizeRestrictions value);
const char* EnumName(TID3TagSizeRestrictions value);
const char* EnumName(TID3TextSizeRestrictions value);

// The restrictions byte of an extended header, bits pp q rr s tt.
class TID3TagRestrictions {
 public:
  virtual ~TID3TagRestrictions() = default;

  bool ImageEncodingRestrictions() const { return FImageEncodingRestrictions; }
  void SetImageEncodingRestrictions(bool value) { FImageEncodingRestrictions = value; }
  TID3ImageSizeRestrictions ImageSize() const { return FImageSize; }
  void SetImageSize(TID3ImageSizeRestrictions value) { FImageSize = value; }
  TID3TagSizeRestrictions TagSize() const { return FTagSize; }
  void SetTagSize(TID3TagSizeRestrictions value) { FTagSize = value; }
  bool TextEncodingRestrictions() const { return FTextEncodingRestrictions; }
  void SetTextEncodingRestrictions(bool value) { FTextEncodingRestrictions = value; }
  TID3TextSizeRestrictions TextSize() const { return FTextSize; }
  void SetTextSize(TID3TextSizeRestrictions value) { FTextSize = value; }

  virtual void Clear();
  void DecodeFlags(uint8_t flags);
  uint8_t EncodeFlags() const;

 private:
  bool FImageEncodingRestrictions = false;
  TID3ImageSizeRestrictions FImageSize = TID3ImageSizeRestrictions::irNone;
  TID3TagSizeRestrictions FTagSize = TID3TagSizeRestrictions::sr128Frames_1MB;
  bool FTextEncodingRestrictions = false;
  TID3TextSizeRestrictions FTextSize = TID3TextSizeRestrictions::trNone;
};

}  // namespace tagscope
