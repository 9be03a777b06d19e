// set --from-json: the frames of `dump --json` output read back into frames to write.
#include "cli/set_from_json.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "tagscope/engine/id3_frame_item.h"
#include "tagscope/engine/id3_frames.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// Members in the order the text gives them, which is the order of the fields.
using TJson = nlohmann::ordered_json;

// Frames nested in frames (chapters) deeper than this are refused rather than followed.
constexpr int kMaxDepth = 8;

[[noreturn]] void Refuse(const std::string& path, const std::string& what) {
  throw EConvertError(path + ": " + what);
}

std::string Index(const std::string& path, size_t i) {
  return path + "[" + std::to_string(i) + "]";
}

std::string Member(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "." + name;
}

// The bytes of base64 text (RFC 4648, padding required); nothing when it is not such text.
std::optional<std::string> FromBase64(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
  };
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const int pads = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
    uint32_t n = 0;
    for (int k = 0; k < 4; ++k) {
      const int d = k >= 4 - pads ? 0 : digit(text[i + k]);
      if (d < 0) return std::nullopt;
      n = n << 6 | static_cast<uint32_t>(d);
    }
    for (int k = 0; k < 3 - pads; ++k) out.push_back(static_cast<char>(n >> (16 - 8 * k)));
  }
  return out;
}

// A binary payload as dump gives it: its bytes in base64, or a short text that is all of it.
std::string BytesOf(const TJson& j, const std::string& path) {
  const auto size = j.find("size");
  if (size == j.end() || !size->is_number_unsigned())
    Refuse(Member(path, "size"), "is missing: bytes carry their size");
  if (const auto b64 = j.find("base64"); b64 != j.end()) {
    if (!b64->is_string()) Refuse(Member(path, "base64"), "is not a text");
    const std::optional<std::string> bytes = FromBase64(b64->get<std::string>());
    if (!bytes) Refuse(Member(path, "base64"), "is not base64");
    if (bytes->size() != size->get<uint64_t>())
      Refuse(Member(path, "size"), "is not the number of bytes base64 gives");
    return *bytes;
  }
  const auto text = j.find("text");
  if (text != j.end() && text->is_string() &&
      text->get<std::string>().size() == size->get<uint64_t>())
    return text->get<std::string>();
  Refuse(path, "the bytes are not given: take them from dump --binary");
}

void FieldsOf(const TJson& j, const std::string& path, TFrameValue& keep, TFrameFields& fields,
              int depth);

// The kind the JSON gives a frame: the one its ID holds, or bytes as they are ("raw", or
// "stored" as dump names bytes it could not decrypt or inflate), which stand for any frame.
std::string_view KindOf(const TJson& j, const std::string& id, const std::string& path) {
  const auto kind = j.find("kind");
  if (kind == j.end() || !kind->is_string()) Refuse(Member(path, "kind"), "is missing");
  const std::string name = kind->get<std::string>();
  const std::string_view expected = FrameKind(id);
  if (name != expected && name != "raw" && name != "stored")
    Refuse(Member(path, "kind"),
           Format("is \"%s\", which is no kind of content a %s frame holds (%.*s, or raw bytes)",
                  SanitizeUtf8(name).c_str(), SanitizeUtf8(id).c_str(),
                  static_cast<int>(expected.size()), expected.data()));
  return expected == name ? expected : name == "raw" ? "raw" : "stored";
}

// A frame inside another, as dump gives it.
void EmbeddedOf(const TJson& j, const std::string& path, TFrameValue& keep, TEmbeddedFrame& frame,
                int depth) {
  if (!j.is_object()) Refuse(path, "is not a frame");
  const auto id = j.find("id");
  if (id == j.end() || !id->is_string()) Refuse(Member(path, "id"), "is missing");
  frame.ID = id->get<std::string>();
  frame.Value.Kind = KindOf(j, frame.ID, path);
  const auto content = j.find("content");
  if (content == j.end() || !content->is_object()) Refuse(Member(path, "content"), "is missing");
  FieldsOf(*content, Member(path, "content"), keep, frame.Value.Fields, depth + 1);
}

bool AllOf(const TJson& list, bool (TJson::*test)() const noexcept) {
  for (const TJson& item : list)
    if (!(item.*test)()) return false;
  return true;
}

bool IsPair(const TJson& j) {
  return j.is_array() && j.size() == 2 && j[0].is_string() && j[1].is_string();
}

// A list by what its items are; an empty list stands for an empty list of any kind.
void ListOf(const TJson& j, const std::string& path, TFrameValue& keep, TFrameField& f, int depth) {
  if (j.empty() || AllOf(j, &TJson::is_string)) {
    f.Type = TFieldType::ftTextList;
    for (const TJson& text : j) f.Texts.push_back(text.get<std::string>());
  } else if (AllOf(j, &TJson::is_number_integer)) {
    f.Type = TFieldType::ftNumbers;
    for (const TJson& n : j) f.Numbers.push_back(n.get<int64_t>());
  } else if (std::all_of(j.begin(), j.end(), IsPair)) {
    f.Type = TFieldType::ftPairs;
    for (const TJson& pair : j)
      f.Pairs.emplace_back(pair[0].get<std::string>(), pair[1].get<std::string>());
  } else if (AllOf(j, &TJson::is_object) && j[0].contains("kind")) {
    f.Type = TFieldType::ftFrames;
    for (size_t i = 0; i < j.size(); ++i)
      EmbeddedOf(j[i], Index(path, i), keep, f.Frames.emplace_back(), depth);
  } else if (AllOf(j, &TJson::is_object)) {
    f.Type = TFieldType::ftRecords;
    for (size_t i = 0; i < j.size(); ++i)
      FieldsOf(j[i], Index(path, i), keep, f.Records.emplace_back(), depth + 1);
  } else {
    Refuse(path, "is a list of items of different kinds");
  }
}

void FieldOf(const TJson& j, const std::string& path, TFrameValue& keep, TFrameField& f,
             int depth) {
  if (j.is_string()) {
    f.Type = TFieldType::ftText;
    f.Text = j.get<std::string>();
  } else if (j.is_number_integer()) {
    if (j.is_number_unsigned() && j.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
      Refuse(path, "is too large a number");
    f.Type = TFieldType::ftNumber;
    f.Number = j.get<int64_t>();
  } else if (j.is_object()) {
    f.Type = TFieldType::ftBytes;
    f.Bytes = keep.Keep(BytesOf(j, path));
  } else if (j.is_array()) {
    ListOf(j, path, keep, f, depth);
  } else {
    Refuse(path, j.is_number() ? "is not a whole number" : "is no value a frame holds");
  }
}

void FieldsOf(const TJson& j, const std::string& path, TFrameValue& keep, TFrameFields& fields,
              int depth) {
  if (depth > kMaxDepth) Refuse(path, "is nested too deep");
  if (!j.is_object()) Refuse(path, "is not an object of fields");
  for (const auto& [name, value] : j.items()) {
    TFrameField& f = fields.emplace_back();
    f.Name = keep.Keep(name);
    FieldOf(value, Member(path, name), keep, f, depth);
  }
}

bool EmptyList(const TFrameField& f) {
  return f.Type != TFieldType::ftText && f.Type != TFieldType::ftNumber &&
         f.Type != TFieldType::ftBytes && f.Texts.empty() && f.Numbers.empty() && f.Pairs.empty() &&
         f.Records.empty() && f.Frames.empty();
}

// Whether two sets of fields say the same; what they are shown as (labels, units) aside.
bool SameFields(const TFrameFields& a, const TFrameFields& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const TFrameField &x = a[i], &y = b[i];
    if (x.Name != y.Name) return false;
    if (x.Type != y.Type && !(EmptyList(x) && EmptyList(y))) return false;
    if (x.Text != y.Text || x.Texts != y.Texts || x.Number != y.Number || x.Numbers != y.Numbers ||
        x.Bytes != y.Bytes || x.Pairs != y.Pairs || x.Records.size() != y.Records.size() ||
        x.Frames.size() != y.Frames.size())
      return false;
    for (size_t r = 0; r < x.Records.size(); ++r)
      if (!SameFields(x.Records[r], y.Records[r])) return false;
    for (size_t f = 0; f < x.Frames.size(); ++f)
      if (x.Frames[f].ID != y.Frames[f].ID ||
          !SameFields(x.Frames[f].Value.Fields, y.Frames[f].Value.Fields))
        return false;
  }
  return true;
}

bool Flag(const TJson& frame, const char* name, const std::string& path) {
  const auto it = frame.find(name);
  if (it == frame.end()) return false;
  if (!it->is_boolean()) Refuse(Member(path, name), "is true or false");
  return it->get<bool>();
}

uint8_t Byte(const TJson& frame, const char* name, const std::string& path) {
  const auto it = frame.find(name);
  if (it == frame.end()) return 0;
  if (!it->is_number_unsigned() || it->get<uint64_t>() > 255)
    Refuse(Member(path, name), "is a number from 0 to 255");
  return static_cast<uint8_t>(it->get<uint64_t>());
}

TJsonFrame FrameOf(const TJson& j, const std::string& path) {
  if (!j.is_object()) Refuse(path, "is not a frame");
  TJsonFrame frame;
  const auto id = j.find("id");
  if (id == j.end() || !id->is_string()) Refuse(Member(path, "id"), "is missing");
  frame.id = id->get<std::string>();
  if (!ValidFrameID(frame.id))
    Refuse(Member(path, "id"), "is no frame ID of four letters A-Z or digits");
  frame.tagAlterDiscardable = Flag(j, "tagAlterDiscardable", path);
  frame.fileAlterDiscardable = Flag(j, "fileAlterDiscardable", path);
  frame.readOnly = Flag(j, "readOnly", path);
  frame.compress = Flag(j, "compress", path);
  frame.encrypted = Flag(j, "encrypted", path);
  frame.unsynchronisation = Flag(j, "unsynchronisation", path);
  frame.dataLengthIndicator = Flag(j, "dataLengthIndicator", path);
  frame.grouping = Flag(j, "grouping", path);
  frame.groupId = Byte(j, "groupId", path);
  frame.encryptionId = Byte(j, "encryptionId", path);
  frame.value.Kind = KindOf(j, frame.id, path);
  const auto content = j.find("content");
  if (content == j.end()) Refuse(Member(path, "content"), "is missing");
  FieldsOf(*content, Member(path, "content"), frame.value, frame.value.Fields, 0);
  // The payload's own bytes, where dump gave them, are written as they are while the content
  // is what they hold: a damaged frame, a text that ends in its terminator.
  if (const auto payload = j.find("payload"); payload != j.end()) {
    if (!payload->is_object()) Refuse(Member(path, "payload"), "is not bytes");
    std::string bytes = BytesOf(*payload, Member(path, "payload"));
    if (SameFields(DecodeFrameContent(frame.id, bytes, 4).Fields, frame.value.Fields) ||
        SameFields(DecodeFrameContent(frame.id, bytes, 3).Fields, frame.value.Fields) ||
        frame.value.Kind == "stored")
      frame.payload = std::move(bytes);
  }
  return frame;
}

// The payload of a frame for a tag of the version, the path of a bad value in the error. The
// payload's own bytes are taken only where the frames go into a tag of the version they were
// read from (`ownBytes`): a terminator ending a text there is a second, empty value in a tag of
// version 4. Bytes the content cannot be written from are still taken as they are.
std::string PayloadOf(const TJsonFrame& frame, uint8_t version, const std::string& path,
                      bool ownBytes = true) {
  if (frame.payload && ownBytes) return *frame.payload;
  try {
    return RenderFrameContent(frame.id, frame.value, version);
  } catch (const EFrameValueError& e) {
    if (frame.payload) return *frame.payload;
    Refuse(Member(path, e.Path()), e.Problem());
  }
}

// Frames a tag holds one of: a second is refused rather than left for readers to pick one.
bool OneOnly(const std::string& id) {
  static constexpr std::string_view kOnce[] = {"ASPI", "EQUA", "ETCO", "IPLS", "MCDI",
                                               "MLLT", "OWNE", "PCNT", "POSS", "RVAD",
                                               "RVRB", "SEEK", "SYTC"};
  if (id.size() == 4 && id[0] == 'T' && id != "TXXX") return true;
  return std::find(std::begin(kOnce), std::end(kOnce), id) != std::end(kOnce);
}

void RefuseSecondFrames(const std::vector<TJsonFrame>& frames, const std::vector<size_t>& at) {
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!OneOnly(frames[i].id)) continue;
    for (size_t k = 0; k < i; ++k)
      if (frames[k].id == frames[i].id)
        Refuse(Member(Index("frames", at[i]), "id"),
               Format("is %s again (as frames[%zu]): a tag holds one %s frame",
                      frames[i].id.c_str(), at[k], frames[i].id.c_str()));
  }
}

// An ID of three letters or digits: a frame of an ID3v2.2 tag that has no four-character form.
bool IsVersion2ID(const TJson& frame) {
  const auto id = frame.is_object() ? frame.find("id") : frame.end();
  if (!frame.is_object() || id == frame.end() || !id->is_string()) return false;
  const std::string text = id->get<std::string>();
  return text.size() == 3 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

// Whether the text is one JSON value followed by another from the byte that stopped the
// parse (1 for the first): what dump --json prints for several files.
bool SeveralValues(std::string_view text, size_t byte) {
  if (byte < 2 || byte > text.size()) return false;
  return text[byte - 1] == '{' && TJson::accept(text.substr(0, byte - 1));
}

}  // namespace

TJsonTag ParseDumpJson(std::string_view text, bool force) {
  TJson j;
  try {
    j = TJson::parse(text);
  } catch (const TJson::parse_error& e) {
    if (SeveralValues(text, e.byte))
      throw EConvertError(
          "The JSON holds the dumps of several files: give the dump of one file, as dump --json "
          "prints it for one file");
    throw EConvertError(Format("The JSON is not well formed at byte %zu", e.byte));
  } catch (const TJson::exception&) {
    // Numbers beyond what a double holds, and the like.
    throw EConvertError("The JSON holds a number too large to read");
  }
  if (!j.is_object()) Refuse("(top)", "is not the object dump --json prints for a file");
  TJsonTag tag;
  bool version2 = false;
  if (const auto t = j.find("tag"); t != j.end() && t->is_object()) {
    const auto version = t->find("version");
    if (version != t->end() && version->is_number_unsigned() &&
        (version->get<uint64_t>() == 3 || version->get<uint64_t>() == 4))
      tag.version = static_cast<uint8_t>(version->get<uint64_t>());
    version2 =
        version != t->end() && version->is_number_unsigned() && version->get<uint64_t>() == 2;
  }
  tag.frameVersion = version2 ? std::optional<uint8_t>(3) : tag.version;
  const auto frames = j.find("frames");
  if (frames == j.end() || !frames->is_array()) Refuse("frames", "is missing: a list of frames");
  if (frames->size() > static_cast<size_t>(MaxFrameCount))
    Refuse("frames", Format("holds more than the %d frames a tag is read with", MaxFrameCount));
  std::vector<size_t> at;  // where each frame kept stands in the JSON
  for (size_t i = 0; i < frames->size(); ++i) {
    const std::string path = Index("frames", i);
    if (version2 && IsVersion2ID((*frames)[i])) {
      const std::string id = (*frames)[i]["id"].get<std::string>();
      if (!force)
        Refuse(Member(path, "id"),
               Format("is the ID3v2.2 frame %s, which later versions have no form for: give "
                      "--force to leave it out",
                      id.c_str()));
      if (std::find(tag.dropped.begin(), tag.dropped.end(), id) == tag.dropped.end())
        tag.dropped.push_back(id);
      continue;
    }
    TJsonFrame& frame = tag.frames.emplace_back(FrameOf((*frames)[i], path));
    at.push_back(i);
    PayloadOf(frame, tag.frameVersion.value_or(4), path);
  }
  RefuseSecondFrames(tag.frames, at);
  return tag;
}

std::vector<std::string> WriteJsonFrames(const TJsonTag& json, TID3Tag& tag) {
  if (json.version) ChangeTagVersion(tag, *json.version);
  // A tag of version 2 is written as one of version 3. Frames in the forms of another version
  // go in as they are and are then converted, as a version change converts them.
  const uint8_t version = std::max<uint8_t>(tag.Header().VersionNumber(), 3);
  const uint8_t source = json.frameVersion.value_or(version);
  // Every payload first: a value that fails leaves the frames as they were.
  std::vector<std::string> payloads;
  for (size_t i = 0; i < json.frames.size(); ++i)
    payloads.push_back(PayloadOf(json.frames[i], source, Index("frames", i), source == version));
  TID3Frames& frames = tag.Frames();
  frames.Clear();
  for (size_t i = 0; i < json.frames.size(); ++i) {
    const TJsonFrame& f = json.frames[i];
    TID3Frames_Item& item = frames.Add();
    item.SetName(f.id);
    item.SetPayload(payloads[i]);
    item.SetTagAlterDiscardable(f.tagAlterDiscardable);
    item.SetFileAlterDiscardable(f.fileAlterDiscardable);
    item.SetReadOnly(f.readOnly);
    item.SetCompress(f.compress);
    item.SetDataLengthIndicator(f.dataLengthIndicator);
    item.SetUnSynchronisation(f.unsynchronisation);
    if (f.grouping) item.SetGroupID(f.groupId);
    // Bytes dump could not decrypt or inflate are written back as they were stored; a frame
    // whose content is given is written plain, whatever flag the JSON claims for it.
    if (f.value.Kind == "stored") {
      item.SetKeptAsStored(true, static_cast<uint32_t>(payloads[i].size()));
      if (f.encrypted) item.SetEncryptionID(f.encryptionId);
    }
  }
  if (source == version) return {};
  tag.Header().SetVersionNumber(source);
  return ChangeTagVersion(tag, version);
}

}  // namespace tagscope::cli
