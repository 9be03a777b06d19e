#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tagscope::test {

// ID3v2.3 frames as bytes: a 10-byte frame header and the payload.
std::string Frame(const std::string& id, const std::string& payload);
std::string TextFrame(const std::string& id, const std::string& text);
std::string CommentFrame(const std::string& language, const std::string& description,
                         const std::string& text);
std::string PictureFrame(const std::string& mimeType, uint8_t pictureType,
                         const std::string& description, const std::string& data);
std::string UrlFrame(const std::string& description, const std::string& url);
// Frames the "Details" page lists: chapters, a table of contents, lyrics both kinds, a rating,
// a play count, a user text and owner data.
std::string ChapterFrame(const std::string& id, uint32_t startMs, uint32_t endMs,
                         const std::string& title);
std::string SyncLyricsFrame(const std::vector<std::pair<std::string, uint32_t>>& lines);
// A file with a tag of those frames besides a title and a comment, audio and an ID3v1 trailer.
std::string DetailedMp3(const std::string& title);
// An ID3v2.3 tag holding the frames, followed by some padding.
std::string Tag(const std::vector<std::string>& frames);

struct TrailerFields {
  std::string Title, Artist, Album, Year, Comment;
  uint8_t Track = 0;
  uint8_t Genre = 255;
};
// A 128-byte ID3v1 trailer.
std::string Trailer(const TrailerFields& fields);
// Some bytes standing in for MPEG audio.
std::string Audio();

// A 16 x 16 Windows bitmap of 24 bits per pixel: 822 bytes.
std::string Bitmap16x16();
// A 1 x 1 GIF picture: 35 bytes.
std::string Gif1x1();

// A file in the temporary folder, deleted when this goes.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};

}  // namespace tagscope::test
