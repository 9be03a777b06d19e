// Decoders of chapters (CHAP) and tables of contents (CTOC): their own fields, then frames of
// their own laid out as the tag's frames are.
#include <algorithm>

#include "engine/frame_decoders.h"
#include "engine/frame_layout.h"
#include "engine/stream_helpers.h"

namespace tagscope {

namespace {

// Chapters hold frames that may be chapters again; deeper than this is kept as bytes.
constexpr int kMaxDepth = 4;

bool AllZero(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

// The frame headers from `at` under a layout: how far they reach before something that is
// not a frame, and whether that is the end of the bytes.
size_t FramesEnd(const TByteReader& in, const TFrameLayout& layout) {
  size_t at = 0;
  while (in.HasAt(at, FrameHeaderSize)) {
    const TFrameHeader h = DecodeFrameHeader(in, at, layout);
    const bool fits = h.sizeValid && h.totalSize <= static_cast<int64_t>(in.Size() - at) &&
                      (!layout.optionalInSize || h.size >= static_cast<uint64_t>(h.optionalBytes));
    if (!ValidFrameID(h.id) || !fits) break;
    at += static_cast<size_t>(h.totalSize);
  }
  return at;
}

// The layout whose frames reach furthest, the tag version's standard one on a tie.
TFrameLayout ChooseLayout(const TByteReader& in, uint8_t version) {
  TFrameLayout best = StandardLayout(version);
  size_t reach = FramesEnd(in, best);
  for (const TFrameLayout& layout : CandidateLayouts(version)) {
    const size_t end = FramesEnd(in, layout);
    if (end > reach) best = layout, reach = end;
  }
  return best;
}

// A frame whose payload is compressed, encrypted or unsynchronised is kept as stored.
bool Stored(const TFrameHeader& h, const TFrameLayout& layout) {
  const uint8_t transformed = layout.version4Flags ? 0x0E : 0xC0;
  return (h.format & transformed) != 0;
}

void EmbeddedFrames(TFieldReader& r) {
  if (r.Failed()) return;
  const std::string_view bytes = r.RestView();
  if (r.Depth() >= kMaxDepth) return r.Fail("its frames are nested too deep to read");
  const TByteReader in(bytes);
  const TFrameLayout layout = ChooseLayout(in, r.Version());
  TFrameField& frames = r.Add("frames", TFieldType::ftFrames);
  size_t at = 0;
  for (const size_t end = FramesEnd(in, layout); at < end;) {
    const TFrameHeader h = DecodeFrameHeader(in, at, layout);
    const std::string_view payload =
        in.ViewAt(at + FrameHeaderSize + h.optionalBytes, static_cast<size_t>(h.payloadSize));
    TEmbeddedFrame& frame = frames.Frames.emplace_back();
    frame.ID = h.id;
    frame.Size = payload.size();
    if (Stored(h, layout)) {
      TFrameField& data = frame.Value.Fields.emplace_back();
      data.Name = "data";
      data.Type = TFieldType::ftBytes;
      data.Bytes = payload;
    } else {
      frame.Value = DecodeFrameContentAt(h.id, payload, r.Version(), r.Depth() + 1);
    }
    at += static_cast<size_t>(h.totalSize);
  }
  r.Skip(at);
  // Zero bytes after the frames are padding; anything else is kept and reported.
  if (AllZero(r.RestView())) r.Skip(r.Remaining());
  if (!r.AtEnd()) r.Fail("its embedded frames end in bytes that are no frame");
}

}  // namespace

void DecodeChapterFrame(TFieldReader& r) {
  if (r.Latin1("elementId") && r.Number("startTime", 4, 1, "ms") &&
      r.Number("endTime", 4, 1, "ms") && r.Number("startOffset", 4, 1, "bytes") &&
      r.Number("endOffset", 4, 1, "bytes"))
    EmbeddedFrames(r);
}

// Flags: 2 the top-level table, 1 its entries in order.
void DecodeTableOfContentsFrame(TFieldReader& r) {
  static const std::string_view flags[] = {"", "ordered", "top-level", "top-level, ordered"};
  if (!r.Latin1("elementId") || !r.Number("flags", 1)) return;
  r.Last().Label = TableLabel(flags, r.Last().Number);
  if (!r.Number("entryCount", 1)) return;
  const auto count = static_cast<size_t>(r.Last().Number);
  std::vector<std::string> ids;
  for (size_t i = 0; i < count && r.Latin1("child"); ++i) {
    ids.push_back(std::move(r.Last().Text));
    r.Target().pop_back();
  }
  r.Add("children", TFieldType::ftTextList).Texts = std::move(ids);
  EmbeddedFrames(r);
}

}  // namespace tagscope
