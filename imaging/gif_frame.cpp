#include "imaging/gif_frame.h"

#include <algorithm>

#include "imaging/gif_decoder.h"
#include "imaging/gif_picture.h"

namespace tagscope {

TGifFrame::TGifFrame(TGifPicture* ownerImage)
    : FOwnerImage(ownerImage), FItem(std::make_shared<TGIFItem>()) {}

void TGifFrame::Assign(const TGifFrame& source) {
  if (&source == this) return;
  FItem = source.FItem;
  FExtensionList = source.FExtensionList;
  FFrameBitmap =
      source.FFrameBitmap ? std::make_unique<TBitmapData>(*source.FFrameBitmap) : nullptr;
  FOriginX = source.FOriginX;
  FOriginY = source.FOriginY;
  FInterlace = source.FInterlace;
  FDamaged = source.FDamaged;
  FKeyColor = source.FKeyColor;
  FDelayMs = source.FDelayMs;
  FDisposalMethod = source.FDisposalMethod;
  FHasLocalColors = source.FHasLocalColors;
}

void TGifFrame::ReadFrame(TByteReader& reader, uint16_t logicalWidth, uint16_t logicalHeight,
                          const TGIFColors& globalColors, bool deferLargeCodeStream) {
  TGIFItem& item = *FItem;
  if (globalColors.Count > 0)
    item.FFrameBits = static_cast<uint8_t>(BitsForColorCount(globalColors.Count));
  item.FCodeStream = std::make_unique<TMemoryStream>();
  FDamaged = false;
  try {
    uint8_t descriptor[9];
    reader.Read(descriptor, sizeof descriptor);
    const uint8_t flags = descriptor[8];
    FInterlace = (flags & 0x40) != 0;
    FHasLocalColors = (flags & 0x80) != 0;
    item.FFrameColors = TGIFColors{};
    if (FHasLocalColors) {
      item.FFrameBits = static_cast<uint8_t>((flags & 7) + 1);
      item.FFrameColors.Count = 1 << item.FFrameBits;
      reader.Read(item.FFrameColors.Colors.data(), size_t(3) * item.FFrameColors.Count);
    }
    ReadCodeStream(reader, deferLargeCodeStream);
    const TByteReader fields(reinterpret_cast<const char*>(descriptor), sizeof descriptor);
    auto word = [&](size_t i) { return static_cast<int>(fields.LEAt(i, 2)); };
    FOriginX = word(0);
    FOriginY = word(2);
    item.FFrameWidth = word(4) ? word(4) : logicalWidth;
    item.FFrameHeight = word(6) ? word(6) : logicalHeight;
    item.FDescriptorFlags = flags;
    if (!FHasLocalColors) item.FFrameColors = globalColors;
    ApplyGraphicControls();
  } catch (...) {
    item.FCodeStream.reset();
    throw;
  }
}

// The code size byte and the complete data sub-blocks that follow it. A length byte that
// points past the end of the data marks the frame damaged, and so does data that ends right
// after the code size byte.
void TGifFrame::ReadCodeStream(TByteReader& reader, bool deferLarge) {
  reader.ReadByte();
  // The code stream is the run of bytes from the code size byte to the end of the last whole
  // block: measured first, then copied at once.
  size_t length = 0;
  if (reader.AtEnd()) FDamaged = true;
  while (length < reader.Remaining()) {
    const size_t block = reader.Peek(length);
    if (block > reader.Remaining() - length - 1) {
      FDamaged = true;
      break;
    }
    length += 1 + block;
    if (block == 0) break;
  }
  const size_t start = reader.Position() - 1;
  reader.Skip(length);
  if (FDamaged) reader.SeekToEnd();
  // More than half of the bytes: taking them over later saves copying them now.
  if (deferLarge && (length + 1) * 2 > reader.Position() + reader.Remaining()) {
    FDeferredStart = start;
    FDeferredLength = length + 1;
    return;
  }
  FItem->FCodeStream->SetBytes(reader.Slice(start, length + 1));
}

bool TGifFrame::TakeDeferredCodeStream(std::string& bytes) {
  if (FDeferredLength == 0 || !FItem->FCodeStream) return false;
  bytes.erase(0, FDeferredStart);
  bytes.resize(FDeferredLength);
  FItem->FCodeStream->SetBytes(std::move(bytes));
  FDeferredLength = 0;
  return true;
}

void TGifFrame::ApplyGraphicControls() {
  const TGIFColors& colors = FItem->FFrameColors;
  int delay = 0;
  for (const TExtension& ext : FExtensionList) {
    if (ext.BlockKind() != ekGraphicControl) continue;
    if (ext.Flags() & 1) {
      if (ext.TransparentIndex() < colors.Count) FKeyColor = colors.Color(ext.TransparentIndex());
    } else {
      FKeyColor = clNone;
    }
    delay = std::max(ext.Delay() * 10, delay) & 0xFFFF;
    FDisposalMethod = (ext.Flags() >> 2) & 7;
  }
  FDelayMs = static_cast<uint16_t>(delay);
}

TDecodeLimits TGifFrame::Limits() const {
  return FOwnerImage ? FOwnerImage->Limits() : TDecodeLimits();
}

TDecodeProgress TGifFrame::Progress() {
  if (!FOwnerImage || !FOwnerImage->OnProgress) return {};
  return [this](TProgressStage stage, int percent, const std::string& message) {
    FOwnerImage->DecoderProgress(stage, percent, message);
  };
}

void TGifFrame::DecodeRows(TRGBRowSink& sink) {
  const TGIFItem& item = *FItem;
  if (FInterlace || !item.FCodeStream) {
    // Interlaced rows come out of order: they are gathered in the bitmap first.
    const TBitmapData& bitmap = GetFrameBitmap();
    sink.Start(bitmap.Width, bitmap.Height);
    const TRGBRows rows(bitmap);
    for (int y = 0; y < bitmap.Height; ++y) rows.Get(y, sink.NextRow());
    return;
  }
  FDamaged = DecodeFrameRows(item.FCodeStream->Bytes(), item.FFrameWidth, item.FFrameHeight,
                             item.FFrameBits, item.FFrameColors, sink, Progress(), Limits()) ||
             FDamaged;
}

const TBitmapData& TGifFrame::GetFrameBitmap() {
  if (FFrameBitmap && !FFrameBitmap->Empty()) return *FFrameBitmap;
  FFrameBitmap = std::make_unique<TBitmapData>();
  const TGIFItem& item = *FItem;
  if (!item.FCodeStream) return *FFrameBitmap;
  const TDecodeProgress progress = Progress();
  TDecodedFrame decoded =
      DecodeFrame(item.FCodeStream->Bytes(), item.FFrameWidth, item.FFrameHeight, item.FFrameBits,
                  item.FFrameColors, FInterlace, progress, Limits());
  FDamaged = FDamaged || decoded.Damaged;
  *FFrameBitmap = std::move(decoded.Bitmap);
  return *FFrameBitmap;
}

}  // namespace tagscope
