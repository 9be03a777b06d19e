#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/gif_colors.h"
#include "imaging/gif_extension.h"
#include "imaging/gif_frame.h"
#include "tagscope/imaging/graphic.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

inline constexpr const char* SGifDescription = "CompuServe GIF Image";
inline constexpr const char* SUnknownGifVersion = "Unknown GIF version";
inline constexpr const char* SGifSizeFixed = "Cannot change the Size of a GIF image";

// Image-wide data of a GIF stream, shared by pictures that are copies of each other.
class TGIFData {
 public:
  // Comment lines that follow the last frame.
  const std::vector<std::string>& Comments() const { return FComments; }
  uint8_t PixelAspect() const { return FPixelAspect; }
  uint8_t GlobalBits() const { return FGlobalBits; }
  uint8_t ColorResolution() const { return FColorResolution; }
  const TGIFColors& GlobalColors() const { return FGlobalColors; }

 private:
  friend class TGifPicture;
  std::vector<std::string> FComments;
  uint8_t FPixelAspect = 0;
  uint8_t FGlobalBits = 0;
  uint8_t FColorResolution = 0;
  TGIFColors FGlobalColors;
};

// A GIF87a or GIF89a picture: image-wide fields and the frames in stream order. Loading reads
// every frame's compressed data and decodes frame 0; other frames decode when first asked for.
class TGifPicture : public TGraphic {
 public:
  TGifPicture();

  void LoadFromStream(TStream& stream) override;
  void LoadFromBytes(std::string bytes) override;
  // Takes the bytes over and decodes frame 0 straight into the sink; false for a picture
  // without frames.
  bool DecodeRGBRows(std::string& bytes, TRGBRowSink& sink) override;
  // A 32-bit length followed by that many bytes of GIF data.
  void ReadData(TStream& stream);
  // Reads count bytes of GIF data from source; builds frame 0's bitmap when asked to.
  void ReadGIFData(int64_t count, TStream& source, bool buildBitmap);

  int Width() const override;
  int Height() const override;
  bool Empty() const override;
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  int FrameCount() const override { return static_cast<int>(FFrameList.size()); }
  const TBitmapData& FrameBitmap(int index) const override;
  const TBitmapData* Bitmap() const override;
  TColor TransparentColor() const override;
  bool Transparent() const override;
  // The palette of the current frame's bitmap (frame 0 when the current frame is out of
  // range); null without frames.
  const std::vector<TRGBQuad>* Palette();

  // Copies share the image data and the frames' data.
  void Assign(const TGifPicture& source);
  bool Equals(const TGifPicture& other) const { return FShared == other.FShared; }

  TGifFrame& Frames(int index) { return *FFrameList.at(static_cast<size_t>(index)); }
  const TGIFData& Shared() const { return *FShared; }
  int CurrentFrame() const { return FCurrentFrame; }
  void SetCurrentFrame(int value) { FCurrentFrame = value; }
  uint8_t SignatureVersion() const { return FSignatureVersion; }
  uint16_t LogicalWidth() const { return FLogicalWidth; }
  uint16_t LogicalHeight() const { return FLogicalHeight; }
  TColor BackColor() const { return FBackColor; }
  bool HasLoop() const { return FHasLoop; }
  uint16_t LoopCount() const { return FLoopCount; }

  // Forwards a frame decoder's progress to OnProgress.
  void DecoderProgress(TProgressStage stage, int percent, const std::string& message) {
    Progress(stage, percent, message);
  }

 private:
  void Clear();
  // ReadGIFData on bytes in memory. A frame whose compressed data is most of them may take
  // them over (takeable) instead of copying its part.
  void ReadGIFBuffer(const char* bytes, size_t count, std::string* takeable, bool buildBitmap);
  void ReadBlocks(TByteReader& reader, bool deferLargeCodeStream);
  void ReadHeader(TByteReader& reader);
  void ReadScreenDescriptor(TByteReader& reader);
  uint8_t ReadIntroducer(TByteReader& reader);
  uint8_t ReadExtensionRun(TByteReader& reader, uint8_t introducer,
                           std::vector<TExtension>& pending);
  void TakeOverComments(const std::vector<TExtension>& pending);
  TGifFrame* ValidCurrentFrame() const;

  std::shared_ptr<TGIFData> FShared;
  uint8_t FSignatureVersion = 0;
  std::vector<std::unique_ptr<TGifFrame>> FFrameList;
  int32_t FCurrentFrame = -1;
  uint16_t FLogicalWidth = 0;
  uint16_t FLogicalHeight = 0;
  TColor FBackColor = clNone;
  bool FHasLoop = false;
  uint16_t FLoopCount = 1;
};

}  // namespace tagscope
