// Picks the decoder of a frame's shape by its ID.
#include "tagscope/engine/frame_value.h"

#include <algorithm>
#include <array>

#include "engine/frame_decoders.h"
#include "tagscope/engine/id3_frame_item.h"
#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {

using TDecoder = void (*)(TFieldReader&);

struct TShape {
  std::string_view id;
  std::string_view kind;
  TDecoder decode;
};

// Frames of their own shape, by ID (sorted). Other IDs starting with T are texts, with W links.
constexpr std::array kShapes = {
    TShape{"AENC", "audioEncryption", DecodeAudioEncryptionFrame},
    TShape{"APIC", "picture", DecodePictureFrame},
    TShape{"ASPI", "seekIndex", DecodeSeekIndexFrame},
    TShape{"CHAP", "chapter", DecodeChapterFrame},
    TShape{"COMM", "comment", DecodeCommentFrame},
    TShape{"COMR", "commercial", DecodeCommercialFrame},
    TShape{"CTOC", "tableOfContents", DecodeTableOfContentsFrame},
    TShape{"ENCR", "registration", DecodeRegistrationFrame},
    TShape{"EQU2", "equalisation", DecodeEqualisationFrame},
    TShape{"EQUA", "oldEqualisation", DecodeOldEqualisationFrame},
    TShape{"ETCO", "events", DecodeEventsFrame},
    TShape{"GEOB", "object", DecodeObjectFrame},
    TShape{"GRID", "registration", DecodeRegistrationFrame},
    TShape{"GRP1", "text", DecodeTextFrame},
    TShape{"IPLS", "people", DecodePeopleFrame},
    TShape{"LINK", "link", DecodeLinkFrame},
    TShape{"MCDI", "binary", DecodeBinaryFrame},
    TShape{"MLLT", "lookup", DecodeLookupFrame},
    TShape{"MVIN", "text", DecodeTextFrame},
    TShape{"MVNM", "text", DecodeTextFrame},
    TShape{"OWNE", "ownership", DecodeOwnershipFrame},
    TShape{"PCNT", "counter", DecodeCounterFrame},
    TShape{"PCST", "podcast", DecodePodcastFrame},
    TShape{"POPM", "popularimeter", DecodePopularimeterFrame},
    TShape{"POSS", "position", DecodePositionFrame},
    TShape{"PRIV", "ownerData", DecodeOwnerDataFrame},
    TShape{"RBUF", "buffer", DecodeBufferFrame},
    TShape{"RVA2", "volume", DecodeVolumeFrame},
    TShape{"RVAD", "oldVolume", DecodeOldVolumeFrame},
    TShape{"RVRB", "reverb", DecodeReverbFrame},
    TShape{"SEEK", "seek", DecodeSeekFrame},
    TShape{"SIGN", "signature", DecodeSignatureFrame},
    TShape{"SYLT", "syncLyrics", DecodeSyncLyricsFrame},
    TShape{"SYTC", "tempo", DecodeTempoFrame},
    TShape{"TIPL", "people", DecodePeopleFrame},
    TShape{"TMCL", "people", DecodePeopleFrame},
    TShape{"TXXX", "userText", DecodeUserTextFrame},
    TShape{"UFID", "ownerData", DecodeOwnerDataFrame},
    TShape{"USER", "terms", DecodeTermsFrame},
    TShape{"USLT", "lyrics", DecodeLyricsFrame},
    TShape{"WFED", "url", DecodeFeedFrame},
    TShape{"WXXX", "userUrl", DecodeUserUrlFrame},
    TShape{"XRVA", "volume", DecodeVolumeFrame},
    TShape{"XSOA", "text", DecodeTextFrame},
    TShape{"XSOP", "text", DecodeTextFrame},
};

static_assert(std::is_sorted(kShapes.begin(), kShapes.end(),
                             [](const TShape& a, const TShape& b) { return a.id < b.id; }));

constexpr TShape kText{"", "text", DecodeTextFrame};
constexpr TShape kUrl{"", "url", DecodeUrlFrame};
constexpr TShape kRaw{"", "raw", DecodeBinaryFrame};

const TShape& ShapeOf(std::string_view id) {
  if (id.size() != 4) return kRaw;
  const auto it =
      std::lower_bound(kShapes.begin(), kShapes.end(), id,
                       [](const TShape& s, std::string_view key) { return s.id < key; });
  if (it != kShapes.end() && it->id == id) return *it;
  if (id[0] == 'T') return kText;
  if (id[0] == 'W') return kUrl;
  return kRaw;
}

}  // namespace

std::string FieldNameWords(std::string_view name) {
  std::string words;
  for (const char c : name) {
    if (c >= 'A' && c <= 'Z') {
      words.push_back(' ');
      words.push_back(AsciiLower(c));
    } else {
      words.push_back(c);
    }
  }
  return words;
}

const TFrameField* TFrameValue::Find(std::string_view name) const {
  for (const TFrameField& field : Fields)
    if (field.Name == name) return &field;
  return nullptr;
}

TFrameValue DecodeFrameContentAt(std::string_view id, std::string_view payload, uint8_t version,
                                 int depth) {
  const TShape& shape = ShapeOf(id);
  TFrameValue value;
  value.Kind = shape.kind;
  value.Fields.reserve(4);  // most frames have a few fields; spares the moves of growing
  TFieldReader reader(payload, value, version, depth);
  shape.decode(reader);
  reader.Finish();
  return value;
}

TFrameValue DecodeFrameContent(std::string_view id, std::string_view payload, uint8_t version) {
  return DecodeFrameContentAt(id, payload, version, 0);
}

TFrameValue DecodeFrameContent(const TID3Frames_Item& frame, uint8_t version) {
  if (!frame.KeptAsStored()) return DecodeFrameContent(frame.Name(), frame.Payload(), version);
  // Still encrypted, or compressed data that could not be inflated: the bytes as stored.
  TFrameValue value;
  value.Kind = "stored";
  TFrameField& data = value.Fields.emplace_back();
  data.Name = "data";
  data.Type = TFieldType::ftBytes;
  data.Bytes = frame.Payload();
  return value;
}

TFrameValue DescribeFrameContent(const TID3Frames_Item& frame, uint8_t version) {
  if (frame.PayloadRead() || frame.KeptAsStored()) return DecodeFrameContent(frame, version);
  const std::string_view front = frame.PayloadFront();
  TFrameValue value = DecodeFrameContent(frame.Name(), front, version);
  TFrameField* last = value.Fields.empty() ? nullptr : &value.Fields.back();
  const bool endsInBytes = last && last->Type == TFieldType::ftBytes &&
                           last->Bytes.data() + last->Bytes.size() == front.data() + front.size();
  // Cut short, the front may read otherwise than the whole payload: then the whole is read.
  if (!value.Problems.empty() || !endsInBytes) return DecodeFrameContent(frame, version);
  last->Unread = static_cast<uint64_t>(frame.DataSize()) - front.size();
  return value;
}

}  // namespace tagscope
