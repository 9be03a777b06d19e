#include "engine/frames/frame_layout.h"

#include "engine/frames/stream_helpers.h"

namespace tagscope {

namespace {

// ID3v2.4: status 0x40 tag alter, 0x20 file alter, 0x10 read only; format 0x40 grouping,
// 0x08 compression, 0x04 encryption, 0x02 unsynchronisation, 0x01 data length indicator.
// ID3v2.3: status 0x80 tag alter, 0x40 file alter, 0x20 read only; format 0x80 compression,
// 0x40 encryption, 0x20 grouping.
struct FlagBits {
  uint8_t tagAlter, fileAlter, readOnly, grouping, compress, encrypted, unsync, dataLength;
};
constexpr FlagBits kV4{0x40, 0x20, 0x10, 0x40, 0x08, 0x04, 0x02, 0x01};
constexpr FlagBits kV3{0x80, 0x40, 0x20, 0x20, 0x80, 0x40, 0x00, 0x00};

const FlagBits& Bits(bool version4Flags) {
  return version4Flags ? kV4 : kV3;
}

int OptionalBytes(uint8_t format, bool version4Flags) {
  const FlagBits& f = Bits(version4Flags);
  int count = 0;
  if (format & f.grouping) count += 1;
  if (format & f.encrypted) count += 1;
  if (version4Flags && (format & f.dataLength)) count += 4;
  if (!version4Flags && (format & f.compress)) count += 4;  // the decompressed size
  return count;
}

}  // namespace

TFrameLayout StandardLayout(uint8_t version) {
  if (version >= 4) return {true, true, true};
  return {false, false, true};
}

std::array<TFrameLayout, 4> CandidateLayouts(uint8_t version) {
  const TFrameLayout standard = StandardLayout(version);
  TFrameLayout otherSize = standard;
  otherSize.syncSafeSize = !standard.syncSafeSize;
  // Optional bytes left out of the size, version 4 flag bits: written sync-safe, or plain.
  return {standard, otherSize, TFrameLayout{true, true, false}, TFrameLayout{true, false, false}};
}

TFrameHeader DecodeFrameHeader(const TByteReader& in, size_t at, const TFrameLayout& layout) {
  TFrameHeader h;
  h.id = in.ViewAt(at, 4);
  if (layout.syncSafeSize) {
    h.sizeValid = in.IsSyncSafeAt(at + 4, 4);
    h.size = in.SyncSafeAt(at + 4, 4);
  } else {
    h.size = in.BEAt(at + 4, 4);
  }
  h.status = in.ByteAt(at + 8);
  h.format = in.ByteAt(at + 9);
  h.optionalBytes = OptionalBytes(h.format, layout.version4Flags);
  const auto size = static_cast<int64_t>(h.size);
  if (layout.optionalInSize) {
    h.totalSize = FrameHeaderSize + size;
    h.payloadSize = size >= h.optionalBytes ? size - h.optionalBytes : 0;
  } else {
    h.totalSize = FrameHeaderSize + h.optionalBytes + size;
    h.payloadSize = size;
  }
  return h;
}

void SetItemFlags(TID3Frames_Item& item, uint8_t status, uint8_t format, bool version4Flags) {
  const FlagBits& f = Bits(version4Flags);
  item.SetTagAlterDiscardable(status & f.tagAlter);
  item.SetFileAlterDiscardable(status & f.fileAlter);
  item.SetReadOnly(status & f.readOnly);
  item.SetGrouping(format & f.grouping);
  item.SetEncrypted(format & f.encrypted);
  item.SetUnSynchronisation(format & f.unsync);
  const bool compress = format & f.compress;
  // Version 3 gives a compressed frame its decompressed size, which is what a data length
  // indicator holds.
  const bool dataLength = version4Flags ? (format & f.dataLength) != 0 : compress;
  item.SetCompress(compress);
  item.SetDataLengthIndicator(dataLength);
}

void GetItemFlags(const TID3Frames_Item& item, bool version4Flags, uint8_t& status,
                  uint8_t& format) {
  const FlagBits& f = Bits(version4Flags);
  status = (item.TagAlterDiscardable() ? f.tagAlter : 0) |
           (item.FileAlterDiscardable() ? f.fileAlter : 0) | (item.ReadOnly() ? f.readOnly : 0);
  format = (item.Grouping() ? f.grouping : 0) | (item.Compress() ? f.compress : 0) |
           (item.Encrypted() ? f.encrypted : 0) | (item.UnSynchronisation() ? f.unsync : 0) |
           (item.DataLengthIndicator() ? f.dataLength : 0);
}

std::string EncodeOptionalBytes(const TID3Frames_Item& item, bool version4Flags,
                                uint32_t dataLength) {
  std::string out;
  uint8_t length[4];
  if (version4Flags) {
    if (item.Grouping()) out.push_back(static_cast<char>(item.GroupID()));
    if (item.Encrypted()) out.push_back(static_cast<char>(item.EncryptionID()));
    if (item.DataLengthIndicator()) {
      WriteSyncSafeBE(length, 4, dataLength);
      out.append(reinterpret_cast<char*>(length), 4);
    }
  } else {
    if (item.Compress()) {
      WritePlainBE(length, 4, dataLength);
      out.append(reinterpret_cast<char*>(length), 4);
    }
    if (item.Encrypted()) out.push_back(static_cast<char>(item.EncryptionID()));
    if (item.Grouping()) out.push_back(static_cast<char>(item.GroupID()));
  }
  return out;
}

void DecodeOptionalBytes(TID3Frames_Item& item, bool version4Flags, std::string_view bytes,
                         uint32_t& dataLength) {
  TByteReader in(bytes);
  auto takeByte = [&](uint8_t& into) {
    if (in.Has(1)) into = in.ReadByte();
  };
  auto takeLength = [&](bool syncSafe) {
    if (in.Has(4)) dataLength = static_cast<uint32_t>(syncSafe ? in.ReadSyncSafe(4) : in.ReadBE(4));
  };
  uint8_t group = 0, method = 0;
  dataLength = 0;
  if (version4Flags) {
    if (item.Grouping()) takeByte(group);
    if (item.Encrypted()) takeByte(method);
    if (item.DataLengthIndicator()) takeLength(true);
  } else {
    if (item.Compress()) takeLength(false);
    if (item.Encrypted()) takeByte(method);
    if (item.Grouping()) takeByte(group);
  }
  // The setters of these two bytes also set their flags, which are already as read.
  if (item.Grouping()) item.SetGroupID(group);
  if (item.Encrypted()) item.SetEncryptionID(method);
}

}  // namespace tagscope
