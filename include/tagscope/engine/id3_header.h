#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "tagscope/engine/id3_restrictions.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TID3Engine;

// The optional extended header of a tag.
class TID3ExtendedHeader {
 public:
  TID3ExtendedHeader();
  virtual ~TID3ExtendedHeader() = default;
  TID3ExtendedHeader(const TID3ExtendedHeader&) = delete;
  TID3ExtendedHeader& operator=(const TID3ExtendedHeader&) = delete;

  bool CRCDataPresent() const { return FCRCDataPresent; }
  void SetCRCDataPresent(bool value) { FCRCDataPresent = value; }
  bool TagIsAnUpdate() const { return FTagIsAnUpdate; }
  void SetTagIsAnUpdate(bool value) { FTagIsAnUpdate = value; }
  bool TagRestricted() const { return FTagRestricted; }
  void SetTagRestricted(bool value) { FTagRestricted = value; }
  // The CRC as read or set (0 .. 2^40); never computed here. Setting it marks it present.
  uint64_t CRCData() const { return FCRCData; }
  void SetCRCData(uint64_t value);
  TID3TagRestrictions& TagRestrictions() { return *FTagRestrictions; }
  const TID3TagRestrictions& TagRestrictions() const { return *FTagRestrictions; }
  // Assigning the owned objects is refused: "Cannot assign a %s to a %s".
  void SetTagRestrictions(const TID3TagRestrictions& value);

  virtual void Clear();

 private:
  bool FCRCDataPresent = false;
  bool FTagIsAnUpdate = false;
  bool FTagRestricted = false;
  uint64_t FCRCData = 0;
  std::unique_ptr<TID3TagRestrictions> FTagRestrictions;
};

// The 10-byte tag header (and footer) with its extended header.
class TID3Header {
 public:
  // The owning engine may be named; the header needs nothing of it and keeps no pointer to it.
  explicit TID3Header(TID3Engine* owner = nullptr);
  virtual ~TID3Header() = default;
  TID3Header(const TID3Header&) = delete;
  TID3Header& operator=(const TID3Header&) = delete;

  bool Experimental() const { return FExperimental; }
  void SetExperimental(bool value) { FExperimental = value; }
  bool ExtendedHeaderPresent() const { return FExtendedHeaderPresent; }
  void SetExtendedHeaderPresent(bool value) { FExtendedHeaderPresent = value; }
  bool FooterPresent() const { return FFooterPresent; }
  void SetFooterPresent(bool value) { FFooterPresent = value; }
  bool Unsynchronisation() const { return FUnsynchronisation; }
  void SetUnsynchronisation(bool value) { FUnsynchronisation = value; }
  uint8_t VersionNumber() const { return FVersionNumber; }
  void SetVersionNumber(uint8_t value) { FVersionNumber = value; }
  uint8_t VersionRevision() const { return FVersionRevision; }
  void SetVersionRevision(uint8_t value) { FVersionRevision = value; }
  TID3ExtendedHeader& ExtendedHeader() { return *FExtendedHeader; }
  const TID3ExtendedHeader& ExtendedHeader() const { return *FExtendedHeader; }
  void SetExtendedHeader(const TID3ExtendedHeader& value);  // refused, as above

  // The tag size: bytes after the 10-byte header up to the end of the padding, extended
  // header included, footer excluded. 0 after Clear, -1 after a failed load.
  int64_t Size() const { return FSize; }
  void SetSize(int64_t value) { FSize = value; }

  // Reads a header and its extended header at the stream's position; true when a header was
  // found. A header cut short by the end of the stream counts as not found. Bytes that cannot
  // be the extended header the flag announces are left to the frames, the flag cleared.
  virtual bool LoadFromStream(TStream& stream);
  // The two steps of LoadFromStream on bytes in memory: the 10 header bytes; then the extended
  // header at the start of the bytes after the header (after unsynchronisation was undone),
  // returning how many bytes it takes, or -1 when those bytes cannot be an extended header.
  bool ParseTagHeader(std::string_view bytes);
  int64_t ParseExtendedHeader(std::string_view body);
  // ID3v2.2 only: the header says the whole tag is compressed, by a scheme that was never
  // defined, so its frames cannot be read.
  bool TagCompressed() const { return FTagCompressed; }
  // Writes a header (followed by the extended header when flagged) or a footer and returns
  // the stream position of its size field, left as four zero bytes.
  virtual int64_t SaveToStream(TStream& stream, bool asFooter);
  virtual void Clear();

 private:
  bool FExperimental = false;
  bool FExtendedHeaderPresent = false;
  bool FFooterPresent = false;
  bool FUnsynchronisation = false;
  bool FTagCompressed = false;
  uint8_t FVersionNumber = 0;
  uint8_t FVersionRevision = 0;
  std::unique_ptr<TID3ExtendedHeader> FExtendedHeader;
  int64_t FSize = 0;
};

}  // namespace tagscope
