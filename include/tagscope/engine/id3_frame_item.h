#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// No tag holds more frames than this; a frame list that goes on past it ends there.
inline constexpr int MaxFrameCount = 50000;

class TID3Frames;

// True when the four bytes of a frame ID are each '0'-'9' or 'A'-'Z'.
bool ValidFrameID(std::string_view id);

// One ID3v2 frame in memory: its ID, per-frame flags, the group and encryption bytes and the
// payload in its usable form (decompressed, decrypted when a handler did so, unsynchronisation
// undone).
class TID3Frames_Item {
 public:
  // `collection` is the list that holds the item (TID3Frames::Add gives it), told when the
  // item's ID changes.
  explicit TID3Frames_Item(TID3Frames* collection = nullptr) : FCollection(collection) {}
  virtual ~TID3Frames_Item() = default;
  TID3Frames_Item(const TID3Frames_Item&) = delete;
  TID3Frames_Item& operator=(const TID3Frames_Item&) = delete;

  // Copies the ID, the flags, both bytes and the payload.
  virtual void Assign(const TID3Frames_Item& source);

  bool Compress() const { return FCompress; }
  // Also sets DataLengthIndicator, whatever the value.
  void SetCompress(bool value);
  bool DataLengthIndicator() const { return FDataLengthIndicator; }
  void SetDataLengthIndicator(bool value) { FDataLengthIndicator = value; }
  bool Encrypted() const { return FEncrypted; }
  void SetEncrypted(bool value) { FEncrypted = value; }
  uint8_t EncryptionID() const { return FEncryptionID; }
  // Also sets Encrypted.
  void SetEncryptionID(uint8_t value);
  bool FileAlterDiscardable() const { return FFileAlterDiscardable; }
  void SetFileAlterDiscardable(bool value) { FFileAlterDiscardable = value; }
  uint8_t GroupID() const { return FGroupID; }
  // Also sets Grouping.
  void SetGroupID(uint8_t value);
  bool Grouping() const { return FGrouping; }
  void SetGrouping(bool value) { FGrouping = value; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value) { FReadOnly = value; }
  bool TagAlterDiscardable() const { return FTagAlterDiscardable; }
  void SetTagAlterDiscardable(bool value) { FTagAlterDiscardable = value; }
  bool UnSynchronisation() const { return FUnSynchronisation; }
  void SetUnSynchronisation(bool value) { FUnSynchronisation = value; }

  // The ID up to its first zero byte.
  std::string Name() const;
  // A 4-character text becomes the ID; any other length is ignored.
  void SetName(std::string_view value);
  // Sets the ID bytes as they are, up to four (an ID3v2.2 frame without a four-character
  // equivalent keeps its three).
  void SetID(std::string_view value);
  // True when the four ID bytes equal id (shorter ids count as padded with zero bytes).
  bool HasID(std::string_view id) const {
    if (id.size() > 4) return false;
    for (size_t i = 0; i < 4; ++i)
      if (FName[i] != (i < id.size() ? id[i] : '\0')) return false;
    return true;
  }

  int64_t DataSize() const {
    return static_cast<int64_t>(FShared ? FSharedBytes.size() : FData.Bytes().size());
  }
  // The payload as a stream that may be changed. A payload still shared with the tag as read
  // is copied out on first use.
  TMemoryStream& Data();
  const TMemoryStream& Data() const;
  // The payload without copying it.
  std::string_view Payload() const {
    if (FDeferred) FDeferred->Fill();
    return FShared ? FSharedBytes : FData.Bytes();
  }
  // Replaces the payload by bytes of its own, Data at 0: content in its usable form, no longer
  // kept as stored nor damaged. The flags (encryption among them) stay as they are.
  void SetPayload(std::string bytes);
  // Makes the payload a view of bytes that `owner` keeps alive (the tag as read), shared with
  // other frames until something asks for Data().
  void SetSharedPayload(std::shared_ptr<const void> owner, std::string_view bytes);

  // What reads the rest of a shared payload of which only the first bytes are in memory yet.
  // Fill puts them in place once, whoever asks first; it raises (EReadError) when it cannot,
  // and may be asked again.
  class TPayloadSource {
   public:
    virtual ~TPayloadSource() = default;
    virtual void Fill() const = 0;
    virtual bool Filled() const = 0;
  };
  // Leaves all but the first `front` bytes of the shared payload to `source`, which reads them
  // when the payload is first asked for (Payload, Data, and all that reads through them).
  void SetDeferredPayload(std::shared_ptr<const TPayloadSource> source, size_t front);
  // Whether the whole payload is in memory.
  bool PayloadRead() const { return !FDeferred || FDeferred->Filled(); }
  // The first bytes of the payload that are in memory (all of it once read): what can be
  // looked at without reading the rest.
  std::string_view PayloadFront() const {
    return PayloadRead() ? Payload() : FSharedBytes.substr(0, FDeferredFront);
  }
  // The payload read as a text frame in full as UTF-8 (its encoding honoured, see
  // DecodeTextUtf8), trimmed; leaves Data at 0.
  std::string AsTextUtf8() const;
  // Replaces the payload by a UTF-8 text in the encoding that EncodingForText picks for a tag
  // of the version (ISO-8859-1 when every character fits); leaves Data at 0.
  void SetAsTextUtf8(const std::string& value, uint8_t version = 4);
  // The same text as ISO-8859-1 bytes ('?' for what it lacks), trimmed alike, for the
  // plug-in's host interface; leaves Data at 0.
  std::string AsText() const;
  // Replaces the payload by encoding byte 0 and the ISO-8859-1 text; leaves Data at 0.
  void SetAsText(const std::string& value);

  // The frame's name for display ("Title" for TIT2), its ID when the name list does not know
  // it, the class name for an item without an ID.
  virtual std::string DisplayName() const;

  // An encrypted payload that no handler decrypted is kept exactly as stored (not inflated)
  // and written back unchanged, together with the data length it was stored with.
  bool KeptAsStored() const { return FKeptAsStored; }
  uint32_t StoredDataLength() const { return FStoredDataLength; }
  void SetKeptAsStored(bool value, uint32_t storedDataLength = 0);
  // A frame whose flags contradict its size: its payload is the whole body as stored, and a
  // write into a tag of the version it was read from puts it back with the flag bytes it had,
  // unchanged. Changing the payload ends that.
  bool Damaged() const { return FDamaged; }
  void SetDamaged(uint8_t version, uint8_t statusFlags, uint8_t formatFlags);
  uint8_t DamagedVersion() const { return FDamagedVersion; }
  uint8_t DamagedStatusFlags() const { return FDamagedFlags[0]; }
  uint8_t DamagedFormatFlags() const { return FDamagedFlags[1]; }

 private:
  void Unshare() const;
  // Forgets the shared payload (the caller gives the item one of its own).
  void DropShared() const;

  bool FCompress = false;
  bool FDataLengthIndicator = false;
  bool FEncrypted = false;
  bool FFileAlterDiscardable = false;
  bool FGrouping = false;
  bool FReadOnly = false;
  bool FTagAlterDiscardable = false;
  bool FUnSynchronisation = false;
  uint8_t FEncryptionID = 0;
  uint8_t FGroupID = 0;
  std::array<char, 4> FName{};
  mutable TMemoryStream FData;
  mutable std::shared_ptr<const void> FShared;  // set while the payload is FSharedBytes
  // Set while all but the first FDeferredFront bytes of FSharedBytes wait to be read.
  mutable std::shared_ptr<const TPayloadSource> FDeferred;
  size_t FDeferredFront = 0;
  std::string_view FSharedBytes;
  TID3Frames* FCollection = nullptr;  // told when the ID changes
  bool FKeptAsStored = false;
  uint32_t FStoredDataLength = 0;
  bool FDamaged = false;
  std::array<uint8_t, 2> FDamagedFlags{};
  uint8_t FDamagedVersion = 0;
};

}  // namespace tagscope
