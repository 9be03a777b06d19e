// The 128-byte ID3v1 trailer at the end of a file, imported into frames and written from them.
#include <algorithm>
#include <array>
#include <cstring>

#include "engine/file/file_replace.h"
#include "engine/file/tag_file.h"
#include "engine/tag/id3_layout.h"
#include "engine/text/number_text.h"
#include "engine/tag/stream_helpers.h"
#include "engine/tag/tag_writer.h"
#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

using namespace id3;
constexpr int64_t kTrailerSize = TrailerSize;
using TTrailer = std::array<char, kTrailerSize>;

void PutField(TTrailer& t, size_t offset, size_t width, const std::string& text) {
  std::memcpy(t.data() + offset, text.data(), std::min(width, text.size()));
}

// Reads the last 128 bytes; false when the file is too short to hold them.
bool ReadTrailer(TStream& stream, TTrailer& trailer) {
  trailer.fill('\0');
  const int64_t size = stream.Size();
  if (size < kTrailerSize) return false;
  return stream.ReadAt(size - kTrailerSize, trailer.data(), kTrailerSize) == kTrailerSize;
}

bool IsTrailer(const TTrailer& t) {
  return std::memcmp(t.data(), "TAG", 3) == 0;
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

}  // namespace

void TID3Engine::LoadID3V1() {
  if (!Active()) return;
  const std::optional<TID3v1Trailer> t = ReadID3V1Trailer();
  if (!t) return;
  FTag.SetFrameText("TALB", t->album);
  FTag.SetFrameText("TPE1", t->artist);
  FTag.SetFrameText("TIT2", t->title);
  FTag.SetFrameText("TYER", t->year);
  FTag.AddComment("MAIN", t->comment, "ENG");
  if (t->trackByte) FTag.SetFrameText("TRCK", std::to_string(t->track));
  // The genre goes where every reader looks for it, the content type, as the reference "(17)"
  // that all of them resolve; the viewer shows it as "(17) Rock" while the tag has no content
  // group (TIT1).
  if (const auto listed = TGenre::FromNumber(t->genre))
    FTag.SetFrameText("TCON", "(" + std::to_string(listed->Number()) + ")");
  FTag.Header().SetExtendedHeaderPresent(true);
  FTag.Header().ExtendedHeader().SetTagIsAnUpdate(true);
  FTag.RecordPadding(250);  // the padding a later write appends
  FID3V1Imported = true;
}

namespace {

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

void TID3Engine::SettleID3V1Import() {
  if (!FID3V1Imported) return;
  FID3V1Imported = false;
  const uint8_t version = FTag.Header().VersionNumber();
  const bool plainComment = HasPlainComment(FTag);
  TID3Frames& frames = FTag.Frames();
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    bool drop = IsEmptyField(item);
    if (item.HasID("COMM") && !item.Encrypted()) {
      const TID3Comment c = ParseComment(item.Payload());
      if (IsImportedComment(c)) {
        drop = c.Text.empty() || plainComment;
        if (!drop) {
          item.Data().SetBytes(BuildCommentUtf8("", c.TextUtf8, "eng", version));
          item.Data().SetPosition(0);
        }
      }
    }
    if (drop)
      frames.Delete(i);
    else
      ++i;
  }
  // Version 4 has the year in the recording time; one an edit set there already wins.
  if (version < 4) return;
  if (FTag.FrameCount("TDRC") > 0)
    DeleteFrames(FTag, "TYER");
  else if (TID3Frames_Item* year = frames.FindFrame("TYER"))
    year->SetName("TDRC");
}

std::optional<TFileRange> TID3Engine::ID3V1Range() {
  if (!Active()) return std::nullopt;
  TTrailer t;
  const int64_t size = FStream->Size();
  // As when a trailer is written: the end of the ID3v2 tag is not taken for a trailer.
  if (!ReadTrailer(*FStream, t) || !IsTrailer(t) ||
      size - kTrailerSize < FPlace.offset + FPlace.size)
    return std::nullopt;
  return TFileRange{size - kTrailerSize, kTrailerSize};
}

bool TID3Engine::RemoveID3V1() {
  if (!Active()) return false;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  const std::optional<TFileRange> trailer = ID3V1Range();
  if (!trailer) return false;
  Writer().CheckContent("remove the ID3v1 trailer of");
  FFile->CutEnd(trailer->Offset);
  return true;
}

void TID3Engine::SaveID3V1() {
  if (!Active()) return;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  Writer().CheckContent("write an ID3v1 trailer to");
  // Under a journal beside the file, as every change in place: whatever fails, and wherever
  // the process stops, the file ends with its old trailer or its new one.
  const int64_t tagEnd = FPlace.offset + FPlace.size;
  try {
    // Where no journal can be made beside the file, a new file is written beside it instead,
    // which needs none.
    if (!FFile->ChangeInPlace([&](TStream& file) { WriteID3V1To(file, tagEnd); }))
      FFile->Replace([&](TStream& out) {
        CopyContent(*FStream, out, FStream->Size());
        WriteID3V1To(out, tagEnd);
      });
  } catch (const std::exception& e) {
    throw EWriteError(
        Format("Cannot write the ID3v1 trailer of \"%s\". %s", FFileName.c_str(), e.what()));
  }
  FFile->RaiseNotDurable();
}

void TID3Engine::WriteID3V1To(TStream& file, int64_t tagEnd) {
  if (!Active()) return;
  TTrailer old;
  const int64_t size = file.Size();
  // Bytes of the ID3v2 tag are never taken for an old trailer, in a file that ends in its tag.
  const bool replace = ReadTrailer(file, old) && IsTrailer(old) && size - kTrailerSize >= tagEnd;
  TTrailer t{};
  PutField(t, V1AlbumOffset, V1AlbumWidth, Album());
  PutField(t, V1ArtistOffset, V1ArtistWidth, Artist());
  PutField(t, V1TitleOffset, V1TitleWidth, Title());
  // The year and genre that readers of the tag are shown, the frames other tools write
  // included.
  PutField(t, V1YearOffset, V1YearWidth, Utf8ToLatin1(ShownYear(*this)));
  t[V1TrackOffset] = static_cast<char>(TrackByte(Track()));
  // The first comment: 28 bytes beside a track number, which byte 125 (zero) announces; 29
  // without one. Not 30: readers that take any byte 126 but zero for a track would show the
  // 30th character as one.
  TID3Comment comment;
  if (FTag.GetComment(0, comment))
    PutField(t, V1CommentOffset, t[V1TrackOffset] != 0 ? V1CommentWidth - 1 : V1CommentWidth,
             Utf8ToLatin1(comment.TextUtf8));
  t[V1GenreOffset] = static_cast<char>(GenreByte(ShownGenre(*this)));
  std::memcpy(t.data(), "TAG", 3);
  // A file too short for a trailer gets one appended; nothing is written before its start.
  file.SetPosition(replace ? size - kTrailerSize : size);
  file.WriteBuffer(t.data(), kTrailerSize);
}

}  // namespace tagscope
