#include "tagscope/engine/tag_edit.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "engine/edits/same_frame.h"
#include "engine/frames/frame_kinds.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// The payload of a frame that is given new content: whatever it was stored with (encryption
// that no handler undid) no longer applies.
void Fill(TID3Frames_Item& item, const std::string& payload) {
  item.SetEncrypted(false);
  item.SetPayload(payload);
}

// Whether the frame is of the ID and, where its kind tells such frames apart, has the key.
bool Same(const TID3Frames_Item& item, std::string_view id, const std::optional<std::string>& key,
          uint8_t version) {
  if (!item.HasID(id)) return false;
  if (!key) return true;
  return !item.KeptAsStored() && FrameKey(id, DecodeFrameContent(item, version)) == key;
}

// The payload goes into the first frame that is the same, which stays where it is; the other
// such frames go. An empty payload (or `remove`) removes them all.
void Replace(TID3Tag& tag, std::string_view id, const std::optional<std::string>& key,
             const std::string& payload, bool remove = false) {
  const uint8_t version = tag.Header().VersionNumber();
  remove = remove || payload.empty();
  TID3Frames& frames = tag.Frames();
  TID3Frames_Item* kept = nullptr;
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    if (!Same(item, id, key, version)) {
      ++i;
    } else if (kept == nullptr && !remove) {
      kept = &item;
      ++i;
    } else {
      frames.Delete(i);
    }
  }
  if (remove) return;
  if (kept == nullptr) {
    kept = &frames.Add();
    kept->SetName(id);
  }
  Fill(*kept, payload);
}

uint8_t Version(const TID3Tag& tag) {
  return tag.Header().VersionNumber();
}

// Removes the frames with the ID that the test picks; returns how many there were.
template <typename Pick>
int RemoveMatching(TID3Frames& frames, std::string_view id, Pick pick) {
  int removed = 0;
  for (int i = frames.Count() - 1; i >= 0; --i) {
    if (!frames.Items(i).HasID(id) || !pick(frames.Items(i))) continue;
    frames.Delete(i);
    ++removed;
  }
  return removed;
}

// The payload in place of the frames its kind counts the same; with `remove`, they go.
void ReplaceSame(TID3Tag& tag, std::string_view id, const std::string& payload,
                 bool remove = false) {
  const std::optional<std::string> key =
      FrameKey(id, DecodeFrameContent(id, payload, Version(tag)));
  Replace(tag, id, key, payload, remove);
}

}  // namespace

TID3Frames_Item& AddFrame(TID3Tag& tag, std::string_view id, const TFrameValue& value) {
  if (!ValidFrameID(id))
    throw EConvertError(Format("\"%.*s\" is no frame ID: four letters A-Z or digits",
                               static_cast<int>(id.size()), id.data()));
  const std::string payload = RenderFrameContent(id, value, Version(tag));
  TID3Frames_Item& item = tag.Frames().Add();
  item.SetName(id);
  Fill(item, payload);
  return item;
}

void SetFrame(TID3Tag& tag, std::string_view id, const TFrameValue& value) {
  if (!ValidFrameID(id))
    throw EConvertError(Format("\"%.*s\" is no frame ID: four letters A-Z or digits",
                               static_cast<int>(id.size()), id.data()));
  const std::string payload = RenderFrameContent(id, value, Version(tag));
  // An empty payload would make Replace remove the frames; such a frame is kept.
  if (payload.empty()) {
    DeleteFrames(tag, id);
    AddFrame(tag, id, value);
    return;
  }
  Replace(tag, id, std::nullopt, payload);
}

void ReplaceSameFrames(TID3Tag& tag, std::string_view id, const std::string& payload, bool remove) {
  ReplaceSame(tag, id, payload, remove);
}

void SetUniqueFileID(TID3Tag& tag, const std::string& owner, std::string_view identifier) {
  TFrameValue value;
  value.Kind = "ownerData";
  value.AddText("owner", Latin1ToUtf8(owner)).AddBytes("data", std::string(identifier));
  ReplaceSame(tag, "UFID", RenderFrameContent("UFID", value, Version(tag)), identifier.empty());
}

void SetPlayCount(TID3Tag& tag, uint64_t count) {
  TFrameValue value;
  value.Kind = "counter";
  SetFrame(tag, "PCNT",
           value.AddNumber("counter", static_cast<int64_t>(std::min<uint64_t>(count, INT64_MAX))));
}

void SetVolume(TID3Tag& tag, const std::string& identification, int adjustment) {
  TFrameValue value;
  value.Kind = "volume";
  value.AddText("identification", Latin1ToUtf8(identification));
  TFrameFields& master = value.AddRecord("channels");
  master.emplace_back().Name = "channel";
  master.back().Type = TFieldType::ftNumber;
  master.back().Number = 1;  // master volume
  master.emplace_back().Name = "adjustment";
  master.back().Type = TFieldType::ftNumber;
  master.back().Number = adjustment;
  master.emplace_back().Name = "peakBits";
  master.back().Type = TFieldType::ftNumber;
  ReplaceSame(tag, "RVA2", RenderFrameContent("RVA2", value, Version(tag)));
}

int DeleteFrames(TID3Tag& tag, std::string_view id) {
  return RemoveMatching(tag.Frames(), id, [](const TID3Frames_Item&) { return true; });
}

void SetPicture(TID3Tag& tag, const TID3Picture& picture, std::string_view data) {
  ReplaceSame(tag, "APIC",
              BuildPictureUtf8(picture.MimeType, picture.PictureType, picture.DescriptionUtf8, data,
                               Version(tag)));
}

int DeletePictures(TID3Tag& tag, int pictureType) {
  return RemoveMatching(tag.Frames(), "APIC", [&](const TID3Frames_Item& item) {
    size_t offset = 0;
    return pictureType < 0 || ParsePicture(item.Data().Bytes(), offset).PictureType == pictureType;
  });
}

void SetUserText(TID3Tag& tag, const std::string& description, const std::string& text) {
  ReplaceSame(tag, "TXXX", BuildUserTextUtf8(description, text, Version(tag)), text.empty());
}

void SetUserURL(TID3Tag& tag, const std::string& description, const std::string& url) {
  ReplaceSame(tag, "WXXX", BuildUserURLUtf8(description, url, Version(tag)), url.empty());
}

void SetLinkFrames(TID3Tag& tag, std::string_view id, const std::vector<std::string>& urls) {
  DeleteFrames(tag, id);
  for (const std::string& url : urls) {
    if (url.empty()) continue;
    TFrameValue value;
    value.Kind = "url";
    AddFrame(tag, id, value.AddText("url", Latin1ToUtf8(url)));
  }
}

void SetTextValues(TID3Tag& tag, std::string_view id, const std::vector<std::string>& values) {
  const uint8_t version = Version(tag);
  // A list of people (TIPL, TMCL, IPLS) holds a role and a name by turns, in every version.
  if (FrameKind(id) == "people") {
    std::vector<std::pair<std::string, std::string>> people;
    for (size_t i = 0; i < values.size(); i += 2)
      people.emplace_back(values[i], i + 1 < values.size() ? values[i + 1] : std::string());
    TFrameValue value;
    value.Kind = "people";
    return Replace(tag, id, std::nullopt,
                   RenderFrameContent(id, value.AddPairs("people", people), version));
  }
  std::string joined;
  for (const std::string& value : values) joined += (joined.empty() ? "" : "/") + value;
  if (version < 4 || values.size() < 2) return tag.SetFrameTextUtf8(id, joined);
  TFrameValue value;
  value.Kind = "text";
  Replace(tag, id, std::nullopt, RenderFrameContent(id, value.AddTexts("text", values), version));
}

void SetRating(TID3Tag& tag, const std::string& email, uint8_t rating,
               std::optional<uint64_t> count) {
  const uint8_t version = Version(tag);
  TFrameValue value;
  value.Kind = "popularimeter";
  value.AddText("email", Latin1ToUtf8(email)).AddNumber("rating", rating);
  const std::optional<std::string> key = FrameKey("POPM", value);
  for (int i = 0; !count && i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!Same(item, "POPM", key, version)) continue;
    const TFrameValue old = DecodeFrameContent(item, version);
    if (const TFrameField* counter = old.Find("counter"))
      count = static_cast<uint64_t>(counter->Number);
  }
  if (count)
    value.AddNumber("counter", static_cast<int64_t>(std::min<uint64_t>(*count, INT64_MAX)));
  Replace(tag, "POPM", key, RenderFrameContent("POPM", value, version));
}

void SetComment(TID3Tag& tag, const std::string& description, const std::string& text,
                const std::string& language) {
  ReplaceSame(tag, "COMM", BuildCommentUtf8(description, text, language, Version(tag)));
}

void SetLyrics(TID3Tag& tag, const std::string& language, const std::string& description,
               const std::string& text) {
  ReplaceSame(tag, "USLT", BuildLyricsUtf8(description, text, language, Version(tag)),
              text.empty());
}

}  // namespace tagscope
