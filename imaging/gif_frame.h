#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/gif_colors.h"
#include "imaging/gif_decoder.h"
#include "imaging/gif_extension.h"
#include "tagscope/imaging/bitmap.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TGifPicture;

// Per-frame data: the compressed data and the frame's colour table. Frames that are copies of
// each other share one item.
class TGIFItem {
 public:
  // The LZW code size byte followed by the data sub-blocks; null until the frame is read.
  const TMemoryStream* CodeStream() const { return FCodeStream.get(); }
  int32_t FrameWidth() const { return FFrameWidth; }
  int32_t FrameHeight() const { return FFrameHeight; }
  uint8_t DescriptorFlags() const { return FDescriptorFlags; }
  // Bits per entry of the frame's colour table; 0 when the frame has none.
  uint8_t FrameBits() const { return FFrameBits; }
  const TGIFColors& FrameColors() const { return FFrameColors; }

 private:
  friend class TGifFrame;
  std::unique_ptr<TMemoryStream> FCodeStream;
  int32_t FFrameWidth = 0;
  int32_t FFrameHeight = 0;
  uint8_t FDescriptorFlags = 0;
  uint8_t FFrameBits = 0;
  TGIFColors FFrameColors;
};

// One image block of a GIF stream with the extensions that preceded it.
class TGifFrame {
 public:
  explicit TGifFrame(TGifPicture* ownerImage);
  TGifFrame(const TGifFrame&) = delete;
  TGifFrame& operator=(const TGifFrame&) = delete;

  // Makes this frame a copy of source, sharing its item.
  void Assign(const TGifFrame& source);

  // Reads the image descriptor, the local colour table and the data sub-blocks, starting
  // right after the "," introducer. Without a local table the frame takes the global one.
  // deferLargeCodeStream: the reader's bytes may be handed to the frame afterwards; a frame
  // whose code stream is most of them then leaves its code stream empty until
  // TakeDeferredCodeStream gives it those bytes.
  void ReadFrame(TByteReader& reader, uint16_t logicalWidth, uint16_t logicalHeight,
                 const TGIFColors& globalColors, bool deferLargeCodeStream = false);
  // Makes the reader's bytes this frame's code stream when it put its own off (keeping only its
  // part of them); false when it did not.
  bool TakeDeferredCodeStream(std::string& bytes);
  // The decoded frame, decoding it on first use. An error leaves an empty bitmap in place.
  const TBitmapData& GetFrameBitmap();
  // The frame's rows straight into sink, as GetFrameBitmap's bitmap would give them, keeping
  // no bitmap.
  void DecodeRows(TRGBRowSink& sink);
  bool HasBitmap() const { return FFrameBitmap != nullptr; }

  TGifPicture* OwnerImage() const { return FOwnerImage; }
  const TGIFItem& Item() const { return *FItem; }
  std::vector<TExtension>& ExtensionList() { return FExtensionList; }
  const std::vector<TExtension>& ExtensionList() const { return FExtensionList; }
  int Width() const { return FItem->FrameWidth(); }
  int Height() const { return FItem->FrameHeight(); }
  int OriginX() const { return FOriginX; }
  int OriginY() const { return FOriginY; }
  bool Interlace() const { return FInterlace; }
  bool Damaged() const { return FDamaged; }
  TColor KeyColor() const { return FKeyColor; }
  uint16_t DelayMs() const { return FDelayMs; }
  uint8_t DisposalMethod() const { return FDisposalMethod; }
  bool HasLocalColors() const { return FHasLocalColors; }

 private:
  void ReadCodeStream(TByteReader& reader, bool deferLarge);
  // Forwards the decoder's progress to the owning image, when it listens.
  TDecodeProgress Progress();
  // The owning picture's decoding limits (the defaults for a frame without one).
  TDecodeLimits Limits() const;
  void ApplyGraphicControls();

  TGifPicture* FOwnerImage;
  std::unique_ptr<TBitmapData> FFrameBitmap;
  std::shared_ptr<TGIFItem> FItem;
  std::vector<TExtension> FExtensionList;
  int32_t FOriginX = 0;
  int32_t FOriginY = 0;
  bool FInterlace = false;
  bool FDamaged = false;
  TColor FKeyColor = clNone;
  uint16_t FDelayMs = 0;
  uint8_t FDisposalMethod = 0;
  bool FHasLocalColors = false;
  // Where the code stream lies in the reader's bytes while it is put off.
  size_t FDeferredStart = 0;
  size_t FDeferredLength = 0;
};

}  // namespace tagscope
