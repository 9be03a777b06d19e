#include "engine/edits/version_frames.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "engine/frames/frame_kinds.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/engine/version_change.h"

namespace tagscope {

namespace {

using TPeople = std::vector<std::pair<std::string, std::string>>;

TKindVersions Versions(std::string_view id) {
  return FrameKindOf(id).versions;
}

// A frame whose content can be read: not encrypted, not kept as stored.
bool Readable(const TID3Frames_Item& item) {
  return !item.Encrypted() && !item.KeptAsStored();
}

// A list of texts in one encoding that fits them all in a tag of the version.
std::string TextListPayload(const std::vector<std::string>& texts, uint8_t version) {
  uint8_t encoding = teISO88591;
  for (const std::string& text : texts)
    encoding = std::max(encoding, EncodingForText(text, version));
  std::string payload(1, static_cast<char>(encoding));
  for (size_t i = 0; i < texts.size(); ++i)
    payload += (i > 0 ? Terminator(encoding) : "") + EncodeText(texts[i], encoding);
  return payload;
}

// The people of every frame with one of the IDs, in tag order, those frames merged into the
// first of them, which takes the ID `target`.
void MergePeople(TID3Tag& tag, std::initializer_list<std::string_view> ids, std::string_view target,
                 uint8_t toVersion) {
  const uint8_t version = tag.Header().VersionNumber();
  TID3Frames& frames = tag.Frames();
  auto source = [&](const TID3Frames_Item& item) {
    return Readable(item) &&
           std::any_of(ids.begin(), ids.end(), [&](auto id) { return item.HasID(id); });
  };
  // Nothing to do while the target's frame is the only one.
  bool other = false;
  for (int i = 0; i < frames.Count(); ++i)
    other = other || (source(frames.Items(i)) && !frames.Items(i).HasID(target));
  if (!other) return;
  TPeople people;
  int first = -1;
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    if (!source(item)) {
      ++i;
      continue;
    }
    const TFrameValue value = DecodeFrameContent(item, version);
    if (const TFrameField* f = value.Find("people"))
      people.insert(people.end(), f->Pairs.begin(), f->Pairs.end());
    if (first < 0) {
      first = i++;
    } else {
      frames.Delete(i);
    }
  }
  if (first < 0) return;
  std::vector<std::string> texts;
  for (auto& [role, name] : people) texts.insert(texts.end(), {role, name});
  TID3Frames_Item& item = frames.Items(first);
  item.SetName(target);
  item.SetPayload(TextListPayload(texts, toVersion));
}

// The values of a text list joined with "/", as version 3 writes several values; a last empty
// value is the list's terminator, not a value.
void JoinTextLists(TID3Tag& tag) {
  const uint8_t version = tag.Header().VersionNumber();
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    TID3Frames_Item& item = tag.Frames().Items(i);
    const std::string id = item.Name();
    if (id.size() != 4 || id[0] != 'T' || id == "TXXX" || id == "IPLS" || !Readable(item)) continue;
    const TFrameValue value = DecodeFrameContent(item, version);
    const TFrameField* f = value.Find("text");
    if (!f || f->Type != TFieldType::ftTextList || !value.Problems.empty()) continue;
    std::vector<std::string> texts = f->Texts;
    if (texts.size() > 1 && texts.back().empty()) texts.pop_back();
    if (texts.size() < 2) continue;
    std::string joined;
    for (size_t v = 0; v < texts.size(); ++v) joined += (v > 0 ? "/" : "") + texts[v];
    item.SetPayload(TextListPayload({joined}, 3));
  }
}

// Removes the frames whose ID the test picks; returns their IDs, each once, in tag order.
template <typename Pick>
std::vector<std::string> Drop(TID3Tag& tag, Pick pick) {
  std::vector<std::string> dropped;
  TID3Frames& frames = tag.Frames();
  for (int i = 0; i < frames.Count();) {
    const std::string id = frames.Items(i).Name();
    if (!pick(id)) {
      ++i;
      continue;
    }
    if (std::find(dropped.begin(), dropped.end(), id) == dropped.end()) dropped.push_back(id);
    frames.Delete(i);
  }
  return dropped;
}

}  // namespace

bool IsVersion4Frame(std::string_view id) {
  return Versions(id) == TKindVersions::kvOnly4;
}

std::string_view Version3Equivalent(std::string_view id) {
  return IsVersion4Frame(id) ? FrameKindOf(id).otherForm : std::string_view();
}

TVersionFit FrameVersionFit(std::string_view id, uint8_t version) {
  const TFrameKind& kind = FrameKindOf(id);
  if (version < 4 && kind.keptByPlayersIn3) return TVersionFit::vfKept;
  const TKindVersions other = version < 4 ? TKindVersions::kvOnly4 : TKindVersions::kvOnly3;
  if (kind.versions != other) return TVersionFit::vfFits;
  return kind.otherForm.empty() ? TVersionFit::vfMissing : TVersionFit::vfConverted;
}

std::vector<std::string> FramesToVersion3(TID3Tag& tag) {
  MergePeople(tag, {"TIPL", "TMCL", "IPLS"}, "IPLS", 3);
  JoinTextLists(tag);
  return Drop(tag, [](const std::string& id) { return IsVersion4Frame(id); });
}

std::vector<std::string> FramesToVersion4(TID3Tag& tag) {
  MergePeople(tag, {"IPLS", "TIPL"}, "TIPL", 4);
  return Drop(tag, [](const std::string& id) { return Versions(id) == TKindVersions::kvOnly3; });
}

}  // namespace tagscope
