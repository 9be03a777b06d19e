// The ID3v1 trailer: read from its 128 bytes, made from a tag's frames, imported into them.
#include "tagscope/engine/id3v1_trailer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/frames/stream_helpers.h"
#include "engine/text/number_text.h"
#include "engine/trailers/id3v1_tag.h"
#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/text_repair.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

using namespace id3;

void PutField(std::string& t, size_t offset, size_t width, const std::string& text) {
  std::memcpy(t.data() + offset, text.data(), std::min(width, text.size()));
}

// The genre byte's "no genre": readers show nothing for it, where 0 would be "Blues".
constexpr uint8_t kNoGenre = 255;

// The genre byte for a genre text: the number of a reference such as "(17)" in "(17) Rock", or
// of a content type that is just the number ("17", as ID3v2.4 allows), when it fits the byte;
// else the genre the text names ("Rock", "hip-hop"); else no genre.
uint8_t GenreByte(std::string_view genre) {
  if (const auto reference = FindGenreReference(genre))
    return reference->Number <= 0xFF ? static_cast<uint8_t>(reference->Number) : kNoGenre;
  if (!genre.empty() && genre.size() <= 3 &&
      genre.find_first_not_of("0123456789") == std::string_view::npos) {
    int number = 0;
    for (const char c : genre) number = number * 10 + (c - '0');
    return number <= 0xFF ? static_cast<uint8_t>(number) : kNoGenre;
  }
  const auto named = TGenre::FromName(genre);
  return named ? static_cast<uint8_t>(named->Number()) : kNoGenre;
}

// The track byte: the track number, also of a text "3/12" (track 3 of 12), read as the run-time
// library reads integers. 0, "no track", when there is none or it does not fit the byte.
uint8_t TrackByte(const std::string& track) {
  const int32_t number = StrToIntDef(std::string_view(track).substr(0, track.find('/')), 0);
  return number >= 0 && number <= 0xFF ? static_cast<uint8_t>(number) : 0;
}

bool IsImportedComment(const TID3Comment& c) {
  return c.Language == "ENG" && c.Description == "MAIN";
}

// Whether the tag holds a comment in "eng" without a description beside the import's: an edit
// set it, and it stands for the trailer's comment now.
bool HasPlainComment(const TID3Tag& tag) {
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("COMM") || item.Encrypted()) continue;
    const TID3Comment c = ParseComment(item.Payload());
    if (SameTextAscii(c.Language, "eng") && c.Description.empty()) return true;
  }
  return false;
}

// A frame of the import that carries nothing: an empty field, the track byte's "no track".
bool IsEmptyField(const TID3Frames_Item& item) {
  static constexpr std::string_view kFields[] = {"TALB", "TPE1", "TIT2", "TYER", "TRCK"};
  const std::string id = item.Name();
  if (std::find(std::begin(kFields), std::end(kFields), id) == std::end(kFields)) return false;
  const std::string text = item.AsTextUtf8();
  return text.empty() || (id == "TRCK" && text == "0");
}

}  // namespace

std::optional<TID3v1Trailer> ParseID3v1Trailer(std::string_view t) {
  using namespace id3;
  if (t.size() != static_cast<size_t>(TrailerSize) || t.substr(0, 3) != "TAG") return std::nullopt;
  auto field = [&](size_t offset, size_t width) {
    const std::string_view raw = t.substr(offset, width);
    return TrimControl(raw.substr(0, raw.find('\0')));
  };
  TID3v1Trailer trailer;
  trailer.title = field(V1TitleOffset, V1TitleWidth);
  trailer.artist = field(V1ArtistOffset, V1ArtistWidth);
  trailer.album = field(V1AlbumOffset, V1AlbumWidth);
  trailer.year = field(V1YearOffset, V1YearWidth);
  // A comment that runs into byte 125 is one of the older trailers without a track: byte 126
  // is its last character, not a track number.
  const bool hasTrack = t[V1TrackOffset - 1] == '\0';
  trailer.comment = field(V1CommentOffset, V1CommentWidth + (hasTrack ? 0 : 1));
  trailer.trackByte = hasTrack;
  if (hasTrack) trailer.track = static_cast<uint8_t>(t[V1TrackOffset]);
  trailer.genre = static_cast<uint8_t>(t[V1GenreOffset]);
  return trailer;
}

std::vector<TLooseText> ID3v1LooseTexts(std::string_view last128) {
  std::vector<TLooseText> texts;
  const std::optional<TID3v1Trailer> t = ParseID3v1Trailer(last128);
  if (!t) return texts;
  for (const auto& [name, text] : {std::pair{"ID3v1 title", &t->title},
                                   {"ID3v1 artist", &t->artist},
                                   {"ID3v1 album", &t->album},
                                   {"ID3v1 comment", &t->comment}})
    if (!text->empty()) texts.push_back({name, *text});
  return texts;
}

std::string RenderID3v1(const TID3Tag& tag) {
  std::string t(TrailerSize, '\0');
  std::memcpy(t.data(), "TAG", 3);
  PutField(t, V1AlbumOffset, V1AlbumWidth, tag.GetFrameText("TALB"));
  PutField(t, V1ArtistOffset, V1ArtistWidth, tag.GetFrameText("TPE1"));
  PutField(t, V1TitleOffset, V1TitleWidth, tag.GetFrameText("TIT2"));
  // The year and genre that readers of the tag are shown, the frames other tools write
  // included.
  PutField(t, V1YearOffset, V1YearWidth, Utf8ToLatin1(ShownYear(tag)));
  t[V1TrackOffset] = static_cast<char>(TrackByte(tag.GetFrameText("TRCK")));
  // The first comment: 28 bytes beside a track number, which byte 125 (zero) announces; 29
  // without one. Not 30: readers that take any byte 126 but zero for a track would show the
  // 30th character as one.
  TID3Comment comment;
  if (tag.GetComment(0, comment))
    PutField(t, V1CommentOffset, t[V1TrackOffset] != 0 ? V1CommentWidth - 1 : V1CommentWidth,
             Utf8ToLatin1(comment.TextUtf8));
  t[V1GenreOffset] = static_cast<char>(GenreByte(ShownGenre(tag)));
  return t;
}

void ImportID3v1(const TID3v1Trailer& t, TID3Tag& tag) {
  tag.SetFrameText("TALB", t.album);
  tag.SetFrameText("TPE1", t.artist);
  tag.SetFrameText("TIT2", t.title);
  tag.SetFrameText("TYER", t.year);
  tag.AddComment("MAIN", t.comment, "ENG");
  if (t.trackByte) tag.SetFrameText("TRCK", std::to_string(t.track));
  // The genre goes where every reader looks for it, the content type, as the reference "(17)"
  // that all of them resolve; the viewer shows it as "(17) Rock" while the tag has no content
  // group (TIT1).
  if (const auto listed = TGenre::FromNumber(t.genre))
    tag.SetFrameText("TCON", "(" + std::to_string(listed->Number()) + ")");
  tag.Header().SetExtendedHeaderPresent(true);
  tag.Header().ExtendedHeader().SetTagIsAnUpdate(true);
  tag.RecordPadding(250);  // the padding a later write appends
}

void SettleID3v1Import(TID3Tag& tag) {
  const uint8_t version = tag.Header().VersionNumber();
  const bool plainComment = HasPlainComment(tag);
  TID3Frames& frames = tag.Frames();
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    bool drop = IsEmptyField(item);
    if (item.HasID("COMM") && !item.Encrypted()) {
      const TID3Comment c = ParseComment(item.Payload());
      if (IsImportedComment(c)) {
        drop = c.Text.empty() || plainComment;
        if (!drop) item.SetPayload(BuildCommentUtf8("", c.TextUtf8, "eng", version));
      }
    }
    if (drop)
      frames.Delete(i);
    else
      ++i;
  }
  // Version 4 has the year in the recording time; one an edit set there already wins.
  if (version < 4) return;
  if (tag.FrameCount("TDRC") > 0)
    DeleteFrames(tag, "TYER");
  else if (TID3Frames_Item* year = frames.FindFrame("TYER"))
    year->SetName("TDRC");
}

bool HoldsID3v1(std::string_view last128, int64_t size, int64_t tagEnd) {
  // Bytes of the ID3v2 tag are never taken for a trailer, in a file that ends in its tag.
  return last128.size() == static_cast<size_t>(TrailerSize) && last128.substr(0, 3) == "TAG" &&
         size - TrailerSize >= tagEnd;
}

void PutID3v1(TStream& file, int64_t tagEnd, const std::string& trailer) {
  const int64_t size = file.Size();
  std::string last(TrailerSize, '\0');
  const bool replace = size >= TrailerSize &&
                       file.ReadAt(size - TrailerSize, last.data(), TrailerSize) == TrailerSize &&
                       HoldsID3v1(last, size, tagEnd);
  // A file too short for a trailer gets one appended; nothing is written before its start.
  file.SetPosition(replace ? size - TrailerSize : size);
  file.WriteBuffer(trailer.data(), TrailerSize);
}

}  // namespace tagscope
