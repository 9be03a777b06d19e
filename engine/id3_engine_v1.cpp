// The 128-byte ID3v1 trailer at the end of a file, imported into frames and written from them.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "engine/id3_layout.h"
#include "engine/number_text.h"
#include "engine/stream_helpers.h"
#include "engine/tag_writer.h"
#include "engine/undo_stream.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/id3_lists.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

using namespace id3;
constexpr int64_t kTrailerSize = TrailerSize;
using TTrailer = std::array<char, kTrailerSize>;

std::string Field(const TTrailer& t, size_t offset, size_t width) {
  const std::string_view raw(t.data() + offset, width);
  return TrimControl(raw.substr(0, raw.find('\0')));
}

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

// The genre number of a text such as "(17) Rock": what stands between its parentheses.
uint8_t GenreByte(const std::string& genre) {
  const size_t open = genre.find('('), close = genre.find(')');
  std::string number = "0";
  if (open != std::string::npos && close != std::string::npos)
    number = close > open ? genre.substr(open + 1, close - open - 1) : std::string();
  return static_cast<uint8_t>(StrToIntDef(number, 0));
}

// A content type (TCON) as a genre text that GenreByte reads: a reference such as "(17)" stays,
// a name of the genre list ("Rock", any case) becomes its entry, any other name "(255)", the
// trailer's "no genre from the list".
std::string ContentTypeGenre(const std::string& contentType) {
  if (contentType.empty() ||
      (contentType.find('(') != std::string::npos && contentType.find(')') != std::string::npos))
    return contentType;
  auto lower = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
  };
  for (const std::string& entry : Genres())
    if (lower(entry.substr(entry.find(' ') + 1)) == lower(contentType)) return entry;
  return "(255)";
}

}  // namespace

void TID3Engine::LoadID3V1() {
  if (!Active()) return;
  TTrailer t;
  if (!ReadTrailer(*FStream, t) || !IsTrailer(t)) return;
  SetAlbum(Field(t, V1AlbumOffset, V1AlbumWidth));
  SetArtist(Field(t, V1ArtistOffset, V1ArtistWidth));
  SetTitle(Field(t, V1TitleOffset, V1TitleWidth));
  SetYear(Field(t, V1YearOffset, V1YearWidth));
  AddComment("MAIN", Field(t, V1CommentOffset, V1CommentWidth), "ENG");
  SetTrack(std::to_string(static_cast<uint8_t>(t[V1TrackOffset])));
  const auto genre = static_cast<uint8_t>(t[V1GenreOffset]);
  if (genre < Genres().size()) SetGenre(Genres()[genre]);
  FHeader->SetExtendedHeaderPresent(true);
  FHeader->ExtendedHeader().SetTagIsAnUpdate(true);
  FPadding = 250;  // the padding a later write appends
}

bool TID3Engine::RemoveID3V1() {
  if (!Active()) return false;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  TTrailer t;
  const int64_t size = FStream->Size();
  // As when a trailer is written: the end of the ID3v2 tag is not taken for a trailer.
  if (!ReadTrailer(*FStream, t) || !IsTrailer(t) || size - kTrailerSize < FTagOffset + FTagSize)
    return false;
  TUndoStream journal(*FStream);
  journal.ChangeOrRollBack(
      [&] {
        journal.SetSize(size - kTrailerSize);
        journal.Flush();
      },
      "bytes");
  return true;
}

void TID3Engine::SaveID3V1() {
  if (!Active()) return;
  // A write that fails part way would leave a damaged trailer, or a piece of one behind the
  // audio: the bytes it covers and the file's size are kept and put back.
  TUndoStream journal(*FStream);
  journal.ChangeOrRollBack([&] { WriteID3V1To(journal, FTagOffset + FTagSize); }, "bytes");
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
  // The year frame, else the year of the recording time that ID3v2.4 tags keep instead.
  PutField(t, V1YearOffset, V1YearWidth,
           Year().empty() ? GetFrameText("TDRC").substr(0, V1YearWidth) : Year());
  t[V1TrackOffset] = static_cast<char>(StrToIntDef(Track(), 0));
  // The content group (the engine's Genre), else the content type that other tools write.
  t[V1GenreOffset] = static_cast<char>(
      GenreByte(Genre().empty() ? ContentTypeGenre(GetFrameText("TCON")) : Genre()));
  std::memcpy(t.data(), "TAG", 3);
  // A file too short for a trailer gets one appended; nothing is written before its start.
  file.SetPosition(replace ? size - kTrailerSize : size);
  file.WriteBuffer(t.data(), kTrailerSize);
}

}  // namespace tagscope
