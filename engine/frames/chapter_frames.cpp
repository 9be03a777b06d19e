// Chapters (CHAP) and tables of contents (CTOC), read and written from their fields, and the
// typed values made from and into those fields: their own fields, then frames of their own
// laid out as the tag's frames are.
#include <algorithm>

#include "engine/frames/chapter_frames.h"
#include "engine/frames/frame_chain.h"
#include "engine/frames/frame_kinds.h"
#include "engine/frames/frame_layout.h"
#include "engine/frames/stream_helpers.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/engine/timed_frames.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// Chapters hold frames that may be chapters again; deeper than this is kept as bytes.
constexpr int kMaxDepth = 4;

bool AllZero(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

// A frame whose payload is compressed, encrypted or unsynchronised is kept as stored.
bool Stored(const TFrameHeader& h, const TFrameLayout& layout) {
  const uint8_t transformed = layout.version4Flags ? 0x0E : 0xC0;
  return (h.format & transformed) != 0;
}

// The frames at the start of the bytes, each with its payload and whether it is kept as stored;
// `end` is where they stop.
struct TRawSubFrame {
  std::string id;
  std::string_view payload;
  bool stored = false;
};
std::vector<TRawSubFrame> SplitFrames(std::string_view bytes, uint8_t version, size_t& end) {
  const TByteReader in(bytes);
  const TFrameLayout layout = ChooseFrameLayout(in, version, MaxFrameCount);
  TFrameChain chain(in, layout);
  std::vector<TRawSubFrame> frames;
  while (chain.Next() == TChainLink::clFrame) {
    const TFrameHeader& h = chain.Header();
    // Flags that contradict the size end the frames: what follows is no frame of its own.
    if (layout.optionalInSize && h.size < static_cast<uint64_t>(h.optionalBytes)) break;
    frames.push_back({h.id,
                      in.ViewAt(chain.At() + FrameHeaderSize + h.optionalBytes,
                                static_cast<size_t>(h.payloadSize)),
                      Stored(h, layout)});
  }
  end = chain.At();
  return frames;
}

void EmbeddedFrames(TFieldReader& r) {
  if (r.Failed()) return;
  if (r.Depth() >= kMaxDepth) return r.Fail("its frames are nested too deep to read");
  TFrameField& frames = r.Add("frames", TFieldType::ftFrames);
  size_t end = 0;
  for (const TRawSubFrame& sub : SplitFrames(r.RestView(), r.Version(), end)) {
    TEmbeddedFrame& frame = frames.Frames.emplace_back();
    frame.ID = sub.id;
    frame.Size = sub.payload.size();
    if (sub.stored) {
      TFrameField& data = frame.Value.Fields.emplace_back();
      data.Name = "data";
      data.Type = TFieldType::ftBytes;
      data.Bytes = sub.payload;
    } else {
      frame.Value = DecodeFrameContentAt(sub.id, sub.payload, r.Version(), r.Depth() + 1);
    }
  }
  r.Skip(end);
  // Zero bytes after the frames are padding; anything else is kept and reported.
  if (AllZero(r.RestView())) r.Skip(r.Remaining());
  if (!r.AtEnd()) r.Fail("its embedded frames end in bytes that are no frame");
}

// The fields before a chapter's frames; false where the payload does not hold them.
bool ChapterFields(TFieldReader& r) {
  return r.Latin1("elementId") && r.Number("startTime", 4, 1, "ms") &&
         r.Number("endTime", 4, 1, "ms") && r.Number("startOffset", 4, 1, "bytes") &&
         r.Number("endOffset", 4, 1, "bytes");
}

// Flags: 2 the top-level table, 1 its entries in order.
constexpr uint8_t kTopLevel = 2, kOrdered = 1;

bool TableFields(TFieldReader& r) {
  static const std::string_view flags[] = {"", "ordered", "top-level", "top-level, ordered"};
  if (!r.Latin1("elementId") || !r.Number("flags", 1)) return false;
  r.Last().Label = TableLabel(flags, r.Last().Number);
  if (!r.Number("entryCount", 1)) return false;
  const auto count = static_cast<size_t>(r.Last().Number);
  std::vector<std::string> ids;
  for (size_t i = 0; i < count && r.Latin1("child"); ++i) {
    ids.push_back(std::move(r.Last().Text));
    r.Target().pop_back();
  }
  r.Add("children", TFieldType::ftTextList).Texts = std::move(ids);
  return !r.Failed();
}

// The frames that follow, as typed values: those kept as stored (compressed, encrypted) are
// left out, their payloads being no plain content.
std::vector<TSubFrame> SubFrames(std::string_view bytes, uint8_t version) {
  std::vector<TSubFrame> frames;
  size_t end = 0;
  for (const TRawSubFrame& sub : SplitFrames(bytes, version, end))
    if (!sub.stored) frames.push_back({sub.id, std::string(sub.payload)});
  return frames;
}

// Each frame with a header of the tag's version: sync-safe sizes in version 4, plain before.
void AppendSubFrames(std::string& out, const std::vector<TSubFrame>& frames, uint8_t version) {
  for (const TSubFrame& frame : frames) {
    if (frame.ID.size() != 4 || !ValidFrameID(frame.ID))
      throw EConvertError(Format("\"%s\" is not a frame ID", frame.ID.c_str()));
    if (frame.Payload.size() > 0x0FFFFFFF)
      throw EConvertError(
          Format("The frame %s is too large to hold in a chapter", frame.ID.c_str()));
    uint8_t size[4];
    if (version >= 4)
      WriteSyncSafeBE(size, 4, frame.Payload.size());
    else
      WritePlainBE(size, 4, frame.Payload.size());
    out += frame.ID;
    out.append(reinterpret_cast<const char*>(size), 4);
    out.append(2, '\0');
    out += frame.Payload;
  }
}

// Typed sub-frames as the frames field of a value: each payload as it is.
void AddSubFrames(TFrameValue& value, const std::vector<TSubFrame>& subs) {
  TFrameField& field = value.Fields.emplace_back();
  field.Name = "frames";
  field.Type = TFieldType::ftFrames;
  for (const TSubFrame& sub : subs) {
    TEmbeddedFrame& frame = field.Frames.emplace_back();
    frame.ID = sub.ID;
    frame.Size = sub.Payload.size();
    frame.Value.AddBytes("data", sub.Payload);
  }
}

const std::string& LastText(const TFrameValue& value, std::string_view name) {
  static const std::string none;
  const TFrameField* f = value.Find(name);
  return f ? f->Text : none;
}

uint32_t LastNumber(const TFrameValue& value, std::string_view name) {
  const TFrameField* f = value.Find(name);
  return f ? static_cast<uint32_t>(f->Number) : 0;
}

// The frames a chapter or table of contents holds, each rendered from its content; a field that
// cannot be written is named by its path below the frame.
void RenderEmbeddedFrames(TFieldWriter& w) {
  if (!w.Has("frames")) return;
  const std::vector<TEmbeddedFrame>& frames = w.Field("frames", TFieldType::ftFrames).Frames;
  std::vector<TSubFrame> subs;
  for (size_t i = 0; i < frames.size(); ++i) {
    const std::string path = w.Path() + ".frames[" + std::to_string(i) + "]";
    if (frames[i].ID.size() != 4 || !ValidFrameID(frames[i].ID))
      throw EFrameValueError(path + ".id", "is no frame ID of four letters A-Z or digits");
    try {
      subs.push_back(
          {frames[i].ID, RenderFrameContent(frames[i].ID, frames[i].Value, w.Version())});
    } catch (const EFrameValueError& e) {
      throw EFrameValueError(path + "." + e.Path(), e.Problem());
    }
  }
  std::string out;
  AppendSubFrames(out, subs, w.Version());
  w.Raw(out);
}

}  // namespace

void ParseChapterFrame(TFieldReader& r) {
  if (ChapterFields(r)) EmbeddedFrames(r);
}

void RenderChapterFrame(TFieldWriter& w) {
  w.Latin1("elementId");
  for (const char* name : {"startTime", "endTime", "startOffset", "endOffset"}) w.Number(name, 4);
  RenderEmbeddedFrames(w);
}

void ParseTableOfContentsFrame(TFieldReader& r) {
  if (TableFields(r)) EmbeddedFrames(r);
}

void RenderTableOfContentsFrame(TFieldWriter& w) {
  w.Latin1("elementId");
  w.Number("flags", 1);
  const std::vector<std::string>& children = w.Field("children", TFieldType::ftTextList).Texts;
  if (w.Field("entryCount", TFieldType::ftNumber).Number != static_cast<int64_t>(children.size()))
    w.Refuse("entryCount", "is the number of children");
  w.Number("entryCount", 1);
  for (size_t i = 0; i < children.size(); ++i) {
    if (!FitsLatin1(children[i]) || children[i].find('\0') != std::string::npos)
      w.Refuse("children[" + std::to_string(i) + "]",
               "is an element ID of ISO-8859-1 characters without a zero");
    w.Raw(Utf8ToLatin1(children[i]) + '\0');
  }
  RenderEmbeddedFrames(w);
}

std::string RenderChapterFrame(const TChapterFrame& chapter, uint8_t version) {
  TFrameValue value;
  value.Kind = "chapter";
  value.AddText("elementId", Latin1ToUtf8(chapter.ElementID))
      .AddNumber("startTime", chapter.StartTime)
      .AddNumber("endTime", chapter.EndTime)
      .AddNumber("startOffset", chapter.StartOffset)
      .AddNumber("endOffset", chapter.EndOffset);
  AddSubFrames(value, chapter.Frames);
  return RenderFrameContent("CHAP", value, version);
}

std::string RenderTableOfContentsFrame(const TTableOfContentsFrame& table, uint8_t version) {
  TFrameValue value;
  value.Kind = "tableOfContents";
  std::vector<std::string> children;
  for (const std::string& child : table.Children) children.push_back(Latin1ToUtf8(child));
  value.AddText("elementId", Latin1ToUtf8(table.ElementID))
      .AddNumber("flags", (table.TopLevel ? kTopLevel : 0) | (table.Ordered ? kOrdered : 0))
      .AddNumber("entryCount", static_cast<int64_t>(children.size()))
      .AddTexts("children", std::move(children));
  AddSubFrames(value, table.Frames);
  return RenderFrameContent("CTOC", value, version);
}

TSubFrame TextSubFrame(std::string_view id, const std::string& text, uint8_t version) {
  TFrameValue value;
  value.Kind = "text";
  return {std::string(id), RenderFrameContent(id, value.AddText("text", text), version)};
}

std::optional<TChapterFrame> ParseChapterFrame(std::string_view payload, uint8_t version) {
  TFrameValue value;
  TFieldReader r(payload, value, version);
  if (!ChapterFields(r)) return std::nullopt;
  TChapterFrame c;
  c.ElementID = Utf8ToLatin1(LastText(value, "elementId"));
  c.StartTime = LastNumber(value, "startTime");
  c.EndTime = LastNumber(value, "endTime");
  c.StartOffset = LastNumber(value, "startOffset");
  c.EndOffset = LastNumber(value, "endOffset");
  c.Frames = SubFrames(r.RestView(), version);
  return c;
}

std::optional<TTableOfContentsFrame> ParseTableOfContentsFrame(std::string_view payload,
                                                               uint8_t version) {
  TFrameValue value;
  TFieldReader r(payload, value, version);
  if (!TableFields(r)) return std::nullopt;
  TTableOfContentsFrame t;
  t.ElementID = Utf8ToLatin1(LastText(value, "elementId"));
  const uint32_t flags = LastNumber(value, "flags");
  t.TopLevel = (flags & kTopLevel) != 0;
  t.Ordered = (flags & kOrdered) != 0;
  for (const std::string& child : value.Find("children")->Texts)
    t.Children.push_back(Utf8ToLatin1(child));
  t.Frames = SubFrames(r.RestView(), version);
  return t;
}

std::string SubFrameText(const std::vector<TSubFrame>& frames, std::string_view id) {
  for (const TSubFrame& frame : frames) {
    if (frame.ID != id || frame.Payload.empty()) continue;
    const auto encoding = static_cast<uint8_t>(frame.Payload[0]);
    return DecodeTextUtf8(TerminatedString(frame.Payload, 1, encoding), encoding);
  }
  return {};
}

}  // namespace tagscope
