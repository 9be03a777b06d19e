#include "tagscope/engine/id3_lists.h"

#include <algorithm>
#include <unordered_map>

#include "tagscope/engine/genre.h"
#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

const std::vector<std::string>& Genres() {
  static const std::vector<std::string> genres = [] {
    std::vector<std::string> list;
    for (int number = 0; number < TGenre::Count; ++number)
      list.push_back(TGenre::FromNumber(number)->Text());
    return list;
  }();
  return genres;
}

const std::vector<std::string>& FrameNames() {
  static const std::vector<std::string> names = {
      "COMM=Comments",
      "EQU2=Equalisation (2)",
      "ETCO=Event timing codes",
      "GEOB=General encapsulated object",
      "LINK=Linked information",
      "MCDI=Music CD identifier",
      "MLLT=MPEG location lookup table",
      "PCNT=Play counter",
      "POPM=Popularimeter",
      "PRIV=Private frame",
      "RBUF=Recommended buffer size",
      "RVA2=Relative volume adjustment (2)",
      "RVRB=Reverb",
      "SIGN=Signature frame",
      "SYLT=Synchronised lyric/text",
      "SYTC=Synchronised tempo codes",
      "TALB=Album",
      "TBPM=BPM (beats per minute)",
      "TCOM=Composer",
      "TCON=Content type",
      "TCOP=Copyright message",
      "TDEN=Encoding time",
      "TDLY=Playlist delay",
      "TDOR=Original release time",
      "TDRC=Recording time",
      "TDRL=Release time",
      "TDTG=Tagging time",
      "TENC=Encoded by",
      "TEXT=Lyricist/Text writer",
      "TFLT=File type",
      "TIPL=Involved people list",
      "TIT1=Content group description",
      "TIT2=Title",
      "TIT3=Subtitle",
      "TKEY=Initial key",
      "TLAN=Language(s)",
      "TLEN=Length",
      "TMCL=Musician credits list",
      "TMED=Media type",
      "TMOO=Mood",
      "TOAL=Original album",
      "TOFN=Original filename",
      "TOLY=Original lyricist(s)/text writer(s)",
      "TOPE=Original artist(s)/performer(s)",
      "TOWN=File owner/licensee",
      "TPE1=Lead performer(s)/Soloist(s)",
      "TPE2=Band",
      "TPE3=Conductor/performer refinement",
      "TPE4=Interpreted, remixed, or otherwise modified by",
      "TPOS=Part of a set",
      "TPRO=Produced notice",
      "TPUB=Publisher",
      "TRCK=Track number/Position in set",
      "TRSN=Internet radio station name",
      "TRSO=Internet radio station owner",
      "TSOA=Album sort order",
      "TSOP=Performer sort order",
      "TSOT=Title sort order",
      "TSRC=ISRC (international standard recording code)",
      "TSSE=Software/Hardware and settings used for encoding",
      "TSST=Set subtitle",
      "TXXX=User defined text information frame",
      "TYER=Year",
      "UFID=Unique file identifier",
      "USER=Terms of use",
      "USLT=Unsynchronised lyric/text transcription",
      "WCOM=Commercial information",
      "WCOP=Copyright/Legal information",
      "WOAF=Official audio file webpage",
      "WOAR=Official artist/performer webpage",
      "WOAS=Official audio source webpage",
      "WORS=Official Internet radio station homepage",
      "WPAY=Payment",
      "WPUB=Publishers official webpage",
      "WXXX=User defined URL link frame",
  };
  return names;
}

std::string FrameDisplayName(const std::string& id) {
  // The list, keyed by upper-case ID, once: a dump asks for every frame's name. The first row
  // of an ID counts.
  static const std::unordered_map<std::string, std::string> byID = [] {
    std::unordered_map<std::string, std::string> map;
    for (const std::string& row : FrameNames()) {
      const size_t eq = row.find('=');
      map.emplace(AsciiUpperCase(row.substr(0, eq)), row.substr(eq + 1));
    }
    return map;
  }();
  const auto it = byID.find(AsciiUpperCase(id));
  return it == byID.end() ? std::string() : it->second;
}

}  // namespace tagscope
