// Moving the items of an APE tag into an ID3v2 tag.
#include <algorithm>

#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// APE keys (compared without case) and the text frames they go to.
constexpr std::pair<const char*, const char*> kTextFrames[] = {
    {"Title", "TIT2"},       {"Subtitle", "TIT3"},  {"Artist", "TPE1"}, {"Album Artist", "TPE2"},
    {"AlbumArtist", "TPE2"}, {"Conductor", "TPE3"}, {"Album", "TALB"},  {"Composer", "TCOM"},
    {"Lyricist", "TEXT"},    {"Publisher", "TPUB"}, {"Label", "TPUB"},  {"Copyright", "TCOP"},
    {"Genre", "TCON"},       {"Track", "TRCK"},     {"Disc", "TPOS"},   {"ISRC", "TSRC"},
    {"Language", "TLAN"},    {"Media", "TMED"},     {"Mood", "TMOO"},   {"BPM", "TBPM"},
    {"Encoded By", "TENC"},  {"Grouping", "TIT1"}};

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string Joined(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& v : values) text += (text.empty() ? "" : "/") + v;
  return text;
}

// The MIME type of a cover by the file name stored before its bytes.
std::string MimeOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  const std::string ext =
      UpperAscii(std::string(dot == std::string_view::npos ? "" : name.substr(dot + 1)));
  if (ext == "PNG") return "image/png";
  if (ext == "GIF") return "image/gif";
  if (ext == "BMP") return "image/bmp";
  return "image/jpeg";
}

class TMover {
 public:
  TMover(TID3Tag& tag) : T(tag) {}

  void Text(const TApeItem& item, std::string id) {
    if (id == "TDRC" && T.Header().VersionNumber() < 4) id = "TYER";
    std::vector<std::string> values = item.Texts();
    for (std::string& v : values) v = SanitizeUtf8(v);
    const std::string shown = Joined(values);
    const std::string old = T.GetFrameTextUtf8(id);
    if (!old.empty()) {
      Note(item, id, shown, old != shown && old != values.front());
      return;
    }
    SetTextValues(T, id, values);
    Note(item, id, shown, false);
  }

  void UserText(const TApeItem& item, const std::string& description) {
    const std::string value = SanitizeUtf8(Joined(item.Texts()));
    TID3UserText u;
    for (int i = 0; T.GetUserText(i, u); ++i)
      if (SameTextAscii(u.DescriptionUtf8, description)) {
        Note(item, "TXXX:" + u.DescriptionUtf8, value, u.TextUtf8 != value);
        return;
      }
    SetUserText(T, description, value);
    Note(item, "TXXX:" + description, value, false);
  }

  void Comment(const TApeItem& item) {
    const std::string value = SanitizeUtf8(Joined(item.Texts()));
    TID3Comment c;
    for (int i = 0; T.GetComment(i, c); ++i)
      if (c.DescriptionUtf8.empty()) {
        Note(item, "COMM", value, c.TextUtf8 != value);
        return;
      }
    T.AddCommentUtf8("", value, "eng");
    Note(item, "COMM", value, false);
  }

  void Lyrics(const TApeItem& item) {
    const std::string value = SanitizeUtf8(item.Value);
    TID3Comment l;
    if (T.GetLyrics(0, l)) {
      Note(item, "USLT", value, l.TextUtf8 != value);
      return;
    }
    SetLyrics(T, "eng", "", value);
    Note(item, "USLT", value, false);
  }

  // A cover: the file name it came from, a zero byte, and the picture's bytes.
  bool Cover(const TApeItem& item, uint8_t type) {
    const size_t zero = item.Value.find('\0');
    if (zero == std::string::npos) return false;
    const std::string frame = "APIC:" + std::to_string(type);
    const std::string size = std::to_string(item.Value.size() - zero - 1) + " bytes";
    TID3Picture p;
    int64_t bytes = 0;
    for (int i = 0; T.GetPictureInfo(i, p, bytes); ++i)
      if (p.PictureType == type) {
        Note(item, frame, size, true);
        return true;
      }
    p = TID3Picture();
    p.MimeType = MimeOf(std::string_view(item.Value).substr(0, zero));
    p.PictureType = type;
    SetPicture(T, p, std::string_view(item.Value).substr(zero + 1));
    Note(item, frame, size, false);
    return true;
  }

  std::vector<TApeMove> Moves;

 private:
  void Note(const TApeItem& item, const std::string& frame, const std::string& value, bool kept) {
    Moves.push_back({item.Key, frame, value, kept});
  }

  TID3Tag& T;
};

}  // namespace

std::vector<TApeMove> MoveApeToId3(TID3Tag& tag, const TApeTag& ape,
                                   std::vector<std::string>& left) {
  TMover m(tag);
  for (const TApeItem& item : ape.Items) {
    if (!item.IsText()) {
      const bool front = SameTextAscii(item.Key, "Cover Art (Front)");
      const bool back = SameTextAscii(item.Key, "Cover Art (Back)");
      if (item.Kind() != TApeItemKind::akBinary || !(front || back) ||
          !m.Cover(item, front ? 3 : 4))
        left.push_back(item.Key);
      continue;
    }
    const auto text = std::find_if(std::begin(kTextFrames), std::end(kTextFrames),
                                   [&](const auto& p) { return SameTextAscii(p.first, item.Key); });
    if (text != std::end(kTextFrames))
      m.Text(item, text->second);
    else if (SameTextAscii(item.Key, "Year"))
      m.Text(item, "TDRC");
    else if (SameTextAscii(item.Key, "Comment"))
      m.Comment(item);
    else if (SameTextAscii(item.Key, "Lyrics"))
      m.Lyrics(item);
    else if (UpperAscii(item.Key).rfind("REPLAYGAIN_", 0) == 0)
      m.UserText(item, UpperAscii(item.Key));
    else
      m.UserText(item, item.Key);
  }
  return m.Moves;
}

}  // namespace tagscope
