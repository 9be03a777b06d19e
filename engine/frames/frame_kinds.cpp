// Which kind of content each frame ID holds.
#include "engine/frames/frame_kinds.h"

#include <algorithm>
#include <array>

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

namespace tagscope {

namespace {

using TKind = TFrameKind;

// Frames of their own kind, by ID (sorted). Other IDs starting with T are texts, with W links.
constexpr std::array kKinds = {
    TKind{"AENC", "audioEncryption", ParseAudioEncryptionFrame, RenderAudioEncryptionFrame},
    TKind{"APIC", "picture", ParsePictureFrame, RenderPictureFrame},
    TKind{"ASPI", "seekIndex", ParseSeekIndexFrame, RenderSeekIndexFrame},
    TKind{"CHAP", "chapter", ParseChapterFrame, RenderChapterFrame},
    TKind{"COMM", "comment", ParseCommentFrame, RenderCommentFrame},
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
    TKind{"POPM", "popularimeter", ParsePopularimeterFrame, RenderPopularimeterFrame},
    TKind{"POSS", "position", ParsePositionFrame, RenderPositionFrame},
    TKind{"PRIV", "ownerData", ParseOwnerDataFrame, RenderOwnerDataFrame},
    TKind{"RBUF", "buffer", ParseBufferFrame, RenderBufferFrame},
    TKind{"RVA2", "volume", ParseVolumeFrame, RenderVolumeFrame},
    TKind{"RVAD", "oldVolume", ParseOldVolumeFrame, RenderOldVolumeFrame},
    TKind{"RVRB", "reverb", ParseReverbFrame, RenderReverbFrame},
    TKind{"SEEK", "seek", ParseSeekFrame, RenderSeekFrame},
    TKind{"SIGN", "signature", ParseSignatureFrame, RenderSignatureFrame},
    TKind{"SYLT", "syncLyrics", ParseSyncLyricsFrame, RenderSyncLyricsFrame},
    TKind{"SYTC", "tempo", ParseTempoFrame, RenderTempoFrame},
    TKind{"TIPL", "people", ParsePeopleFrame, RenderPeopleFrame},
    TKind{"TMCL", "people", ParsePeopleFrame, RenderPeopleFrame},
    TKind{"TXXX", "userText", ParseUserTextFrame, RenderUserTextFrame},
    TKind{"UFID", "ownerData", ParseOwnerDataFrame, RenderOwnerDataFrame},
    TKind{"USER", "terms", ParseTermsFrame, RenderTermsFrame},
    TKind{"USLT", "lyrics", ParseLyricsFrame, RenderLyricsFrame},
    TKind{"WFED", "url", ParseFeedFrame, RenderFeedFrame},
    TKind{"WXXX", "userUrl", ParseUserUrlFrame, RenderUserUrlFrame},
    TKind{"XRVA", "volume", ParseVolumeFrame, RenderVolumeFrame},
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

}  // namespace tagscope
