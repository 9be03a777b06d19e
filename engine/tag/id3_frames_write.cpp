// Serialising the frame list in the frame layout of the tag's version.
#include <cstring>

#include "engine/frames/frame_layout.h"
#include "engine/frames/stream_helpers.h"
#include "engine/tag/unsync.h"
#include "engine/tag/zlib_codec.h"
#include "tagscope/engine/id3_frames.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

// The payload as it goes into the file, and the data length its header announces.
std::string StoredPayload(TID3Frames_Item& item, uint8_t version,
                          const TID3EngineFrameNotify& onEncrypt, uint32_t& dataLength) {
  std::string payload;
  if (item.KeptAsStored()) {
    // Encrypted bytes that nothing decrypted go back exactly as they came.
    payload = item.Payload();
    dataLength = item.StoredDataLength();
  } else {
    TMemoryStream scratch{std::string(item.Payload())};
    dataLength = static_cast<uint32_t>(scratch.Size());
    if (item.Compress()) CompressStream(scratch, TCompressionLevel::clMax);
    if (item.Encrypted() && onEncrypt) {
      scratch.Seek(0, TSeekOrigin::soEnd);
      onEncrypt(item, scratch);
    }
    payload = scratch.Bytes();
  }
  if (version >= 4 && item.UnSynchronisation()) payload = ApplyUnsynchronisation(payload);
  return payload;
}

// A damaged frame goes back as it was read: its body and the flag bytes it had.
void WriteDamagedFrame(TStream& stream, const TID3Frames_Item& item, const TFrameLayout& layout) {
  const std::string_view body = item.Payload();
  uint8_t header[FrameHeaderSize] = {};
  std::memcpy(header, item.Name().data(), 4);
  if (layout.syncSafeSize)
    WriteSyncSafeBE(header + 4, 4, body.size());
  else
    WritePlainBE(header + 4, 4, body.size());
  header[8] = item.DamagedStatusFlags();
  header[9] = item.DamagedFormatFlags();
  stream.WriteBuffer(header, FrameHeaderSize);
  stream.WriteBuffer(body.data(), static_cast<int64_t>(body.size()));
}

void WriteFrame(TStream& stream, TID3Frames_Item& item, uint8_t version,
                const TID3EngineFrameNotify& onEncrypt) {
  const TFrameLayout layout = StandardLayout(version);
  // Kept as it was while nothing of it changed: flags given to it since, or a tag of another
  // version, whose flag bytes mean other things, make a frame anew.
  const bool flagged = item.Compress() || item.DataLengthIndicator() || item.Encrypted() ||
                       item.FileAlterDiscardable() || item.Grouping() || item.ReadOnly() ||
                       item.TagAlterDiscardable() || item.UnSynchronisation();
  if (item.Damaged() && !flagged && item.DamagedVersion() == version && item.Name().size() == 4) {
    WriteDamagedFrame(stream, item, layout);
    return;
  }
  uint32_t dataLength = 0;
  const std::string payload = StoredPayload(item, version, onEncrypt, dataLength);
  const std::string optional = EncodeOptionalBytes(item, layout.version4Flags, dataLength);
  const uint64_t size = optional.size() + payload.size();
  const uint64_t limit = layout.syncSafeSize ? 0x0FFFFFFF : 0xFFFFFFFF;
  if (size > limit)
    throw EWriteError(Format("Frame \"%s\" is too large for an ID3v2 tag", item.Name().c_str()));

  uint8_t header[FrameHeaderSize] = {};
  const std::string id = item.Name();
  std::memcpy(header, id.data(), id.size());
  if (layout.syncSafeSize)
    WriteSyncSafeBE(header + 4, 4, size);
  else
    WritePlainBE(header + 4, 4, size);
  GetItemFlags(item, layout.version4Flags, header[8], header[9]);
  stream.WriteBuffer(header, FrameHeaderSize);
  stream.WriteString(optional);
  stream.WriteString(payload);
}

}  // namespace

void TID3Frames::WriteFrames(TStream& stream) const {
  WriteFrames(stream, 4);
}

void TID3Frames::WriteFrames(TStream& stream, uint8_t version,
                             const TID3EngineFrameNotify& onEncrypt) const {
  for (const auto& item : FItems) WriteFrame(stream, *item, version, onEncrypt);
}

}  // namespace tagscope
