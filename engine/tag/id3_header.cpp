#include "tagscope/engine/id3_header.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/frames/stream_helpers.h"
#include "engine/tag/id3_layout.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

using namespace id3;

[[noreturn]] void RefuseAssign(const char* className) {
  throw EConvertError(Format(SAssignError, className, className));
}

// Version 3: a plain size (6 or 10) that excludes itself, two flag bytes (CRC 0x8000), a
// padding size and the CRC when flagged.
bool HasVersion3Size(const TByteReader& e) {
  if (!e.HasAt(0, 6)) return false;
  const uint64_t size = e.BEAt(0, 4);
  return size == V3ExtendedSize || size == V3ExtendedSizeWithCRC;
}

bool FitsVersion3(const TByteReader& e) {
  if (!HasVersion3Size(e)) return false;
  const uint64_t flags = e.BEAt(4, 2);
  const bool crc = (flags & V3ExtendedCRCFlag) != 0;
  return (flags & ~uint64_t{V3ExtendedCRCFlag}) == 0 &&
         e.BEAt(0, 4) == (crc ? V3ExtendedSizeWithCRC : V3ExtendedSize);
}

// Version 4 as this engine writes it: size 6, +5 with a CRC, +1 with restrictions, the fields
// following the flags byte directly.
uint64_t CompactVersion4Size(uint8_t flags) {
  return MinExtendedSize + ((flags & ExtCRC) ? CRCWidth : 0) + ((flags & ExtRestricted) ? 1 : 0);
}

// Version 4 as the ID3v2.4 standard lays it out: each flagged field preceded by its length.
uint64_t StandardVersion4Size(uint8_t flags) {
  return MinExtendedSize + ((flags & ExtUpdate) ? 1 : 0) + ((flags & ExtCRC) ? 1 + CRCWidth : 0) +
         ((flags & ExtRestricted) ? 2 : 0);
}

bool FitsStandardVersion4(const TByteReader& e) {
  if (!e.HasAt(0, 6) || !e.IsSyncSafeAt(0, 4) || e.ByteAt(4) != 1) return false;
  const uint64_t size = e.SyncSafeAt(0, 4);
  const uint8_t flags = e.ByteAt(5);
  return size == StandardVersion4Size(flags) && size != CompactVersion4Size(flags);
}

bool FitsCompactVersion4(const TByteReader& e) {
  return e.HasAt(0, 6) && e.SyncSafeAt(0, 4) == CompactVersion4Size(e.ByteAt(5));
}

// Whether the bytes after a header whose flag announces an extended header can be one. Writers
// set the flag by mistake; what follows is then the first frame (or padding).
// tagBody: the bytes the header counts after itself.
bool PlausibleExtendedHeader(const TByteReader& e, uint8_t version, int64_t tagBody) {
  if (e.HasAt(0, 4) && ValidFrameID(e.ViewAt(0, 4))) return false;
  if (!e.HasAt(0, MinExtendedSize)) return false;
  const auto within = [&](uint64_t size) { return static_cast<int64_t>(size) <= tagBody; };
  if (version == 3) {
    if (HasVersion3Size(e)) return within(e.BEAt(0, 4) + 4);
    return FitsCompactVersion4(e) || FitsStandardVersion4(e);
  }
  if (!e.IsSyncSafeAt(0, 4)) return false;
  const uint64_t size = e.SyncSafeAt(0, 4);
  return size >= MinExtendedSize && within(size);
}

}  // namespace

// --- TID3ExtendedHeader ---

TID3ExtendedHeader::TID3ExtendedHeader()
    : FTagRestrictions(std::make_unique<TID3TagRestrictions>()) {}

void TID3ExtendedHeader::SetCRCData(uint64_t value) {
  FCRCData = value;
  FCRCDataPresent = true;
}

void TID3ExtendedHeader::SetTagRestrictions(const TID3TagRestrictions&) {
  RefuseAssign("TID3TagRestrictions");
}

void TID3ExtendedHeader::Clear() {
  FCRCData = 0;
  FCRCDataPresent = false;
  FTagIsAnUpdate = false;
  FTagRestricted = false;
  FTagRestrictions->Clear();
}

// --- TID3Header ---

TID3Header::TID3Header(TID3Engine*) : FExtendedHeader(std::make_unique<TID3ExtendedHeader>()) {}

void TID3Header::SetExtendedHeader(const TID3ExtendedHeader&) {
  RefuseAssign("TID3ExtendedHeader");
}

void TID3Header::Clear() {
  FExperimental = false;
  FExtendedHeaderPresent = false;
  FFooterPresent = false;
  FUnsynchronisation = false;
  FTagCompressed = false;
  FVersionNumber = 4;
  FVersionRevision = 0;
  FSize = 0;
  FExtendedHeader->Clear();
}

bool TID3Header::LoadFromStream(TStream& stream) {
  char head[HeaderSize];
  const int64_t n = stream.Read(head, HeaderSize);
  if (!ParseTagHeader(std::string_view(head, static_cast<size_t>(n)))) return false;
  if (!FExtendedHeaderPresent) return true;
  const int64_t start = stream.Position();
  const std::string bytes = stream.ReadString(std::clamp<int64_t>(FSize, 0, MaxExtendedHeader));
  const int64_t taken = ParseExtendedHeader(bytes);
  if (taken < 0) FExtendedHeaderPresent = false;
  stream.SetPosition(start + std::max<int64_t>(taken, 0));
  return true;
}

bool TID3Header::ParseTagHeader(std::string_view bytes) {
  Clear();
  FSize = -1;
  FTagCompressed = false;
  TByteReader in(bytes);
  if (!in.HasAt(0, HeaderSize) || in.ViewAt(0, 3) != "ID3" || in.ByteAt(VersionOffset) > MaxVersion)
    return false;
  FVersionNumber = in.ByteAt(VersionOffset);
  FVersionRevision = in.ByteAt(RevisionOffset);
  const uint8_t flags = in.ByteAt(FlagsOffset);
  FUnsynchronisation = (flags & FlagUnsync) != 0;
  // In ID3v2.2 the bit of the extended header means a compressed tag.
  if (FVersionNumber == 2)
    FTagCompressed = (flags & FlagExtended) != 0;
  else
    FExtendedHeaderPresent = (flags & FlagExtended) != 0;
  FExperimental = (flags & FlagExperimental) != 0;
  FFooterPresent = (flags & FlagFooter) != 0;
  FSize = static_cast<int64_t>(in.SyncSafeAt(SizeOffset, SizeWidth));
  return true;
}

int64_t TID3Header::ParseExtendedHeader(std::string_view body) {
  const TByteReader e(body);
  if (!PlausibleExtendedHeader(e, FVersionNumber, FSize)) return -1;
  TID3ExtendedHeader& ext = *FExtendedHeader;
  auto has = [&](size_t offset, size_t count) { return e.HasAt(offset, count); };
  const bool version3 = FVersionNumber == 3 &&
                        (FitsVersion3(e) || (!FitsCompactVersion4(e) && !FitsStandardVersion4(e)));
  if (version3) {
    const bool crc = (e.ByteAt(4) & 0x80) != 0;
    if (crc && has(10, 4))
      ext.SetCRCData(e.BEAt(10, 4));
    else
      ext.SetCRCDataPresent(crc);
    return static_cast<int64_t>(e.BEAt(0, 4)) + 4;
  }
  const uint8_t flags = e.ByteAt(5);
  ext.SetTagIsAnUpdate((flags & ExtUpdate) != 0);
  ext.SetCRCDataPresent((flags & ExtCRC) != 0);
  ext.SetTagRestricted((flags & ExtRestricted) != 0);
  if (FitsStandardVersion4(e)) {
    size_t at = 6;
    if (flags & ExtUpdate) at += 1 + (has(at, 1) ? e.ByteAt(at) : 0);
    if (flags & ExtCRC) {
      if (has(at + 1, CRCWidth)) ext.SetCRCData(e.SyncSafeAt(at + 1, CRCWidth));
      at += 1 + (has(at, 1) ? e.ByteAt(at) : 0);
    }
    if ((flags & ExtRestricted) && has(at + 1, 1))
      ext.TagRestrictions().DecodeFlags(e.ByteAt(at + 1));
    return static_cast<int64_t>(StandardVersion4Size(flags));
  }
  size_t at = 6;
  if (flags & ExtCRC) {
    if (has(at, CRCWidth)) ext.SetCRCData(e.SyncSafeAt(at, CRCWidth));
    at += CRCWidth;
  }
  if ((flags & ExtRestricted) && has(at, 1)) ext.TagRestrictions().DecodeFlags(e.ByteAt(at));
  // The size as stated, when the flags do not explain it: the frames start after it.
  return static_cast<int64_t>(std::min<uint64_t>(e.SyncSafeAt(0, 4), body.size()));
}

int64_t TID3Header::SaveToStream(TStream& stream, bool asFooter) {
  stream.WriteString(asFooter ? "3DI" : "ID3");
  uint8_t flags = 0;
  if (FUnsynchronisation) flags |= FlagUnsync;
  if (FExtendedHeaderPresent) flags |= FlagExtended;
  if (FExperimental) flags |= FlagExperimental;
  if (FFooterPresent) flags |= FlagFooter;
  const uint8_t head[3] = {FVersionNumber, FVersionRevision, flags};
  stream.WriteBuffer(head, 3);
  const int64_t sizeField = stream.Position();
  if (!asFooter) FSize = 0;
  const uint8_t zeros[4] = {};
  stream.WriteBuffer(zeros, 4);
  if (asFooter || !FExtendedHeaderPresent) return sizeField;

  const TID3ExtendedHeader& ext = *FExtendedHeader;
  uint8_t extFlags = 0;
  if (ext.TagIsAnUpdate()) extFlags |= ExtUpdate;
  if (ext.CRCDataPresent()) extFlags |= ExtCRC;
  if (ext.TagRestricted()) extFlags |= ExtRestricted;
  uint8_t bytes[12];
  WriteSyncSafeBE(bytes, 4, CompactVersion4Size(extFlags));
  bytes[4] = 1;
  bytes[5] = extFlags;
  size_t length = 6;
  if (ext.CRCDataPresent()) {
    WriteSyncSafeBE(bytes + length, 5, ext.CRCData());
    length += 5;
  }
  if (ext.TagRestricted()) bytes[length++] = ext.TagRestrictions().EncodeFlags();
  stream.WriteBuffer(bytes, static_cast<int64_t>(length));
  return sizeField;
}

}  // namespace tagscope
