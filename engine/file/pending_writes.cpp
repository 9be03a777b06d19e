#include "engine/file/pending_writes.h"

#include <algorithm>
#include <cstring>

#include "tagscope/rtl/exception.h"

namespace tagscope {

TPendingWrites::TPendingWrites(TStream& base)
    : FBase(base), FBaseSize(base.Size()), FSize(FBaseSize) {}

int64_t TPendingWrites::Read(void* buffer, int64_t count) {
  count = std::min(count, FSize - FPosition);
  if (count <= 0) return 0;
  char* out = static_cast<char*>(buffer);
  std::memset(out, 0, static_cast<size_t>(count));
  const int64_t fromBase = std::clamp<int64_t>(FBaseSize - FPosition, 0, count);
  if (fromBase > 0 && FBase.ReadAt(FPosition, out, fromBase) != fromBase)
    throw EReadError(SReadError);
  // Later writes cover earlier ones.
  for (const TWrite& w : FWrites) {
    const int64_t from = std::max(w.offset, FPosition);
    const int64_t to = std::min(w.offset + static_cast<int64_t>(w.bytes.size()), FPosition + count);
    if (from < to)
      std::memcpy(out + (from - FPosition), w.bytes.data() + (from - w.offset),
                  static_cast<size_t>(to - from));
  }
  FPosition += count;
  return count;
}

int64_t TPendingWrites::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  FWrites.push_back(
      {FPosition, std::string(static_cast<const char*>(buffer), static_cast<size_t>(count))});
  FPosition += count;
  FSize = std::max(FSize, FPosition);
  return count;
}

int64_t TPendingWrites::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                       : origin == TSeekOrigin::soCurrent ? FPosition
                                                          : FSize;
  if (base + offset < 0) throw EStreamError(SInvalidStreamOp);
  FPosition = base + offset;
  return FPosition;
}

void TPendingWrites::SetSize(int64_t size) {
  if (size < FSize) throw EStreamError(SInvalidStreamOp);
  FSize = size;
}

void TPendingWrites::Apply(TStream& file) const {
  for (const TWrite& w : FWrites) {
    file.SetPosition(w.offset);
    file.WriteString(w.bytes);
  }
  if (file.Size() < FSize) file.SetSize(FSize);
}

}  // namespace tagscope
