#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tagscope/imaging/bitmap.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// A colour value: red + 256 * green + 65536 * blue.
using TColor = uint32_t;
// No colour at all.
inline constexpr TColor clNone = 0x1FFFFFFF;

inline constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
  return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}

// A picture that cannot be read ("Bitmap image is not valid", an unknown extension).
class EInvalidGraphic : public Exception {
  using Exception::Exception;
};
// An operation a picture refuses, and the GIF reader's format errors.
class EInvalidGraphicOperation : public Exception {
  using Exception::Exception;
};
// A JPEG picture that libjpeg rejects ("JPEG error: " and libjpeg's message).
class EJPEG : public Exception {
  using Exception::Exception;
};
// A PNG picture that the PNG decoder rejects ("PNG error: " and the decoder's message).
class EPNG : public Exception {
  using Exception::Exception;
};

inline constexpr const char* SInvalidBitmap = "Bitmap image is not valid";
inline constexpr const char* SJPEGError = "JPEG error: %s";
inline constexpr const char* SPNGError = "PNG error: %s";
inline constexpr const char* SUnknownExtension = "Unknown picture file extension (.%s)";
inline constexpr const char* SPictureTooLarge = "Picture is too large to show (%dx%d pixels)";
// A picture whose MIME type names no format that can be decoded, and whose bytes are of no
// such format either.
inline constexpr const char* SUnknownPictureKind = "%s: pictures of this kind cannot be shown";

// How much memory decoding one picture may take. A picture whose header claims more is refused
// before anything is allocated: a 32-bit host must not run out of memory on a hostile file.
struct TDecodeLimits {
  static constexpr int64_t DefaultMaxDecodedBytes = int64_t(64) << 20;
  // The largest decoded frame (its bitmap), in bytes.
  int64_t MaxDecodedBytes = DefaultMaxDecodedBytes;

  // Whether a bitmap of width x height pixels of bitCount bits stays within MaxDecodedBytes.
  bool Allows(int64_t width, int64_t height, int bitCount) const {
    if (width < 0 || height < 0) return false;
    const int64_t stride = (width * bitCount + 31) / 32 * 4;
    return stride <= MaxDecodedBytes && (height == 0 || stride <= MaxDecodedBytes / height);
  }
};

enum class TProgressStage { psStarting, psRunning, psEnding };

// Takes a picture's rows as red, green, blue bytes, top row first, from a picture that
// decodes straight into it (TGraphic::DecodeRGBRows).
class TRGBRowSink {
 public:
  virtual ~TRGBRowSink() = default;
  // Called once, before the rows.
  virtual void Start(int width, int height) = 0;
  // Room for the next row: width x 3 bytes, and one more that the decoder may overwrite. The
  // row is taken as it stands when the next one is asked for or the decoding ends.
  virtual uint8_t* NextRow() = 0;
};

class TGraphic;
// Progress of a long operation: stage, percentage done, whether to redraw now, a message
// (empty unless an operation ends with an error).
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, int percent,
                                          bool redrawNow, const std::string& message)>;

// A decoded picture of one format. Pictures come from TPictureRegistry, which picks the class
// by the file's extension, or by the picture's bytes and MIME type. Width, Height and FrameBitmap
// may decode on first use and raise the decoder's error then.
class TGraphic {
 public:
  using TNotifyEvent = std::function<void(TGraphic& sender)>;

  TGraphic() = default;
  virtual ~TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  // Reads the picture from the stream's position to its end.
  virtual void LoadFromStream(TStream& stream) = 0;
  void LoadFromFile(const std::string& fileName);
  // Reads the picture from bytes that the picture may keep (a GIF keeps its compressed data).
  virtual void LoadFromBytes(std::string bytes);
  // Decodes the first frame of the picture in bytes row by row into sink, the rows as
  // FrameBitmap(0) would give them, keeping no bitmap, and returns true; the bytes may have
  // been taken over then. Returns false, bytes untouched and sink unused, when this class
  // cannot do that for these bytes (the caller then loads the picture). Raises the errors that
  // loading raises; rows already handed over are then to be discarded.
  virtual bool DecodeRGBRows(std::string& bytes, TRGBRowSink& sink) { return false; }

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const = 0;
  // Pictures refuse to be resized unless they say otherwise.
  virtual void SetWidth(int value);
  virtual void SetHeight(int value);

  // Frames: one for a still picture, any number for an animated GIF, none when empty.
  virtual int FrameCount() const = 0;
  // The decoded frame; never null for an index below FrameCount().
  virtual const TBitmapData& FrameBitmap(int index) const = 0;
  // The frame that is measured and drawn, or null when there is nothing to draw.
  virtual const TBitmapData* Bitmap() const = 0;
  // The colour that drawing leaves out (pixels of it keep the background), or clNone.
  virtual TColor TransparentColor() const { return clNone; }

  // Whether drawing leaves out a colour: the transparency flag is on (as it is for a new
  // picture) and the picture has a transparent colour.
  virtual bool Transparent() const { return FTransparent && TransparentColor() != clNone; }
  void SetTransparent(bool value) { FTransparent = value; }
  bool TransparencyFlag() const { return FTransparent; }

  // What decoding this picture may take; set before loading. Pictures made by
  // TPictureRegistry start with its DefaultLimits().
  const TDecodeLimits& Limits() const { return FLimits; }
  void SetLimits(const TDecodeLimits& value) { FLimits = value; }

  TProgressEvent OnProgress;
  TNotifyEvent OnChange;

 protected:
  void Progress(TProgressStage stage, int percent, const std::string& message);
  void Changed();

 private:
  bool FTransparent = true;
  TDecodeLimits FLimits;
};

// A picture of exactly one frame, decoded whole when it is loaded.
class TStillPicture : public TGraphic {
 public:
  int Width() const override { return FBitmap.Width; }
  int Height() const override { return FBitmap.Height; }
  bool Empty() const override { return FBitmap.Empty(); }
  int FrameCount() const override { return Empty() ? 0 : 1; }
  const TBitmapData& FrameBitmap(int index) const override;
  const TBitmapData* Bitmap() const override { return Empty() ? nullptr : &FBitmap; }

 protected:
  // Takes the decoded picture and reports the change.
  void Assign(TBitmapData bitmap);

 private:
  TBitmapData FBitmap;
};

}  // namespace tagscope
