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
#include "engine/frames/owner_data_frames.h"
#include "engine/frames/picture_frames.h"
#include "engine/frames/text_frames.h"
#include "engine/frames/timing_frames.h"
#include "engine/frames/url_frames.h"
#include "engine/frames/volume_frames.h"
#include "engine/stream_helpers.h"
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

// Frames of their own kind, by ID (sorted). Other IDs starting with T are texts, with W links.
constexpr std::array kKinds = {
    TKind{"AENC", "audioEncryption", ParseAudioEncryptionFrame, RenderAudioEncryptionFrame},
    TKind{"APIC", "picture", ParsePictureFrame, RenderPictureFrame, PictureKey},
    TKind{"ASPI", "seekIndex", ParseSeekIndexFrame, RenderSeekIndexFrame},
    TKind{"CHAP", "chapter", ParseChapterFrame, RenderChapterFrame},
    TKind{"COMM", "comment", ParseCommentFrame, RenderCommentFrame, CommentKey},
    TKind{"COMR", "commercial", ParseCommercialFrame, RenderCommercialFrame},
    TKind{"CTOC", "tableOfContents", ParseTableOfContentsFrame, RenderTableOfContentsFrame},
    TKind{"ENCR", "registration", ParseRegistrationFrame, RenderRegistrationFrame},
    TKind{"EQU2", "equalisation", ParseEqualisationFrame, RenderEqualisationFrame},
    TKind{"EQUA", "oldEqualisation", ParseOldEqualisationFrame, RenderOldEqualisationFrame},
    TKind{"ETCO", "events", ParseEventsFrame, RenderEventsFrame},
    TKind{"GEOB", "object", ParseObjectFrame, RenderObjectFrame},
    TKind{"GRID", "registration", ParseRegistrationFrame, RenderRegistrationFrame},
    TKind{"GRP1", "text", ParseTextFrame, RenderTextFrame},
    TKind{"IPLS", "people", ParsePeopleFrame, RenderPeopleFrame},
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
    TKind{"RVA2", "volume", ParseVolumeFrame, RenderVolumeFrame, IdentificationKey},
    TKind{"RVAD", "oldVolume", ParseOldVolumeFrame, RenderOldVolumeFrame},
    TKind{"RVRB", "reverb", ParseReverbFrame, RenderReverbFrame},
    TKind{"SEEK", "seek", ParseSeekFrame, RenderSeekFrame},
    TKind{"SIGN", "signature", ParseSignatureFrame, RenderSignatureFrame},
    TKind{"SYLT", "syncLyrics", ParseSyncLyricsFrame, RenderSyncLyricsFrame, LyricsKey},
    TKind{"SYTC", "tempo", ParseTempoFrame, RenderTempoFrame},
    TKind{"TIPL", "people", ParsePeopleFrame, RenderPeopleFrame},
    TKind{"TMCL", "people", ParsePeopleFrame, RenderPeopleFrame},
    TKind{"TXXX", "userText", ParseUserTextFrame, RenderUserTextFrame, DescriptionKey},
    TKind{"UFID", "ownerData", ParseOwnerDataFrame, RenderOwnerDataFrame, OwnerKey},
    TKind{"USER", "terms", ParseTermsFrame, RenderTermsFrame},
    TKind{"USLT", "lyrics", ParseLyricsFrame, RenderLyricsFrame, LyricsKey},
    TKind{"WFED", "url", ParseFeedFrame, RenderFeedFrame},
    TKind{"WXXX", "userUrl", ParseUserUrlFrame, RenderUserUrlFrame, DescriptionKey},
    TKind{"XRVA", "volume", ParseVolumeFrame, RenderVolumeFrame, IdentificationKey},
    TKind{"XSOA", "text", ParseTextFrame, RenderTextFrame},
    TKind{"XSOP", "text", ParseTextFrame, RenderTextFrame},
};

static_assert(std::is_sorted(kKinds.begin(), kKinds.end(),
                             [](const TKind& a, const TKind& b) { return a.id < b.id; }));

constexpr TKind kText{"", "text", ParseTextFrame, RenderTextFrame};
constexpr TKind kUrl{"", "url", ParseUrlFrame, RenderUrlFrame};
constexpr TKind kRaw{"", "raw", ParseBinaryFrame, RenderBinaryFrame};

}  // namespace

const TFrameKind& FrameKindOf(std::string_view id) {
  if (id.size() != 4) return kRaw;
  const auto it = std::lower_bound(kKinds.begin(), kKinds.end(), id,
                                   [](const TKind& k, std::string_view key) { return k.id < key; });
  if (it != kKinds.end() && it->id == id) return *it;
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
