// The one table of frame names: every ID a name is known for, and which of them the published
// frame-name list (FrameNames) holds.
#include "tagscope/engine/frame_names.h"

#include <algorithm>
#include <array>

#include "engine/frames/frame_id_key.h"
#include "tagscope/engine/id3_lists.h"
#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {

struct TFrameNameRow {
  std::string_view id;
  std::string_view name;
  bool listed;  // a row of the published list
};

// Sorted by ID, which is also the published list's order.
constexpr std::array kNames = {
    TFrameNameRow{"AENC", "Audio encryption", false},
    TFrameNameRow{"APIC", "Attached picture", false},
    TFrameNameRow{"ASPI", "Audio seek point index", false},
    TFrameNameRow{"CHAP", "Chapter", false},
    TFrameNameRow{"COMM", "Comments", true},
    TFrameNameRow{"COMR", "Commercial frame", false},
    TFrameNameRow{"CTOC", "Table of contents", false},
    TFrameNameRow{"ENCR", "Encryption method registration", false},
    TFrameNameRow{"EQU2", "Equalisation (2)", true},
    TFrameNameRow{"EQUA", "Equalisation", false},
    TFrameNameRow{"ETCO", "Event timing codes", true},
    TFrameNameRow{"GEOB", "General encapsulated object", true},
    TFrameNameRow{"GRID", "Group identification registration", false},
    TFrameNameRow{"GRP1", "Grouping", false},
    TFrameNameRow{"IPLS", "Involved people list", false},
    TFrameNameRow{"LINK", "Linked information", true},
    TFrameNameRow{"MCDI", "Music CD identifier", true},
    TFrameNameRow{"MLLT", "MPEG location lookup table", true},
    TFrameNameRow{"MVIN", "Movement number", false},
    TFrameNameRow{"MVNM", "Movement name", false},
    TFrameNameRow{"OWNE", "Ownership frame", false},
    TFrameNameRow{"PCNT", "Play counter", true},
    TFrameNameRow{"PCST", "Podcast", false},
    TFrameNameRow{"POPM", "Popularimeter", true},
    TFrameNameRow{"POSS", "Position synchronisation frame", false},
    TFrameNameRow{"PRIV", "Private frame", true},
    TFrameNameRow{"RBUF", "Recommended buffer size", true},
    TFrameNameRow{"RVA2", "Relative volume adjustment (2)", true},
    TFrameNameRow{"RVAD", "Relative volume adjustment", false},
    TFrameNameRow{"RVRB", "Reverb", true},
    TFrameNameRow{"SEEK", "Seek frame", false},
    TFrameNameRow{"SIGN", "Signature frame", true},
    TFrameNameRow{"SYLT", "Synchronised lyric/text", true},
    TFrameNameRow{"SYTC", "Synchronised tempo codes", true},
    TFrameNameRow{"TALB", "Album", true},
    TFrameNameRow{"TBPM", "BPM (beats per minute)", true},
    TFrameNameRow{"TCAT", "Podcast category", false},
    TFrameNameRow{"TCMP", "Compilation", false},
    TFrameNameRow{"TCOM", "Composer", true},
    TFrameNameRow{"TCON", "Content type", true},
    TFrameNameRow{"TCOP", "Copyright message", true},
    TFrameNameRow{"TDAT", "Date", false},
    TFrameNameRow{"TDEN", "Encoding time", true},
    TFrameNameRow{"TDES", "Podcast description", false},
    TFrameNameRow{"TDLY", "Playlist delay", true},
    TFrameNameRow{"TDOR", "Original release time", true},
    TFrameNameRow{"TDRC", "Recording time", true},
    TFrameNameRow{"TDRL", "Release time", true},
    TFrameNameRow{"TDTG", "Tagging time", true},
    TFrameNameRow{"TENC", "Encoded by", true},
    TFrameNameRow{"TEXT", "Lyricist/Text writer", true},
    TFrameNameRow{"TFLT", "File type", true},
    TFrameNameRow{"TGID", "Podcast identifier", false},
    TFrameNameRow{"TIME", "Time", false},
    TFrameNameRow{"TIPL", "Involved people list", true},
    TFrameNameRow{"TIT1", "Content group description", true},
    TFrameNameRow{"TIT2", "Title", true},
    TFrameNameRow{"TIT3", "Subtitle", true},
    TFrameNameRow{"TKEY", "Initial key", true},
    TFrameNameRow{"TKWD", "Podcast keywords", false},
    TFrameNameRow{"TLAN", "Language(s)", true},
    TFrameNameRow{"TLEN", "Length", true},
    TFrameNameRow{"TMCL", "Musician credits list", true},
    TFrameNameRow{"TMED", "Media type", true},
    TFrameNameRow{"TMOO", "Mood", true},
    TFrameNameRow{"TOAL", "Original album", true},
    TFrameNameRow{"TOFN", "Original filename", true},
    TFrameNameRow{"TOLY", "Original lyricist(s)/text writer(s)", true},
    TFrameNameRow{"TOPE", "Original artist(s)/performer(s)", true},
    TFrameNameRow{"TORY", "Original release year", false},
    TFrameNameRow{"TOWN", "File owner/licensee", true},
    TFrameNameRow{"TPE1", "Lead performer(s)/Soloist(s)", true},
    TFrameNameRow{"TPE2", "Band", true},
    TFrameNameRow{"TPE3", "Conductor/performer refinement", true},
    TFrameNameRow{"TPE4", "Interpreted, remixed, or otherwise modified by", true},
    TFrameNameRow{"TPOS", "Part of a set", true},
    TFrameNameRow{"TPRO", "Produced notice", true},
    TFrameNameRow{"TPUB", "Publisher", true},
    TFrameNameRow{"TRCK", "Track number/Position in set", true},
    TFrameNameRow{"TRDA", "Recording dates", false},
    TFrameNameRow{"TRSN", "Internet radio station name", true},
    TFrameNameRow{"TRSO", "Internet radio station owner", true},
    TFrameNameRow{"TSIZ", "Size", false},
    TFrameNameRow{"TSO2", "Album artist sort order", false},
    TFrameNameRow{"TSOA", "Album sort order", true},
    TFrameNameRow{"TSOC", "Composer sort order", false},
    TFrameNameRow{"TSOP", "Performer sort order", true},
    TFrameNameRow{"TSOT", "Title sort order", true},
    TFrameNameRow{"TSRC", "ISRC (international standard recording code)", true},
    TFrameNameRow{"TSSE", "Software/Hardware and settings used for encoding", true},
    TFrameNameRow{"TSST", "Set subtitle", true},
    TFrameNameRow{"TXXX", "User defined text information frame", true},
    TFrameNameRow{"TYER", "Year", true},
    TFrameNameRow{"UFID", "Unique file identifier", true},
    TFrameNameRow{"USER", "Terms of use", true},
    TFrameNameRow{"USLT", "Unsynchronised lyric/text transcription", true},
    TFrameNameRow{"WCOM", "Commercial information", true},
    TFrameNameRow{"WCOP", "Copyright/Legal information", true},
    TFrameNameRow{"WFED", "Podcast feed", false},
    TFrameNameRow{"WOAF", "Official audio file webpage", true},
    TFrameNameRow{"WOAR", "Official artist/performer webpage", true},
    TFrameNameRow{"WOAS", "Official audio source webpage", true},
    TFrameNameRow{"WORS", "Official Internet radio station homepage", true},
    TFrameNameRow{"WPAY", "Payment", true},
    TFrameNameRow{"WPUB", "Publishers official webpage", true},
    TFrameNameRow{"WXXX", "User defined URL link frame", true},
    TFrameNameRow{"XRVA", "Relative volume adjustment (2)", false},
    TFrameNameRow{"XSOA", "Album sort order", false},
    TFrameNameRow{"XSOP", "Performer sort order", false},
};
constexpr auto kNameKeys = FrameIDKeys(kNames);
static_assert(std::is_sorted(kNameKeys.begin(), kNameKeys.end()));

// The row of an ID, compared without regard to case, or nullptr.
const TFrameNameRow* RowOf(std::string_view id) {
  if (id.size() != 4) return nullptr;
  const char upper[4] = {AsciiUpper(id[0]), AsciiUpper(id[1]), AsciiUpper(id[2]),
                         AsciiUpper(id[3])};
  const size_t at = FindFrameIDKey(kNameKeys, FrameIDKey(std::string_view(upper, 4)));
  return at < kNames.size() ? &kNames[at] : nullptr;
}

}  // namespace

std::string_view FrameName(std::string_view id) {
  const TFrameNameRow* row = RowOf(id);
  return row ? row->name : id;
}

const std::vector<std::string>& FrameNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const TFrameNameRow& row : kNames)
      if (row.listed) list.push_back(std::string(row.id) + "=" + std::string(row.name));
    return list;
  }();
  return names;
}

std::string FrameDisplayName(const std::string& id) {
  const TFrameNameRow* row = RowOf(id);
  return row && row->listed ? std::string(row->name) : std::string();
}

}  // namespace tagscope
