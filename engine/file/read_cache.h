#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "tagscope/rtl/stream.h"

namespace tagscope {

struct TTrailerPlaces;

// Bytes of a file read with one read and kept: `bytes` are the file's from `offset` on, and
// `owner` keeps them alive for whoever views them.
struct TFileBytes {
  int64_t offset = 0;
  std::shared_ptr<const char[]> owner;
  std::string_view bytes;

  int64_t End() const { return offset + static_cast<int64_t>(bytes.size()); }
  // Whether the bytes hold [position, position + count), or all of it up to the file's end
  // (`fileSize`).
  bool Holds(int64_t position, int64_t count, int64_t fileSize) const;
  // The kept bytes from position on, count at most.
  std::string_view View(int64_t position, int64_t count) const;
};

// What the reads of an open file fetched, kept so that the next reader of the same bytes (the
// tag, then the audio facts behind it) does not read them again. Holds the first bytes of the
// file and the tag with a little of what follows it; cleared whenever the file may change.
class TReadCache {
 public:
  // The bytes [position, position + count) of the file (fewer at its end): from kept bytes
  // when they hold them, else read with one read of count + `ahead` bytes that are kept. Bytes
  // kept from before position are copied rather than read again.
  TFileBytes Read(TStream& file, int64_t fileSize, int64_t position, int64_t count,
                  int64_t ahead = 0);
  // The kept bytes that hold [position, position + count), or nullptr.
  const TFileBytes* Find(int64_t position, int64_t count) const;
  // Copies the kept bytes from position on, count at most, into `into`; returns how many.
  int64_t CopyKept(int64_t position, char* into, int64_t count) const;
  // Keeps bytes read elsewhere (of the file of the last Read).
  void Keep(const TFileBytes& bytes);
  int64_t FileSize() const { return FFileSize; }
  // The blocks behind the audio as last found above `floor` in this file, or nullptr: the audio
  // facts and the blocks' contents are read from one look at them.
  std::shared_ptr<const TTrailerPlaces> Trailers(int64_t floor) const {
    return FTrailersFloor == floor ? FTrailers : nullptr;
  }
  void KeepTrailers(int64_t floor, std::shared_ptr<const TTrailerPlaces> places);
  void Clear();

 private:
  std::vector<TFileBytes> FKept;
  int64_t FFileSize = -1;
  std::shared_ptr<const TTrailerPlaces> FTrailers;
  int64_t FTrailersFloor = -1;
};

// A file read through a cache: reads of kept bytes come from memory, the others from the file.
// A read within the file's last kTail bytes reads and keeps all of them: the audio facts, the
// ID3v1 trailer and the blocks behind the audio each look there. For reading only; writing
// raises.
class TCachedReadStream : public TStream {
 public:
  static constexpr int64_t kTail = 4096;

  TCachedReadStream(TStream& file, TReadCache& cache) : FFile(file), FCache(cache) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override;
  // The kept bytes from position on, viewed without a copy: all that is kept with
  // [position, position + count) (fewer at the file's end), none when those are not all kept.
  std::optional<TFileBytes> Kept(int64_t position, int64_t count) const;

 private:
  TStream& FFile;
  TReadCache& FCache;
  int64_t FPosition = 0;
};

}  // namespace tagscope
