#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/id3_frames.h"
#include "tagscope/engine/id3_header.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// A tag as it goes into a file: header, extended header and frames as stored, then padding
// zero bytes, then the footer if the tag has one.
struct TTagImage {
  std::string head;
  int64_t padding = 0;
  std::string footer;

  int64_t Length() const { return static_cast<int64_t>(head.size() + footer.size()) + padding; }
  void WriteTo(TStream& stream) const;
};

class TID3Tag;

// A tag's frames rendered once, in the layout of one version, and laid out with the header,
// extended header (its CRC and padding size) and unsynchronisation for any padding asked.
class TTagLayout {
 public:
  // The layout of `tag` with its frames as `frames` holds them rendered (see TID3Tag::Layout).
  TTagLayout(TID3Tag& tag, std::string frames) : FTag(tag), FFrames(std::move(frames)) {}
  // The image with `padding` zero bytes after the frames; raises when the tag would be larger
  // than a header can count.
  TTagImage Image(int64_t padding) const;
  // `image` (of this layout, shorter than `extent`) with its padding grown to take exactly
  // `extent` bytes; nullopt where no padding does.
  std::optional<TTagImage> Fill(const TTagImage& image, int64_t extent) const;

 private:
  TID3Tag& FTag;
  std::string FFrames;
};

// An ID3v2 tag in memory: its header (with the extended header), its frames and the padding
// after them. It knows nothing of files: whoever reads a tag hands it the tag's bytes, whoever
// writes one takes its frames' bytes; hooks for encrypted frames come with each call.
class TID3Tag {
 public:
  TID3Tag();
  ~TID3Tag();
  TID3Tag(const TID3Tag&) = delete;
  TID3Tag& operator=(const TID3Tag&) = delete;

  TID3Header& Header() { return FHeader; }
  const TID3Header& Header() const { return FHeader; }
  TID3Frames& Frames() { return FFrames; }
  const TID3Frames& Frames() const { return FFrames; }

  // The zero bytes after the frames. Padding set here is the caller's choice, which a write
  // keeps; the padding the tag has where it is stored gives way when the frames grow.
  int64_t Padding() const { return FPadding; }
  // Stores 0 for a negative value or when the header has a footer; marks the padding chosen.
  void SetPadding(int64_t value);
  bool PaddingChosen() const { return FPaddingChosen; }
  void SetPaddingChosen(bool value) { FPaddingChosen = value; }
  // Records the padding the tag has where it is stored, as given; PaddingChosen stays as it is.
  void RecordPadding(int64_t value) { FPadding = value; }
  // Empties header and frames; no padding, none chosen.
  void Clear();

  // Replaces the frames by those of a tag body held in memory (after the extended header,
  // unsynchronisation of the whole tag undone), in the frame layout of the header's version.
  // `owner` keeps the bytes alive: payloads stay views of them until changed. `onDecrypt`, when
  // set, decrypts encrypted frames. Padding is left to the caller, who knows where the body
  // ends in what it was read from.
  TID3Frames::TParseResult ParseFrames(std::shared_ptr<const void> owner, std::string_view bytes,
                                       const TID3EngineFrameNotify& onDecrypt = {});
  // Appends every frame, serialised in the frame layout of the header's version, at the
  // stream's position; `onEncrypt`, when set, encrypts the frames flagged for it.
  void WriteFrames(TStream& stream, const TID3EngineFrameNotify& onEncrypt = {}) const;

  // The tag made ready to be written as ID3v2.`version` (3 or 4; a change of version sets the
  // revision to 0): its frames rendered once, `onEncrypt` encrypting those flagged for it.
  TTagLayout Layout(uint8_t version, const TID3EngineFrameNotify& onEncrypt = {});
  // The tag's bytes as ID3v2.`version`, with `padding` zero bytes after the frames.
  TTagImage Render(uint8_t version, int64_t padding, const TID3EngineFrameNotify& onEncrypt = {});

  // --- frame content ---
  // Texts come in two forms. The ...Utf8 accessors, and the ...Utf8 members of comments,
  // pictures, links and user texts, hold a text in full as UTF-8, whatever its script: a
  // program should use these. The plain ones hold ISO-8859-1 bytes, '?' for every character
  // outside it. Indexes count the frames of the kind, 0-based in collection order; a getter
  // gives false when there is no such frame. The engine's accessors of the same names hand the
  // work to these while its file is open.
  int FrameCount(std::string_view id) const;
  // The text of the first frame with the ID; setting UTF-8 writes ISO-8859-1 when every
  // character fits, else UTF-8 in an ID3v2.4 tag and UTF-16 with a byte-order mark in older
  // ones (see EncodingForText); setting ISO-8859-1 bytes writes them as they are, encoding 0.
  std::string GetFrameTextUtf8(std::string_view id) const;
  void SetFrameTextUtf8(std::string_view id, const std::string& utf8);
  std::string GetFrameText(std::string_view id) const;
  void SetFrameText(std::string_view id, const std::string& text);
  // Comments (COMM); adding one returns its index.
  bool GetComment(int index, TID3Comment& comment) const;
  int AddCommentUtf8(const std::string& description, const std::string& text,
                     const std::string& language);
  int AddComment(const std::string& description, const std::string& text,
                 const std::string& language);
  // Pictures (APIC): the bytes replace the content of `data`, or `bytes` views the frame's
  // payload, valid until the frames change.
  bool GetPicture(int index, TStream& data, TID3Picture& picture) const;
  bool GetPicture(int index, TID3Picture& picture, std::string_view& bytes) const;
  // The picture and how many bytes it holds, reading none of a payload not yet read.
  bool GetPictureInfo(int index, TID3Picture& picture, int64_t& size) const;
  // User-defined links (WXXX) and texts (TXXX), unsynchronised lyrics (USLT, laid out as a
  // comment).
  bool GetURL(int index, TID3Url& url) const;
  bool GetUserText(int index, TID3UserText& text) const;
  bool GetLyrics(int index, TID3Comment& lyrics) const;

  // The tag fields in full as UTF-8.
  std::string AlbumUtf8() const { return GetFrameTextUtf8("TALB"); }
  void SetAlbumUtf8(const std::string& v) { SetFrameTextUtf8("TALB", v); }
  std::string ArtistUtf8() const { return GetFrameTextUtf8("TPE1"); }
  void SetArtistUtf8(const std::string& v) { SetFrameTextUtf8("TPE1", v); }
  std::string EncodedByUtf8() const { return GetFrameTextUtf8("TENC"); }
  void SetEncodedByUtf8(const std::string& v) { SetFrameTextUtf8("TENC", v); }
  std::string GenreUtf8() const { return GetFrameTextUtf8("TIT1"); }
  void SetGenreUtf8(const std::string& v) { SetFrameTextUtf8("TIT1", v); }
  std::string SubTitleUtf8() const { return GetFrameTextUtf8("TIT3"); }
  void SetSubTitleUtf8(const std::string& v) { SetFrameTextUtf8("TIT3", v); }
  std::string TitleUtf8() const { return GetFrameTextUtf8("TIT2"); }
  void SetTitleUtf8(const std::string& v) { SetFrameTextUtf8("TIT2", v); }
  std::string TrackUtf8() const { return GetFrameTextUtf8("TRCK"); }
  void SetTrackUtf8(const std::string& v) { SetFrameTextUtf8("TRCK", v); }
  std::string YearUtf8() const { return GetFrameTextUtf8("TYER"); }
  void SetYearUtf8(const std::string& v) { SetFrameTextUtf8("TYER", v); }

 private:
  TID3Header FHeader;
  TID3Frames FFrames;
  int64_t FPadding = 0;
  bool FPaddingChosen = false;
};

}  // namespace tagscope
