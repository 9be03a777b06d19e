#include "engine/tag/v22_frames.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {

// Sorted by the three-character ID. The standard's table, and the sort-order and compilation
// frames that music stores write into ID3v2.2 tags.
constexpr std::array<std::pair<std::string_view, std::string_view>, 72> kIDs{{
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"},
    {"ETC", "ETCO"}, {"GEO", "GEOB"}, {"GP1", "GRP1"}, {"IPL", "IPLS"}, {"LNK", "LINK"},
    {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"MVI", "MVIN"}, {"MVN", "MVNM"}, {"PCS", "PCST"},
    {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
    {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"},
    {"TOT", "TOAL"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"},
    {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"},
    {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSI", "TSIZ"}, {"TSP", "TSOP"},
    {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"},
}};

constexpr bool Sorted() {
  for (size_t i = 1; i < kIDs.size(); ++i)
    if (!(kIDs[i - 1].first < kIDs[i].first)) return false;
  return true;
}
static_assert(Sorted(), "the ID table is searched by halving");

// The ID3v2.2 picture formats the standard and common writers use; any other is taken as
// "image/" + its lower-case letters. "-->" (a link instead of the picture) stays as it is.
std::string MimeType(std::string_view format) {
  if (format == "JPG") return "image/jpeg";
  if (format == "-->") return std::string(format);
  std::string mime = "image/";
  for (char c : format) {
    if (c == '\0') break;
    mime.push_back(AsciiLower(c));
  }
  return mime;
}

}  // namespace

std::string_view V22FrameID(std::string_view id3) {
  const auto it =
      std::lower_bound(kIDs.begin(), kIDs.end(), id3,
                       [](const auto& entry, std::string_view id) { return entry.first < id; });
  return it != kIDs.end() && it->first == id3 ? it->second : std::string_view();
}

bool ValidV22FrameID(std::string_view id3) {
  return id3.size() == 3 && std::all_of(id3.begin(), id3.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
         });
}

std::optional<std::string> V22LinkToLINK(std::string_view lnk) {
  if (lnk.size() < 3) return std::nullopt;
  const std::string_view id = V22FrameID(lnk.substr(0, 3));
  if (id.empty()) return std::nullopt;
  std::string link(id);
  link.append(lnk.substr(3));
  return link;
}

std::optional<std::string> V22PictureToAPIC(std::string_view pic) {
  if (pic.size() < 4) return std::nullopt;
  std::string apic(1, pic[0]);
  apic += MimeType(pic.substr(1, 3));
  apic.push_back('\0');
  apic.append(pic.substr(4));
  return apic;
}

}  // namespace tagscope
