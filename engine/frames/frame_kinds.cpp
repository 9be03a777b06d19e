// Which kind of content each frame ID holds.
#include "engine/frames/frame_kinds.h"

#include <algorithm>
#include <array>
#include <initializer_list>

#include "engine/frames/binary_frames.h"
#include "engine/frames/chapter_frames.h"
#include "engine/frames/commerce_frames.h"
#include "engine/frames/counter_frames.h"
#include "engine/frames/described_text_frames.h"
#include "engine/frames/frame_id_key.h"
#include "engine/frames/owner_data_frames.h"
#include "engine/frames/picture_frames.h"
#include "engine/frames/stream_helpers.h"
#include "engine/frames/text_frames.h"
#include "engine/frames/timing_frames.h"
#include "engine/frames/url_frames.h"
#include "engine/frames/volume_frames.h"
#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {

using TKind = TFrameKind;

std::string TextOf(const TFrameValue& value, std::string_view name) {
  const TFrameField* f = value.Find(name);
  return f && f->Type == TFieldType::ftText ? f->Text : std::string();
}

// Texts that must all be equal, joined by a byte no text holds.
std::string Join(std::initializer_list<std::string> texts) {
  std::string key;
  for (const std::string& text : texts) key += text + '\0';
  return key;
}

std::string OwnerKey(const TFrameValue& v) {
  return TextOf(v, "owner");
}

std::string IdentificationKey(const TFrameValue& v) {
  return TextOf(v, "identification");
}

std::string DescriptionKey(const TFrameValue& v) {
  return TextOf(v, "description");
}

std::string EmailKey(const TFrameValue& v) {
  return TextOf(v, "email");
}

// Languages are written "eng" by most taggers and "ENG" by some, and mean the same; a
// language shorter than three letters ends at its first zero byte.
std::string CommentKey(const TFrameValue& v) {
  std::string language = TextOf(v, "language");
  language = AsciiLowerCase(language.substr(0, language.find('\0')));
  return Join({language, TrimControl(TextOf(v, "description"))});
}

std::string LyricsKey(const TFrameValue& v) {
  return Join({TextOf(v, "language"), TextOf(v, "description")});
}

// The icons (types 1 and 2) are one of their type each; other pictures one of a type and
// description.
std::string PictureKey(const TFrameValue& v) {
  const TFrameField* type = v.Find("pictureType");
  const int64_t n = type ? type->Number : 0;
  return Join({std::to_string(n), n == 1 || n == 2 ? std::string() : TextOf(v, "description")});
}

constexpr TKindVersions kAll = TKindVersions::kvAll, k3 = TKindVersions::kvOnly3,
                        k4 = TKindVersions::kvOnly4;

// Texts of one version only.
constexpr TKind Text3(std::string_view id, std::string_view newer = {}) {
  return {id, "text", ParseTextFrame, RenderTextFrame, nullptr, k3, newer};
}
constexpr TKind Text4(std::string_view id, std::string_view older = {}, bool kept = false) {
  return {id, "text", ParseTextFrame, RenderTextFrame, nullptr, k4, older, kept};
}

// Frames of their own kind or of one version only, by ID (sorted). Other IDs starting with T are
// texts, with W links.
constexpr std::array kKinds = {
    TKind{"AENC", "audioEncryption", ParseAudioEncryptionFrame, RenderAudioEncryptionFrame},
    TKind{"APIC", "picture", ParsePictureFrame, RenderPictureFrame, PictureKey},
    TKind{"ASPI", "seekIndex", ParseSeekIndexFrame, RenderSeekIndexFrame, nullptr, k4},
    TKind{"CHAP", "chapter", ParseChapterFrame, RenderChapterFrame},
    TKind{"COMM", "comment", ParseCommentFrame, RenderCommentFrame, CommentKey},
    TKind{"COMR", "commercial", ParseCommercialFrame, RenderCommercialFrame},
    TKind{"CTOC", "tableOfContents", ParseTableOfContentsFrame, RenderTableOfContentsFrame},
    TKind{"ENCR", "registration", ParseRegistrationFrame, RenderRegistrationFrame},
    TKind{"EQU2", "equalisation", ParseEqualisationFrame, RenderEqualisationFrame, nullptr, k4},
    TKind{"EQUA", "oldEqualisation", ParseOldEqualisationFrame, RenderOldEqualisationFrame, nullptr,
          k3},
    TKind{"ETCO", "events", ParseEventsFrame, RenderEventsFrame},
    TKind{"GEOB", "object", ParseObjectFrame, RenderObjectFrame},
    TKind{"GRID", "registration", ParseRegistrationFrame, RenderRegistrationFrame},
    TKind{"GRP1", "text", ParseTextFrame, RenderTextFrame},
    TKind{"IPLS", "people", ParsePeopleFrame, RenderPeopleFrame, nullptr, k3, "TIPL"},
    TKind{"LINK", "link", ParseLinkFrame, RenderLinkFrame},
    TKind{"MCDI", "binary", ParseBinaryFrame, RenderBinaryFrame},
    TKind{"MLLT", "lookup", ParseLookupFrame, RenderLookupFrame},
    TKind{"MVIN", "text", ParseTextFrame, RenderTextFrame},
    TKind{"MVNM", "text", ParseTextFrame, RenderTextFrame},
    TKind{"OWNE", "ownership", ParseOwnershipFrame, RenderOwnershipFrame},
    TKind{"PCNT", "counter", ParseCounterFrame, RenderCounterFrame},
    TKind{"PCST", "podcast", ParsePodcastFrame, RenderPodcastFrame},
    TKind{"POPM", "popularimeter", ParsePopularimeterFrame, RenderPopularimeterFrame, EmailKey},
    TKind{"POSS", "position", ParsePositionFrame, RenderPositionFrame},
    TKind{"PRIV", "ownerData", ParseOwnerDataFrame, RenderOwnerDataFrame},
    TKind{"RBUF", "buffer", ParseBufferFrame, RenderBufferFrame},
    TKind{"RVA2", "volume", ParseVolumeFrame, RenderVolumeFrame, IdentificationKey, k4},
    TKind{"RVAD", "oldVolume", ParseOldVolumeFrame, RenderOldVolumeFrame, nullptr, k3},
    TKind{"RVRB", "reverb", ParseReverbFrame, RenderReverbFrame},
    TKind{"SEEK", "seek", ParseSeekFrame, RenderSeekFrame, nullptr, k4},
    TKind{"SIGN", "signature", ParseSignatureFrame, RenderSignatureFrame, nullptr, k4},
    TKind{"SYLT", "syncLyrics", ParseSyncLyricsFrame, RenderSyncLyricsFrame, LyricsKey},
    TKind{"SYTC", "tempo", ParseTempoFrame, RenderTempoFrame},
    TKind{"TCMP", "text", ParseTextFrame, RenderTextFrame, nullptr, kAll, "", true},
    Text3("TDAT", "TDRC"),
    Text4("TDEN"),
    Text4("TDOR", "TORY"),
    Text4("TDRC", "TYER"),
    Text4("TDRL"),
    Text4("TDTG"),
    Text3("TIME", "TDRC"),
    TKind{"TIPL", "people", ParsePeopleFrame, RenderPeopleFrame, nullptr, k4, "IPLS"},
    TKind{"TMCL", "people", ParsePeopleFrame, RenderPeopleFrame, nullptr, k4, "IPLS"},
    Text4("TMOO"),
    Text3("TORY", "TDOR"),
    Text4("TPRO"),
    Text3("TRDA"),
    Text3("TSIZ"),
    TKind{"TSO2", "text", ParseTextFrame, RenderTextFrame, nullptr, kAll, "", true},
    Text4("TSOA", "", true),
    Text4("TSOP", "", true),
    Text4("TSOT", "", true),
    Text4("TSST"),
    TKind{"TXXX", "userText", ParseUserTextFrame, RenderUserTextFrame, DescriptionKey},
    Text3("TYER", "TDRC"),
    TKind{"UFID", "ownerData", ParseOwnerDataFrame, RenderOwnerDataFrame, OwnerKey},
    TKind{"USER", "terms", ParseTermsFrame, RenderTermsFrame},
    TKind{"USLT", "lyrics", ParseLyricsFrame, RenderLyricsFrame, LyricsKey},
    TKind{"WFED", "url", ParseFeedFrame, RenderFeedFrame},
    TKind{"WXXX", "userUrl", ParseUserUrlFrame, RenderUserUrlFrame, DescriptionKey},
    TKind{"XRVA", "volume", ParseVolumeFrame, RenderVolumeFrame, IdentificationKey},
    TKind{"XSOA", "text", ParseTextFrame, RenderTextFrame},
    TKind{"XSOP", "text", ParseTextFrame, RenderTextFrame},
};

constexpr auto kKindKeys = FrameIDKeys(kKinds);
static_assert(std::is_sorted(kKindKeys.begin(), kKindKeys.end()));

constexpr TKind kText{"", "text", ParseTextFrame, RenderTextFrame};
constexpr TKind kUrl{"", "url", ParseUrlFrame, RenderUrlFrame};
constexpr TKind kRaw{"", "raw", ParseBinaryFrame, RenderBinaryFrame};

}  // namespace

const TFrameKind& FrameKindOf(std::string_view id) {
  if (id.size() != 4) return kRaw;
  const size_t at = FindFrameIDKey(kKindKeys, FrameIDKey(id));
  if (at < kKinds.size()) return kKinds[at];
  if (id[0] == 'T') return kText;
  if (id[0] == 'W') return kUrl;
  return kRaw;
}

std::optional<std::string> FrameKey(std::string_view id, const TFrameValue& value) {
  const TFrameKind& kind = FrameKindOf(id);
  if (!kind.key) return std::nullopt;
  return kind.key(value);
}

}  // namespace tagscope
