#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

class TID3Tag;

// Names files from their tags and tags from their file names, through a format such as
// "%{artist}/%{album}/%{track:02} %{title}". A "/" in the format stands for a folder; "%%" for
// a "%". The fields are the ones below; "%{track:02}" (or disc, year) pads a number with zeros
// to two digits.

enum class TNameField {
  nfArtist,
  nfAlbumArtist,
  nfAlbum,
  nfTitle,
  nfTrack,
  nfDisc,
  nfYear,
  nfGenre
};

// The name of a field as a format writes it ("albumartist").
std::string_view NameFieldName(TNameField field);

// Values of fields, UTF-8. A field missing or empty: the tag has no value for it.
using TNameValues = std::map<TNameField, std::string>;

// The values a tag holds: artist (TPE1), album artist (TPE2), album (TALB), title (TIT2), track
// and disc (TRCK, TPOS) without the count after their "/", the year as a reader is shown it,
// and the genre (TCON) by name, its references resolved ("(17)" is "Rock"). Of a text with
// several values, the values joined with ", ".
TNameValues TagNameValues(const TID3Tag& tag);

// The longest name of one folder or file that file systems take: 255 bytes (UTF-8).
constexpr size_t kMaxNameBytes = 255;

// A value made fit to stand inside a name: "/" and "\", the characters Windows forbids in names
// (: * ? " < > |) and control characters each become "_".
std::string SafeNameText(std::string_view value);
// One folder or file name made fit for every file system: trailing dots and blanks of a name
// without extension become "_" (Windows drops them), a name that Windows keeps for a device (CON,
// NUL, COM1, ...), alone or before a ".", gets a "_" after it, and the name is cut to `maxBytes` on
// a character boundary, the extension (".mp3", kept whole) included.
std::string SafeNameComponent(std::string_view stem, std::string_view extension,
                              size_t maxBytes = kMaxNameBytes);

// The extension of a file name (".mp3"), or "" when it has none: what follows its last ".",
// when that is not the name's first character, up to 16 bytes of letters and digits.
std::string NameExtension(std::string_view fileName);

class TNameFormat {
 public:
  struct TPart {
    bool isField = false;
    TNameField field = TNameField::nfArtist;
    int width = 0;     // a number padded with zeros to this many digits (0: as it is)
    std::string text;  // the literal text of a part that is no field ("/" between folders)
  };

  // Raises EConvertError, saying what is wrong, for a format that is empty or longer than 4096
  // bytes, names an unknown
  // field, has an empty folder name, "." or "..", starts with "/", or holds a character that
  // Windows forbids in names in its own text.
  explicit TNameFormat(std::string_view format);

  const std::vector<TPart>& Parts() const { return FParts; }
  // How many folders deep the names it makes are: the number of "/" in the format.
  size_t Depth() const { return FDepth; }

  // The path, relative to the file's folder and "/" between its parts, that the values give;
  // `extension` (NameExtension of the old name) ends it. Every part is made safe and cut as
  // SafeNameComponent makes and cuts it. Raises EConvertError naming the fields the values lack.
  std::string Expand(const TNameValues& values, std::string_view extension) const;

  // The values that a name gives: `name` holds the last Depth() + 1 parts of a path, "/"
  // between them, without its extension. Each field takes at least one character, as few as
  // let the rest match; track, disc and year take digits only (leading zeros of track and disc
  // dropped). None when the name does not match.
  std::optional<TNameValues> Match(std::string_view name) const;

 private:
  std::vector<TPart> FParts;
  size_t FDepth = 0;
};

}  // namespace tagscope
