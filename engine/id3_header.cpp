#include "engine/id3_header.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/stream_helpers.h"
#include "rtl/exception.h"

namespace tagscope {

namespace {

constexpr uint8_t kFlagUnsync = 0x80, kFlagExtended = 0x40, kFlagExperimental = 0x20,
                  kFlagFooter = 0x10;
constexpr uint8_t kExtUpdate = 0x40, kExtCRC = 0x20, kExtRestricted = 0x10;
// The longest extended header of any layout read here.
constexpr int64_t kMaxExtendedHeader = 15;

[[noreturn]] void RefuseAssign(const char* className) {
  throw EConvertError(Format(SAssignError, className, className));
}

// The bytes of an extended header, read without going past their end.
struct ExtBytes {
  const std::string& b;
  bool Has(size_t offset, size_t count) const { return offset + count <= b.size(); }
  uint8_t At(size_t offset) const { return Has(offset, 1) ? static_cast<uint8_t>(b[offset]) : 0; }
  const uint8_t* Ptr(size_t offset) const { return reinterpret_cast<const uint8_t*>(&b[offset]); }
};

// Version 3: a plain size (6 or 10) that excludes itself, two flag bytes (CRC 0x8000), a
// padding size and the CRC when flagged.
bool FitsVersion3(const ExtBytes& e) {
  if (!e.Has(0, 6)) return false;
  const uint64_t size = ReadPlainBE(e.Ptr(0), 4);
  const uint64_t flags = ReadPlainBE(e.Ptr(4), 2);
  const bool crc = (flags & 0x8000) != 0;
  return (flags & 0x7FFF) == 0 && size == (crc ? 10u : 6u);
}

// Version 4 as this engine writes it: size 6, +5 with a CRC, +1 with restrictions, the fields
// following the flags byte directly.
uint64_t CompactVersion4Size(uint8_t flags) {
  return 6 + ((flags & kExtCRC) ? 5 : 0) + ((flags & kExtRestricted) ? 1 : 0);
}

// Version 4 as the ID3v2.4 standard lays it out: each flagged field preceded by its length.
uint64_t StandardVersion4Size(uint8_t flags) {
  return 6 + ((flags & kExtUpdate) ? 1 : 0) + ((flags & kExtCRC) ? 6 : 0) +
         ((flags & kExtRestricted) ? 2 : 0);
}

bool FitsStandardVersion4(const ExtBytes& e) {
  if (!e.Has(0, 6) || !IsSyncSafe(e.Ptr(0), 4) || e.At(4) != 1) return false;
  const uint64_t size = ReadSyncSafeBE(e.Ptr(0), 4);
  const uint8_t flags = e.At(5);
  return size == StandardVersion4Size(flags) && size != CompactVersion4Size(flags);
}

bool FitsCompactVersion4(const ExtBytes& e) {
  return e.Has(0, 6) && ReadSyncSafeBE(e.Ptr(0), 4) == CompactVersion4Size(e.At(5));
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

TID3Header::TID3Header(TID3Engine* engine)
    : FEngine(engine), FExtendedHeader(std::make_unique<TID3ExtendedHeader>()) {}

void TID3Header::SetExtendedHeader(const TID3ExtendedHeader&) {
  RefuseAssign("TID3ExtendedHeader");
}

void TID3Header::Clear() {
  FExperimental = false;
  FExtendedHeaderPresent = false;
  FFooterPresent = false;
  FUnsynchronisation = false;
  FVersionNumber = 4;
  FVersionRevision = 0;
  FSize = 0;
  FExtendedHeader->Clear();
}

bool TID3Header::LoadFromStream(TStream& stream) {
  if (!LoadTagHeader(stream)) return false;
  if (FExtendedHeaderPresent) LoadExtendedHeader(stream);
  return true;
}

bool TID3Header::LoadTagHeader(TStream& stream) {
  Clear();
  FSize = -1;
  uint8_t b[10];
  if (stream.Read(b, 6) != 6 || std::memcmp(b, "ID3", 3) != 0 || b[3] > 4) return false;
  if (stream.Read(b + 6, 4) != 4) return false;
  FVersionNumber = b[3];
  FVersionRevision = b[4];
  FUnsynchronisation = (b[5] & kFlagUnsync) != 0;
  FExtendedHeaderPresent = (b[5] & kFlagExtended) != 0;
  FExperimental = (b[5] & kFlagExperimental) != 0;
  FFooterPresent = (b[5] & kFlagFooter) != 0;
  FSize = static_cast<int64_t>(ReadSyncSafeBE(b + 6, 4));
  return true;
}

void TID3Header::LoadExtendedHeader(TStream& stream) {
  const int64_t start = stream.Position();
  const std::string bytes =
      stream.ReadString(std::min(kMaxExtendedHeader, std::max<int64_t>(FSize, 0)));
  const ExtBytes e{bytes};
  TID3ExtendedHeader& ext = *FExtendedHeader;
  size_t consumed = 0;
  const bool version3 = FVersionNumber == 3 &&
                        (FitsVersion3(e) || (!FitsCompactVersion4(e) && !FitsStandardVersion4(e)));
  if (version3) {
    const bool crc = (e.At(4) & 0x80) != 0;
    consumed = crc ? 14 : 10;
    if (crc && e.Has(10, 4))
      ext.SetCRCData(ReadPlainBE(e.Ptr(10), 4));
    else
      ext.SetCRCDataPresent(crc);
  } else if (FitsStandardVersion4(e)) {
    const uint8_t flags = e.At(5);
    size_t at = 6;
    ext.SetTagIsAnUpdate((flags & kExtUpdate) != 0);
    if (flags & kExtUpdate) at += 1 + e.At(at);
    if (flags & kExtCRC) {
      ext.SetCRCDataPresent(true);
      if (e.Has(at + 1, 5)) ext.SetCRCData(ReadSyncSafeBE(e.Ptr(at + 1), 5));
      at += 1 + e.At(at);
    }
    ext.SetTagRestricted((flags & kExtRestricted) != 0);
    if ((flags & kExtRestricted) && e.Has(at + 1, 1))
      ext.TagRestrictions().DecodeFlags(e.At(at + 1));
    consumed = StandardVersion4Size(flags);
  } else {
    const uint8_t flags = e.At(5);
    ext.SetTagIsAnUpdate((flags & kExtUpdate) != 0);
    ext.SetCRCDataPresent((flags & kExtCRC) != 0);
    ext.SetTagRestricted((flags & kExtRestricted) != 0);
    size_t at = 6;
    if (flags & kExtCRC) {
      if (e.Has(at, 5)) ext.SetCRCData(ReadSyncSafeBE(e.Ptr(at), 5));
      at += 5;
    }
    if ((flags & kExtRestricted) && e.Has(at, 1)) ext.TagRestrictions().DecodeFlags(e.At(at));
    consumed = CompactVersion4Size(flags);
  }
  stream.SetPosition(start + static_cast<int64_t>(std::min(consumed, bytes.size())));
}

int64_t TID3Header::SaveToStream(TStream& stream, bool asFooter) {
  stream.WriteString(asFooter ? "3DI" : "ID3");
  uint8_t flags = 0;
  if (FUnsynchronisation) flags |= kFlagUnsync;
  if (FExtendedHeaderPresent) flags |= kFlagExtended;
  if (FExperimental) flags |= kFlagExperimental;
  if (FFooterPresent) flags |= kFlagFooter;
  const uint8_t head[3] = {FVersionNumber, FVersionRevision, flags};
  stream.WriteBuffer(head, 3);
  const int64_t sizeField = stream.Position();
  if (!asFooter) FSize = 0;
  const uint8_t zeros[4] = {};
  stream.WriteBuffer(zeros, 4);
  if (asFooter || !FExtendedHeaderPresent) return sizeField;

  const TID3ExtendedHeader& ext = *FExtendedHeader;
  uint8_t extFlags = 0;
  if (ext.TagIsAnUpdate()) extFlags |= kExtUpdate;
  if (ext.CRCDataPresent()) extFlags |= kExtCRC;
  if (ext.TagRestricted()) extFlags |= kExtRestricted;
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
