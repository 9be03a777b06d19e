#include "engine/id3_frame_item.h"

#include <algorithm>
#include <cstring>

#include "engine/id3_lists.h"
#include "engine/stream_helpers.h"
#include "engine/text_encoding.h"

namespace tagscope {

void TID3Frames_Item::Assign(const TID3Frames_Item& source) {
  if (&source == this) return;
  FCompress = source.FCompress;
  FDataLengthIndicator = source.FDataLengthIndicator;
  FEncrypted = source.FEncrypted;
  FFileAlterDiscardable = source.FFileAlterDiscardable;
  FGrouping = source.FGrouping;
  FReadOnly = source.FReadOnly;
  FTagAlterDiscardable = source.FTagAlterDiscardable;
  FUnSynchronisation = source.FUnSynchronisation;
  FEncryptionID = source.FEncryptionID;
  FGroupID = source.FGroupID;
  FName = source.FName;
  FData.SetBytes(source.FData.Bytes());
  FKeptAsStored = source.FKeptAsStored;
  FStoredDataLength = source.FStoredDataLength;
}

void TID3Frames_Item::SetCompress(bool value) {
  FCompress = value;
  FDataLengthIndicator = true;
}

void TID3Frames_Item::SetEncryptionID(uint8_t value) {
  FEncryptionID = value;
  FEncrypted = true;
}

void TID3Frames_Item::SetGroupID(uint8_t value) {
  FGroupID = value;
  FGrouping = true;
}

std::string TID3Frames_Item::Name() const {
  const auto end = std::find(FName.begin(), FName.end(), '\0');
  return std::string(FName.begin(), end);
}

void TID3Frames_Item::SetName(std::string_view value) {
  if (value.size() != 4) return;
  std::copy(value.begin(), value.end(), FName.begin());
}

bool TID3Frames_Item::HasID(std::string_view id) const {
  std::array<char, 4> wanted{};
  std::copy_n(id.begin(), std::min<size_t>(id.size(), 4), wanted.begin());
  return id.size() <= 4 && wanted == FName;
}

std::string TID3Frames_Item::AsText() {
  const std::string& bytes = FData.Bytes();
  FData.SetPosition(0);
  if (bytes.empty()) return {};
  const auto encoding = static_cast<uint8_t>(bytes[0]);
  return TrimControl(DecodeText(TerminatedString(bytes, 1, encoding), encoding));
}

void TID3Frames_Item::SetAsText(const std::string& value) {
  TextToStream(0, value, FData);
  FKeptAsStored = false;
}

std::string TID3Frames_Item::AsTextUtf8() {
  const std::string& bytes = FData.Bytes();
  FData.SetPosition(0);
  if (bytes.empty()) return {};
  const auto encoding = static_cast<uint8_t>(bytes[0]);
  return TrimControl(DecodeTextUtf8(TerminatedString(bytes, 1, encoding), encoding));
}

void TID3Frames_Item::SetAsTextUtf8(const std::string& value, uint8_t version) {
  const uint8_t encoding = EncodingForText(value, version);
  TextToStream(encoding, EncodeText(value, encoding), FData);
  FKeptAsStored = false;
}

std::string TID3Frames_Item::DisplayName() const {
  const std::string id = Name();
  if (id.empty()) return "TID3Frames_Item";
  const std::string name = FrameDisplayName(id);
  return name.empty() ? id : name;
}

void TID3Frames_Item::SetKeptAsStored(bool value, uint32_t storedDataLength) {
  FKeptAsStored = value;
  FStoredDataLength = storedDataLength;
}

}  // namespace tagscope
