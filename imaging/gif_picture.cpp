#include "imaging/gif_picture.h"

#include <algorithm>

#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {
constexpr uint8_t kExtensionIntroducer = '!';
constexpr uint8_t kImageIntroducer = ',';
constexpr uint8_t kTrailer = ';';

}  // namespace

TGifPicture::TGifPicture() {
  Clear();
}

void TGifPicture::Clear() {
  FShared = std::make_shared<TGIFData>();
  FSignatureVersion = 0;
  FFrameList.clear();
  FCurrentFrame = -1;
  FBackColor = clNone;
  FHasLoop = false;
  FLoopCount = 1;
}

void TGifPicture::LoadFromStream(TStream& stream) {
  ReadGIFData(stream.Size() - stream.Position(), stream, true);
}

void TGifPicture::ReadData(TStream& stream) {
  char length[4];
  stream.ReadBuffer(length, 4);
  const auto count = static_cast<int32_t>(TByteReader(length, sizeof length).LEAt(0, 4));
  ReadGIFData(count, stream, true);
}

void TGifPicture::ReadGIFData(int64_t count, TStream& source, bool buildBitmap) {
  Clear();
  if (count > 0) {
    // Checked before anything is allocated: the count may come from a damaged resource.
    if (count > source.Size() - source.Position()) throw EReadError(SReadError);
    // Bytes already in memory are read where they are; others are copied into memory once.
    if (auto* memory = dynamic_cast<TMemoryStream*>(&source)) {
      const char* bytes = memory->Memory() + memory->Position();
      memory->Seek(count, TSeekOrigin::soCurrent);
      ReadGIFBuffer(bytes, static_cast<size_t>(count), nullptr, buildBitmap);
      return;
    }
    std::string copy = source.ReadString(count);
    if (static_cast<int64_t>(copy.size()) != count) throw EReadError(SReadError);
    ReadGIFBuffer(copy.data(), copy.size(), &copy, buildBitmap);
    return;
  }
  ReadGIFBuffer(nullptr, 0, nullptr, buildBitmap);
}

void TGifPicture::LoadFromBytes(std::string bytes) {
  ReadGIFBuffer(bytes.data(), bytes.size(), &bytes, true);
}

bool TGifPicture::DecodeRGBRows(std::string& bytes, TRGBRowSink& sink) {
  ReadGIFBuffer(bytes.data(), bytes.size(), &bytes, false);
  // Without frames nothing took the bytes over.
  if (FFrameList.empty()) return false;
  FFrameList.front()->DecodeRows(sink);
  return true;
}

void TGifPicture::ReadGIFBuffer(const char* bytes, size_t count, std::string* takeable,
                                bool buildBitmap) {
  Clear();
  if (count > 0) {
    TByteReader reader(bytes, count);
    // The frame that put off taking its data gets it also when a later block fails: a failed
    // load keeps the frames read before the failure.
    auto handOver = [&] {
      for (auto& frame : FFrameList)
        if (frame->TakeDeferredCodeStream(*takeable)) break;
    };
    try {
      ReadHeader(reader);
      ReadScreenDescriptor(reader);
      ReadBlocks(reader, takeable != nullptr);
    } catch (...) {
      if (takeable) handOver();
      throw;
    }
    if (takeable) handOver();
  }
  if (!FFrameList.empty()) {
    FCurrentFrame = 0;
    if (buildBitmap) {
      try {
        FFrameList.front()->GetFrameBitmap();
      } catch (...) {
        FFrameList.erase(FFrameList.begin());
        throw;
      }
    }
  }
  Changed();
}

void TGifPicture::ReadHeader(TByteReader& reader) {
  char signature[3];
  char version[3];
  reader.Read(signature, 3);
  if (!SameTextAscii(std::string_view(signature, 3), "GIF"))
    throw EInvalidGraphicOperation(SUnknownGifVersion);
  reader.Read(version, 3);
  if (SameTextAscii(std::string_view(version, 3), "87a")) {
    FSignatureVersion = 1;
  } else if (SameTextAscii(std::string_view(version, 3), "89a")) {
    FSignatureVersion = 2;
  } else {
    throw EInvalidGraphicOperation(SUnknownGifVersion);
  }
}

// A descriptor or table cut short by the end of the data reads as zeros beyond it; the block
// loop then finds nothing more.
void TGifPicture::ReadScreenDescriptor(TByteReader& reader) {
  uint8_t lsd[7];
  reader.ReadUpTo(lsd, sizeof lsd);
  TGIFData& shared = *FShared;
  const TByteReader fields(reinterpret_cast<const char*>(lsd), sizeof lsd);
  FLogicalWidth = static_cast<uint16_t>(fields.LEAt(0, 2));
  FLogicalHeight = static_cast<uint16_t>(fields.LEAt(2, 2));
  const uint8_t flags = lsd[4];
  shared.FColorResolution = static_cast<uint8_t>(((flags >> 4) & 7) + 1);
  shared.FGlobalBits = static_cast<uint8_t>((flags & 7) + 1);
  shared.FPixelAspect = lsd[6];
  if (flags & 0x80) {
    shared.FGlobalColors.Count = 1 << shared.FGlobalBits;
    reader.ReadUpTo(shared.FGlobalColors.Colors.data(), size_t(3) * shared.FGlobalColors.Count);
    if (lsd[5] < shared.FGlobalColors.Count) FBackColor = shared.FGlobalColors.Color(lsd[5]);
  }
}

void TGifPicture::ReadBlocks(TByteReader& reader, bool deferLargeCodeStream) {
  uint8_t introducer = ReadIntroducer(reader);
  while (introducer != 0 && introducer != kTrailer && !reader.AtEnd()) {
    std::vector<TExtension> pending;
    introducer = ReadExtensionRun(reader, introducer, pending);
    if (introducer == kImageIntroducer) {
      auto frame = std::make_unique<TGifFrame>(this);
      frame->ExtensionList() = std::move(pending);
      frame->ReadFrame(reader, FLogicalWidth, FLogicalHeight, FShared->FGlobalColors,
                       deferLargeCodeStream);
      FFrameList.push_back(std::move(frame));
      if (reader.AtEnd()) {
        introducer = kTrailer;
      } else {
        introducer = ReadIntroducer(reader);
        // Anything but a block after an image ends the reading quietly.
        if (introducer != kExtensionIntroducer && introducer != kImageIntroducer &&
            introducer != kTrailer)
          introducer = 0;
      }
    } else if (FShared->FComments.empty() && !pending.empty()) {
      TakeOverComments(pending);
    } else if (introducer != 0 && introducer != kTrailer) {
      throw EInvalidGraphicOperation(SReadError);
    }
  }
}

// Skips zero bytes between blocks; 0 at the end of the data.
uint8_t TGifPicture::ReadIntroducer(TByteReader& reader) {
  while (!reader.AtEnd()) {
    const uint8_t b = reader.ReadByte();
    if (b != 0) return b;
  }
  return 0;
}

// Reads consecutive extension blocks. Graphic control and comment blocks are collected in
// pending for the frame that follows; a plain text block drops what was collected before it.
uint8_t TGifPicture::ReadExtensionRun(TByteReader& reader, uint8_t introducer,
                                      std::vector<TExtension>& pending) {
  while (introducer == kExtensionIntroducer) {
    if (reader.AtEnd()) return kTrailer;
    TExtension extension = TExtension::Read(reader, reader.ReadByte());
    switch (extension.BlockKind()) {
      case ekPlainText:
        pending.clear();
        break;
      case ekApplication:
        if (extension.IsLoopBlock()) {
          FHasLoop = true;
          FLoopCount = static_cast<uint16_t>(extension.LoopCount());
        }
        break;
      default:
        pending.push_back(std::move(extension));
        break;
    }
    if (reader.AtEnd()) return kTrailer;
    introducer = ReadIntroducer(reader);
  }
  return introducer;
}

void TGifPicture::TakeOverComments(const std::vector<TExtension>& pending) {
  auto& comments = FShared->FComments;
  for (const TExtension& extension : pending) {
    if (extension.BlockKind() != ekComment) continue;
    if (!comments.empty()) comments.emplace_back("\r\n\r\n");
    comments.insert(comments.end(), extension.BlockLines().begin(), extension.BlockLines().end());
  }
}

TGifFrame* TGifPicture::ValidCurrentFrame() const {
  if (FCurrentFrame < 0 || FCurrentFrame >= FrameCount()) return nullptr;
  return FFrameList[static_cast<size_t>(FCurrentFrame)].get();
}

int TGifPicture::Width() const {
  TGifFrame* frame = ValidCurrentFrame();
  return frame ? frame->GetFrameBitmap().Width : 0;
}

int TGifPicture::Height() const {
  TGifFrame* frame = ValidCurrentFrame();
  return frame ? frame->GetFrameBitmap().Height : 0;
}

bool TGifPicture::Empty() const {
  const int index = std::max(FCurrentFrame, 0);
  if (index >= FrameCount()) return true;
  const TGifFrame& frame = *FFrameList[static_cast<size_t>(index)];
  if (frame.HasBitmap()) return false;
  const TMemoryStream* code = frame.Item().CodeStream();
  return !code || code->Bytes().empty();
}

void TGifPicture::SetWidth(int) {
  throw EInvalidGraphicOperation(SGifSizeFixed);
}
void TGifPicture::SetHeight(int) {
  throw EInvalidGraphicOperation(SGifSizeFixed);
}

const TBitmapData& TGifPicture::FrameBitmap(int index) const {
  if (index < 0 || index >= FrameCount())
    throw EInvalidGraphicOperation(Format("Frame index out of range (%d)", index));
  return FFrameList[static_cast<size_t>(index)]->GetFrameBitmap();
}

const TBitmapData* TGifPicture::Bitmap() const {
  TGifFrame* frame = ValidCurrentFrame();
  return frame ? &frame->GetFrameBitmap() : nullptr;
}

TColor TGifPicture::TransparentColor() const {
  TGifFrame* frame = ValidCurrentFrame();
  return frame ? frame->KeyColor() : clNone;
}

bool TGifPicture::Transparent() const {
  if (!TransparencyFlag()) return false;
  return std::any_of(FFrameList.begin(), FFrameList.end(),
                     [](const auto& frame) { return frame->KeyColor() != clNone; });
}

const std::vector<TRGBQuad>* TGifPicture::Palette() {
  if (FFrameList.empty()) return nullptr;
  TGifFrame* frame = ValidCurrentFrame();
  if (!frame) frame = FFrameList.front().get();
  return &frame->GetFrameBitmap().Palette;
}

void TGifPicture::Assign(const TGifPicture& source) {
  if (&source == this) return;
  FShared = source.FShared;
  FSignatureVersion = source.FSignatureVersion;
  FCurrentFrame = source.FCurrentFrame;
  FLogicalWidth = source.FLogicalWidth;
  FLogicalHeight = source.FLogicalHeight;
  FBackColor = source.FBackColor;
  FHasLoop = source.FHasLoop;
  FLoopCount = source.FLoopCount;
  FFrameList.clear();
  for (const auto& sourceFrame : source.FFrameList) {
    auto frame = std::make_unique<TGifFrame>(this);
    frame->Assign(*sourceFrame);
    FFrameList.push_back(std::move(frame));
  }
  Changed();
}

}  // namespace tagscope
