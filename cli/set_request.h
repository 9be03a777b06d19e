#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/set_from_json.h"
#include "tagscope/engine/file_naming.h"
#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/timed_frames.h"

namespace tagscope::cli {

// What `tagscope set` is asked to do, checked before the file is opened. Texts are UTF-8, URLs
// ISO-8859-1 as link frames store them.
struct TSetRequest {
  using TPairs = std::vector<std::pair<std::string, std::string>>;
  struct TComment {
    std::string description, text, language = "eng";
  };
  struct TRating {
    std::string email;  // ISO-8859-1
    uint8_t rating = 0;
    std::optional<uint64_t> count;
  };
  struct TLyrics {
    std::string language = "eng", description, text;
  };
  struct TPicture {
    TID3Picture picture;
    std::string data;
  };

  uint8_t version = 0;                 // 3 or 4 to change the written version, 0 to keep it
  std::vector<std::string> deletions;  // frame IDs whose frames all go
  std::vector<int> pictureDeletions;   // picture types whose pictures go; -1 for all
  TPairs texts;                        // text frame ID, text
  std::vector<std::pair<std::string, std::vector<std::string>>> textLists;  // ID, its values
  std::vector<TRating> ratings;
  std::vector<TLyrics> lyrics;
  std::optional<std::string> year;  // the frame it goes into depends on the version
  std::vector<TComment> comments;
  TPairs userTexts, userUrls;  // description, value (empty: remove)
  TPairs links;                // link frame ID, URL
  std::vector<TPicture> pictures;
  std::optional<int64_t> padding;
  // Frames of any ID, any kind.
  std::optional<TJsonTag> fromJson;  // the frames that replace the tag's, first of all
  std::vector<std::pair<std::string, std::vector<std::string>>> frameTexts;  // ID, its values
  TPairs uniqueIds;  // owner (ISO-8859-1), identifier (empty: remove)
  std::optional<uint64_t> playCount;
  std::vector<std::pair<std::string, int>> volumes;  // identification, 1/512 dB
  // Chapters: the list's text and name, read again for each file's audio length; or removed.
  std::optional<std::string> chapterList;
  std::string chapterListName;
  bool deleteChapters = false;
  // Synchronised lyrics and the language they are in.
  std::vector<TSyncedLine> syncedLyrics;
  std::string syncedLanguage = "eng";
  bool footer = false;
  bool v1 = false;
  bool dryRun = false;
  bool force = false;  // frames the tag's version has no form for are written all the same
  std::optional<TNameFormat> fromName;  // fields from the file's name
};

// An argument, which must be UTF-8; `what` names it in the error raised otherwise.
std::string CheckedUtf8(const std::string& utf8, const std::string& what);
// A UTF-8 argument in ISO-8859-1, for the fields that store nothing else (URLs, emails, owners,
// identifications); the error for other characters tells how a link writes them (`link`).
std::string ToLatin1(const std::string& utf8, const std::string& what, bool link = false);

// The value of an option, or with `fromFile` and a value "@FILE" the content of that file
// (UTF-8, a byte-order mark and one final line break dropped); "@@..." stands for "@...".
std::string OptionValue(const std::string& value, bool fromFile, const std::string& what);

// The text of a JSON file, or of standard input for "-".
std::string JsonArgument(const std::string& fileName);
// The content of a text file named on the command line (a chapter list, lyrics); `what` names it
// in errors.
std::string TextFileArgument(const std::string& fileName, const char* what);

// A picture argument FILE[:TYPE[:DESCRIPTION]]: the file's bytes, the MIME type its content
// shows, the type (a number 0-20 or a name such as front; front cover when not given).
TSetRequest::TPicture PictureArgument(const std::string& argument);
// A picture type as a number 0-20 or a name; -1 for "all" when allowed.
int PictureTypeArgument(const std::string& text, bool allowAll);
// The MIME type of a picture by its first bytes, or "" when it is no picture format known here.
std::string PictureMimeType(const std::string& bytes);

}  // namespace tagscope::cli
