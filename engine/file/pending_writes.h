#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// A change to a stream gathered before it is made: writes through this stream are kept in
// memory, reads see them over the stream's own bytes, and Apply makes them. A journal can then
// record both what a change overwrites and what it writes before the file is touched.
class TPendingWrites : public TStream {
 public:
  struct TWrite {
    int64_t offset;
    std::string bytes;
    std::string old;  // after KeepChangesOnly: what the base holds there (none past its end)
  };

  explicit TPendingWrites(TStream& base);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Only growth is gathered: an in-place change never cuts its file.
  void SetSize(int64_t size) override;
  int64_t Size() override { return FSize; }

  const std::vector<TWrite>& Writes() const { return FWrites; }
  // Makes the gathered writes in `file` (the base stream, or one standing in for it), in order.
  void Apply(TStream& file) const;
  // Replaces the gathered writes by their net effect, without the bytes the base already holds:
  // a change rewritten whole but differing in a few bytes is written (and journalled) as those.
  // The writes are then apart from each other, in order, each with the bytes it overwrites, and
  // at most `mostWrites` of them: a change scattered wider is joined across its narrowest gaps
  // (the bytes between written again as they are).
  void KeepChangesOnly(size_t mostWrites);
  // After KeepChangesOnly: when the writes lie within one aligned block of `block` bytes and
  // leave the size as it is, makes them one write (the bytes between them written again as
  // they are); false, nothing changed, otherwise.
  bool JoinWithin(int64_t block);

 private:
  // The base's bytes from `from` up to `to` or its end.
  std::string ReadBase(int64_t from, int64_t to) const;
  // Writes `first` to `last` as one, with the base's bytes between them.
  TWrite Joined(size_t first, size_t last) const;
  void JoinAcrossGaps(size_t mostWrites);

  TStream& FBase;
  int64_t FBaseSize;
  int64_t FSize;
  int64_t FPosition = 0;
  std::vector<TWrite> FWrites;
  bool FChangesOnly = false;
};

}  // namespace tagscope
