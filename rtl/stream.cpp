#include "tagscope/rtl/stream.h"

#include <algorithm>
#include <cstring>

#include "tagscope/rtl/exception.h"

namespace tagscope {

int64_t TStream::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

int64_t TStream::ReadAt(int64_t position, void* buffer, int64_t count) {
  Seek(position, TSeekOrigin::soBeginning);
  return Read(buffer, count);
}

void TStream::Zero(int64_t position, int64_t count) {
  static const std::string zeros(64 * 1024, '\0');
  SetPosition(position);
  for (int64_t left = count; left > 0;) {
    const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(zeros.size()));
    WriteBuffer(zeros.data(), n);
    left -= n;
  }
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError(SWriteError);
}

std::string TStream::ReadString(int64_t count) {
  std::string result;
  if (count <= 0) return result;
  const int64_t available = std::max<int64_t>(0, Size() - Position());
  result.resize(static_cast<size_t>(std::min(count, available)));
  result.resize(static_cast<size_t>(Read(result.data(), static_cast<int64_t>(result.size()))));
  return result;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || FPosition >= size) return 0;
  const int64_t n = std::min(count, size - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = FPosition + count;
  if (end > Size()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = FPosition;
  if (origin == TSeekOrigin::soEnd) base = Size();
  FPosition = std::max<int64_t>(0, base + offset);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
  FPosition = std::min(FPosition, Size());
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::SetBytes(std::string bytes) {
  FData = std::move(bytes);
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  FData = source.ReadString(source.Size() - source.Position());
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  dest.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

}  // namespace tagscope

namespace tagscope {

TStream::TAttribute TStream::GetAttribute(const std::string&, std::string&) {
  return TAttribute::Unsupported;
}

bool TStream::SetAttribute(const std::string&, const std::string&) {
  return false;
}

void TStream::RemoveAttribute(const std::string&) {}

}  // namespace tagscope
