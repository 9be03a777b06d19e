#include "engine/file/read_cache.h"

#include <algorithm>
#include <cstring>

#include "tagscope/rtl/exception.h"

namespace tagscope {

bool TFileBytes::Holds(int64_t position, int64_t count, int64_t fileSize) const {
  const int64_t end = std::min(position + count, fileSize);
  return owner && position >= offset && end <= End();
}

std::string_view TFileBytes::View(int64_t position, int64_t count) const {
  const auto from = static_cast<size_t>(position - offset);
  return bytes.substr(std::min(from, bytes.size()), static_cast<size_t>(count));
}

const TFileBytes* TReadCache::Find(int64_t position, int64_t count) const {
  for (const TFileBytes& kept : FKept)
    if (kept.Holds(position, count, FFileSize)) return &kept;
  return nullptr;
}

TFileBytes TReadCache::Read(TStream& file, int64_t fileSize, int64_t position, int64_t count,
                            int64_t ahead) {
  if (FFileSize != fileSize) Clear();
  FFileSize = fileSize;
  if (const TFileBytes* kept = Find(position, count))
    return {position, kept->owner, kept->View(position, count)};
  const int64_t total = std::clamp<int64_t>(fileSize - position, 0, count + ahead);
  // Filled by the copy and the read below: not zeroed first.
  std::shared_ptr<char[]> buffer =
      std::make_unique_for_overwrite<char[]>(static_cast<size_t>(std::max<int64_t>(total, 1)));
  // Kept bytes that begin the range are copied, and the read starts where they end.
  const int64_t have = CopyKept(position, buffer.get(), total);
  const int64_t got =
      total > have ? file.ReadAt(position + have, buffer.get() + have, total - have) : 0;
  const auto size = static_cast<size_t>(have + std::max<int64_t>(got, 0));
  TFileBytes read{position, buffer, std::string_view(buffer.get(), size)};
  if (FKept.empty()) FKept.reserve(4);  // the first read, the last bytes, a large tag's
  FKept.push_back(read);
  read.bytes = read.bytes.substr(0, static_cast<size_t>(std::min(count, total)));
  return read;
}

int64_t TReadCache::CopyKept(int64_t position, char* into, int64_t count) const {
  const TFileBytes* prefix = nullptr;
  for (const TFileBytes& kept : FKept)
    if (kept.offset <= position && kept.End() > position && (!prefix || kept.End() > prefix->End()))
      prefix = &kept;
  const int64_t have = prefix ? std::min(prefix->End() - position, count) : 0;
  if (have > 0) std::memcpy(into, prefix->View(position, have).data(), static_cast<size_t>(have));
  return std::max<int64_t>(have, 0);
}

void TReadCache::Keep(const TFileBytes& bytes) {
  if (!bytes.bytes.empty()) FKept.push_back(bytes);
}

void TReadCache::KeepTrailers(int64_t floor, std::shared_ptr<const TTrailerPlaces> places) {
  FTrailers = std::move(places);
  FTrailersFloor = floor;
}

void TReadCache::Clear() {
  FKept.clear();
  FFileSize = -1;
  FTrailers.reset();
  FTrailersFloor = -1;
}

int64_t TCachedReadStream::ReadAt(int64_t position, void* buffer, int64_t count) {
  const TFileBytes* kept = FCache.Find(position, count);
  const int64_t size = Size();
  const int64_t tail = std::max<int64_t>(size - kTail, 0);
  if (!kept && position >= tail && count <= kTail) {
    FCache.Read(FFile, size, tail, size - tail);
    kept = FCache.Find(position, count);
  }
  if (kept) {
    const std::string_view view = kept->View(position, count);
    if (!view.empty()) std::memcpy(buffer, view.data(), view.size());
    return static_cast<int64_t>(view.size());
  }
  return FFile.ReadAt(position, buffer, count);
}

std::optional<TFileBytes> TCachedReadStream::Kept(int64_t position, int64_t count) const {
  const TFileBytes* kept = FCache.Find(position, count);
  if (!kept) return std::nullopt;
  return TFileBytes{position, kept->owner, kept->View(position, kept->End() - position)};
}

int64_t TCachedReadStream::Read(void* buffer, int64_t count) {
  const int64_t n = ReadAt(FPosition, buffer, count);
  FPosition += std::max<int64_t>(n, 0);
  return n;
}

int64_t TCachedReadStream::Write(const void*, int64_t) {
  throw EWriteError(SWriteError);
}

int64_t TCachedReadStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                       : origin == TSeekOrigin::soCurrent ? FPosition
                                                          : Size();
  FPosition = std::max<int64_t>(base + offset, 0);
  return FPosition;
}

void TCachedReadStream::SetSize(int64_t) {
  throw EWriteError(SWriteError);
}

int64_t TCachedReadStream::Size() {
  return FCache.FileSize() >= 0 ? FCache.FileSize() : FFile.Size();
}

}  // namespace tagscope
