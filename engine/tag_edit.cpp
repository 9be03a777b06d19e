#include "tagscope/engine/tag_edit.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

using TFrameMatch = std::function<bool(TID3Frames_Item&)>;

// The payload of a frame that is given new content: whatever it was stored with (encryption
// that no handler undid) no longer applies.
void Fill(TID3Frames_Item& item, const std::string& payload) {
  item.SetEncrypted(false);
  item.SetPayload(payload);
}

// Removes the frames with the ID that match; returns how many there were.
int RemoveMatching(TID3Frames& frames, std::string_view id, const TFrameMatch& match) {
  int removed = 0;
  for (int i = frames.Count() - 1; i >= 0; --i) {
    TID3Frames_Item& item = frames.Items(i);
    if (!item.HasID(id) || !match(item)) continue;
    frames.Delete(i);
    ++removed;
  }
  return removed;
}

// The payload goes into the first frame that matches, which stays where it is; the other
// matching frames go. An empty payload removes them all.
void Replace(TID3Tag& tag, std::string_view id, const TFrameMatch& match,
             const std::string& payload) {
  TID3Frames& frames = tag.Frames();
  TID3Frames_Item* kept = nullptr;
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    if (item.HasID(id) && match(item) && kept == nullptr && !payload.empty()) {
      kept = &item;
      ++i;
    } else if (item.HasID(id) && match(item)) {
      frames.Delete(i);
    } else {
      ++i;
    }
  }
  if (payload.empty()) return;
  if (kept == nullptr) {
    kept = &frames.Add();
    kept->SetName(id);
  }
  Fill(*kept, payload);
}

uint8_t Version(const TID3Tag& tag) {
  return tag.Header().VersionNumber();
}

// A text field of the frame's decoded content, "" when it has none.
std::string DecodedText(const TID3Frames_Item& item, uint8_t version, std::string_view field) {
  const TFrameValue value = DecodeFrameContent(item, version);
  const TFrameField* f = value.Find(field);
  return f && f->Type == TFieldType::ftText ? f->Text : std::string();
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
  Replace(
      tag, id, [](TID3Frames_Item&) { return true; }, payload);
}

void SetUniqueFileID(TID3Tag& tag, const std::string& owner, std::string_view identifier) {
  const std::string wanted = Latin1ToUtf8(owner);
  const uint8_t version = Version(tag);
  TFrameValue value;
  value.Kind = "ownerData";
  value.AddText("owner", wanted).AddBytes("data", std::string(identifier));
  Replace(
      tag, "UFID",
      [&](TID3Frames_Item& item) { return DecodedText(item, version, "owner") == wanted; },
      identifier.empty() ? std::string() : RenderFrameContent("UFID", value, version));
}

void SetPlayCount(TID3Tag& tag, uint64_t count) {
  TFrameValue value;
  value.Kind = "counter";
  SetFrame(tag, "PCNT",
           value.AddNumber("counter", static_cast<int64_t>(std::min<uint64_t>(count, INT64_MAX))));
}

void SetVolume(TID3Tag& tag, const std::string& identification, int adjustment) {
  const std::string wanted = Latin1ToUtf8(identification);
  const uint8_t version = Version(tag);
  TFrameValue value;
  value.Kind = "volume";
  value.AddText("identification", wanted);
  TFrameFields& master = value.AddRecord("channels");
  master.emplace_back().Name = "channel";
  master.back().Type = TFieldType::ftNumber;
  master.back().Number = 1;  // master volume
  master.emplace_back().Name = "adjustment";
  master.back().Type = TFieldType::ftNumber;
  master.back().Number = adjustment;
  master.emplace_back().Name = "peakBits";
  master.back().Type = TFieldType::ftNumber;
  Replace(
      tag, "RVA2",
      [&](TID3Frames_Item& item) { return DecodedText(item, version, "identification") == wanted; },
      RenderFrameContent("RVA2", value, version));
}

int DeleteFrames(TID3Tag& tag, std::string_view id) {
  return RemoveMatching(tag.Frames(), id, [](TID3Frames_Item&) { return true; });
}

void SetPicture(TID3Tag& tag, const TID3Picture& picture, std::string_view data) {
  Replace(
      tag, "APIC",
      [&](TID3Frames_Item& item) {
        size_t offset = 0;
        const TID3Picture old = ParsePicture(item.Data().Bytes(), offset);
        const bool icon = picture.PictureType == 1 || picture.PictureType == 2;
        return old.PictureType == picture.PictureType &&
               (icon || old.DescriptionUtf8 == picture.DescriptionUtf8);
      },
      BuildPictureUtf8(picture.MimeType, picture.PictureType, picture.DescriptionUtf8, data,
                       Version(tag)));
}

int DeletePictures(TID3Tag& tag, int pictureType) {
  return RemoveMatching(tag.Frames(), "APIC", [&](TID3Frames_Item& item) {
    size_t offset = 0;
    return pictureType < 0 || ParsePicture(item.Data().Bytes(), offset).PictureType == pictureType;
  });
}

void SetUserText(TID3Tag& tag, const std::string& description, const std::string& text) {
  Replace(
      tag, "TXXX",
      [&](TID3Frames_Item& item) {
        return ParseUserText(item.Data().Bytes()).DescriptionUtf8 == description;
      },
      text.empty() ? std::string() : BuildUserTextUtf8(description, text, Version(tag)));
}

void SetUserURL(TID3Tag& tag, const std::string& description, const std::string& url) {
  Replace(
      tag, "WXXX",
      [&](TID3Frames_Item& item) {
        return ParseURL(item.Data().Bytes()).DescriptionUtf8 == description;
      },
      url.empty() ? std::string() : BuildUserURLUtf8(description, url, Version(tag)));
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
    return Replace(
        tag, id, [](TID3Frames_Item&) { return true; },
        RenderFrameContent(id, value.AddPairs("people", people), version));
  }
  std::string joined;
  for (const std::string& value : values) joined += (joined.empty() ? "" : "/") + value;
  if (version < 4 || values.size() < 2) return tag.SetFrameTextUtf8(id, joined);
  TFrameValue value;
  value.Kind = "text";
  Replace(
      tag, id, [](TID3Frames_Item&) { return true; },
      RenderFrameContent(id, value.AddTexts("text", values), version));
}

void SetRating(TID3Tag& tag, const std::string& email, uint8_t rating,
               std::optional<uint64_t> count) {
  const uint8_t version = Version(tag);
  const std::string wanted = Latin1ToUtf8(email);
  auto same = [&](TID3Frames_Item& item) { return DecodedText(item, version, "email") == wanted; };
  for (int i = 0; !count && i < tag.Frames().Count(); ++i) {
    TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("POPM") || !same(item)) continue;
    const TFrameValue old = DecodeFrameContent(item, version);
    if (const TFrameField* counter = old.Find("counter"))
      count = static_cast<uint64_t>(counter->Number);
  }
  TFrameValue value;
  value.Kind = "popularimeter";
  value.AddText("email", wanted).AddNumber("rating", rating);
  if (count)
    value.AddNumber("counter", static_cast<int64_t>(std::min<uint64_t>(*count, INT64_MAX)));
  Replace(tag, "POPM", same, RenderFrameContent("POPM", value, version));
}

void SetComment(TID3Tag& tag, const std::string& description, const std::string& text,
                const std::string& language) {
  // A tag holds one comment of a language and description; languages are written "eng" by
  // most taggers and "ENG" by some, and mean the same.
  auto same = [&](TID3Frames_Item& item) {
    if (item.Encrypted()) return false;
    const TID3Comment old = ParseComment(item.Payload());
    return SameTextAscii(old.Language.substr(0, old.Language.find('\0')), language) &&
           old.DescriptionUtf8 == description;
  };
  Replace(tag, "COMM", same, BuildCommentUtf8(description, text, language, Version(tag)));
}

void SetLyrics(TID3Tag& tag, const std::string& language, const std::string& description,
               const std::string& text) {
  const uint8_t version = Version(tag);
  auto same = [&](TID3Frames_Item& item) {
    const TFrameValue old = DecodeFrameContent(item, version);
    const TFrameField* lang = old.Find("language");
    const TFrameField* desc = old.Find("description");
    return lang && desc && lang->Text == Latin1ToUtf8(language) && desc->Text == description;
  };
  Replace(tag, "USLT", same,
          text.empty() ? std::string() : BuildLyricsUtf8(description, text, language, version));
}

}  // namespace tagscope
