// The tag rendered as it goes into a file.
#include <algorithm>
#include <array>

#include "engine/frames/stream_helpers.h"
#include "engine/tag/extended_header_bytes.h"
#include "engine/tag/id3_layout.h"
#include "engine/tag/unsync.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr int64_t kHeaderSize = id3::HeaderSize;  // also the footer's
constexpr int64_t kMaxTagSize = id3::MaxTagSize;

const std::array<char, 4096>& Zeros() {
  static const std::array<char, 4096> zeros{};
  return zeros;
}

}  // namespace

void TTagImage::WriteTo(TStream& stream) const {
  stream.WriteString(head);
  for (int64_t left = padding; left > 0;) {
    const int64_t n = std::min<int64_t>(left, Zeros().size());
    stream.WriteBuffer(Zeros().data(), n);
    left -= n;
  }
  stream.WriteString(footer);
}

TTagLayout TID3Tag::Layout(uint8_t version, const TID3EngineFrameNotify& onEncrypt) {
  if (version != FHeader.VersionNumber()) {
    FHeader.SetVersionNumber(version);
    FHeader.SetVersionRevision(0);
  }
  TMemoryStream frames;
  FFrames.WriteFrames(frames, version, onEncrypt);
  return TTagLayout(*this, frames.Bytes());
}

TTagImage TID3Tag::Render(uint8_t version, int64_t padding,
                          const TID3EngineFrameNotify& onEncrypt) {
  return Layout(version, onEncrypt).Image(padding);
}

TTagImage TTagLayout::Image(int64_t padding) const {
  TID3Header& header = FTag.Header();
  TMemoryStream written;
  header.SaveToStream(written, false);
  TTagImage image;
  image.head = written.Bytes().substr(0, kHeaderSize);
  std::string body = header.ExtendedHeaderPresent() ? ExtendedHeaderBytes(header, FFrames, padding)
                                                    : std::string();
  body += FFrames;
  // Versions 2 and 3 unsynchronise everything after the header; version 4 does it per frame.
  if (header.Unsynchronisation() && header.VersionNumber() < 4) body = ApplyUnsynchronisation(body);
  const int64_t size = static_cast<int64_t>(body.size()) + padding;
  if (size > kMaxTagSize)
    throw EWriteError(Format("The tag is too large: %lld bytes, an ID3v2 tag holds at most %lld",
                             static_cast<long long>(size), static_cast<long long>(kMaxTagSize)));
  WriteSyncSafeBE(reinterpret_cast<uint8_t*>(image.head.data() + 6), 4,
                  static_cast<uint64_t>(size));
  image.head += body;
  image.padding = padding;
  if (header.FooterPresent()) {
    TMemoryStream footer;
    header.SaveToStream(footer, true);
    image.footer = footer.Bytes();
    WriteSyncSafeBE(reinterpret_cast<uint8_t*>(image.footer.data() + 6), 4,
                    static_cast<uint64_t>(size));
  }
  return image;
}

std::optional<TTagImage> TTagLayout::Fill(const TTagImage& image, int64_t extent) const {
  // The padding size that a version 3 extended header records may change the length of the
  // unsynchronised bytes; a few rounds settle it.
  int64_t padding = image.padding + extent - image.Length();
  for (int round = 0; round < 4; ++round) {
    if (padding < 0 || static_cast<int64_t>(image.head.size()) + padding > kMaxTagSize)
      return std::nullopt;
    TTagImage filled = Image(padding);
    if (filled.Length() == extent) return filled;
    padding += extent - filled.Length();
  }
  return std::nullopt;
}

}  // namespace tagscope
