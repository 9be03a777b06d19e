#include "tagscope/engine/id3_frame_item.h"

#include <algorithm>
#include <cstring>

#include "engine/frames/stream_helpers.h"
#include "tagscope/engine/id3_lists.h"
#include "tagscope/engine/text_encoding.h"

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
  SetID(std::string_view(source.FName.data(), source.FName.size()));
  if (source.FShared) {
    SetSharedPayload(source.FShared, source.FSharedBytes);
    FDeferred = source.FDeferred;
    FDeferredFront = source.FDeferredFront;
  } else {
    DropShared();
    FData.SetBytes(source.FData.Bytes());
  }
  FKeptAsStored = source.FKeptAsStored;
  FDamaged = source.FDamaged;
  FDamagedFlags = source.FDamagedFlags;
  FDamagedVersion = source.FDamagedVersion;
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
  if (value.size() == 4) SetID(value);
}

TMemoryStream& TID3Frames_Item::Data() {
  Unshare();
  return FData;
}

const TMemoryStream& TID3Frames_Item::Data() const {
  Unshare();
  return FData;
}

void TID3Frames_Item::SetPayload(std::string bytes) {
  DropShared();
  FData.SetBytes(std::move(bytes));
  FKeptAsStored = false;
  FDamaged = false;
}

void TID3Frames_Item::Unshare() const {
  if (!FShared) return;
  FData.SetBytes(std::string(Payload()));
  DropShared();
}

void TID3Frames_Item::DropShared() const {
  FShared.reset();
  FDeferred.reset();
}

void TID3Frames_Item::SetDeferredPayload(std::shared_ptr<const TPayloadSource> source,
                                         size_t front) {
  if (!FShared) return;  // a payload of its own is all in memory
  FDeferred = std::move(source);
  FDeferredFront = std::min(front, FSharedBytes.size());
}

void TID3Frames_Item::SetSharedPayload(std::shared_ptr<const void> owner, std::string_view bytes) {
  FDeferred.reset();
  FShared = std::move(owner);
  FSharedBytes = bytes;
  FData.Clear();
  if (!FShared) FData.SetBytes(std::string(bytes));
}

std::string TID3Frames_Item::AsText() const {
  const std::string_view bytes = Payload();
  FData.SetPosition(0);
  if (bytes.empty()) return {};
  const auto encoding = static_cast<uint8_t>(bytes[0]);
  return TrimControl(DecodeText(TerminatedString(bytes, 1, encoding), encoding));
}

void TID3Frames_Item::SetAsText(const std::string& value) {
  DropShared();
  TextToStream(0, value, FData);
  FKeptAsStored = false;
  FDamaged = false;
}

std::string TID3Frames_Item::AsTextUtf8() const {
  const std::string_view bytes = Payload();
  FData.SetPosition(0);
  if (bytes.empty()) return {};
  const auto encoding = static_cast<uint8_t>(bytes[0]);
  return TrimControl(DecodeTextUtf8(TerminatedString(bytes, 1, encoding), encoding));
}

void TID3Frames_Item::SetAsTextUtf8(const std::string& value, uint8_t version) {
  const uint8_t encoding = EncodingForText(value, version);
  DropShared();
  TextToStream(encoding, EncodeText(value, encoding), FData);
  FKeptAsStored = false;
  FDamaged = false;
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
  if (!value) FDamaged = false;
}

void TID3Frames_Item::SetDamaged(uint8_t version, uint8_t statusFlags, uint8_t formatFlags) {
  FDamaged = true;
  FDamagedVersion = version;
  FDamagedFlags = {statusFlags, formatFlags};
}

}  // namespace tagscope
