#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

// The frames that tie a tag to the audio's time line, built from typed values and read back:
// chapters (CHAP), tables of contents (CTOC), synchronised lyrics (SYLT), and the
// unsynchronised lyrics (USLT) that go with them. Texts are UTF-8, written in the encoding
// EncodingForText picks for the tag's version; element IDs and languages are ISO-8859-1 bytes.
// Payloads are laid out for a tag of the version (2 and 3 as ID3v2.3, which is how a tag of
// version 2 is written).

// A frame held inside a chapter or table of contents: its ID and payload. It is written with a
// frame header of the tag's version and no flags.
struct TSubFrame {
  std::string ID;
  std::string Payload;

  bool operator==(const TSubFrame&) const = default;
};

// A chapter: its start and end in milliseconds from the audio's start, and the bytes of the
// audio where it starts and ends (kNoOffset: not given, the times count).
struct TChapterFrame {
  static constexpr uint32_t kNoOffset = 0xFFFFFFFF;
  std::string ElementID;
  uint32_t StartTime = 0;
  uint32_t EndTime = 0;
  uint32_t StartOffset = kNoOffset;
  uint32_t EndOffset = kNoOffset;
  std::vector<TSubFrame> Frames;  // its title (TIT2) and the like

  bool operator==(const TChapterFrame&) const = default;
};

// A table of contents: the element IDs of its chapters (or of tables below it), in order.
// A tag has one top-level table, the root of the others.
struct TTableOfContentsFrame {
  std::string ElementID;
  bool TopLevel = false;
  bool Ordered = false;  // the entries are in the order they are played
  std::vector<std::string> Children;
  std::vector<TSubFrame> Frames;

  bool operator==(const TTableOfContentsFrame&) const = default;
};

// Synchronised text: each line with the time it begins.
struct TSyncedLine {
  uint32_t Time = 0;
  std::string Text;

  bool operator==(const TSyncedLine&) const = default;
};
struct TSyncLyricsFrame {
  static constexpr uint8_t kMpegFrames = 1, kMilliseconds = 2;  // timestamp formats
  static constexpr uint8_t kLyrics = 1;                         // content type
  std::string Language = "eng";
  uint8_t TimestampFormat = kMilliseconds;
  uint8_t ContentType = kLyrics;
  std::string Description;
  std::vector<TSyncedLine> Lines;

  bool operator==(const TSyncLyricsFrame&) const = default;
};

// The payloads. A language is cut or padded with blanks to three bytes.
std::string RenderChapterFrame(const TChapterFrame& chapter, uint8_t version);
std::string RenderTableOfContentsFrame(const TTableOfContentsFrame& table, uint8_t version);
std::string RenderSyncLyricsFrame(const TSyncLyricsFrame& lyrics, uint8_t version);
std::string RenderLyricsFrame(const std::string& language, const std::string& description,
                              const std::string& text, uint8_t version);
// A text frame to hold inside a chapter or table of contents (TIT2, TIT3).
TSubFrame TextSubFrame(std::string_view id, const std::string& text, uint8_t version);

// The same frames read from a payload of a tag of the version; none where the payload does not
// hold the frame's fields whole. Sub-frames are split at their headers as the tag's reader
// finds them; bytes after them that are no frame are left out.
std::optional<TChapterFrame> ParseChapterFrame(std::string_view payload, uint8_t version);
std::optional<TTableOfContentsFrame> ParseTableOfContentsFrame(std::string_view payload,
                                                               uint8_t version);
std::optional<TSyncLyricsFrame> ParseSyncLyricsFrame(std::string_view payload, uint8_t version);
// The text of a text sub-frame with the ID (its first value), "" when there is none.
std::string SubFrameText(const std::vector<TSubFrame>& frames, std::string_view id);

}  // namespace tagscope
