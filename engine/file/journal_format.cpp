#include "engine/file/journal_format.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope::journal {

namespace {

// Far beyond any file the engine writes, and far from overflowing a sum of two.
constexpr int64_t kMaxFileSize = int64_t(1) << 50;
// Each range takes at least 24 bytes of a journal; earlier writers recorded a range for every
// stretch that changed.
constexpr uint32_t kMaxRanges = 1 << 16;
constexpr size_t kMaxIdentity = 64;
constexpr int64_t kMaxGrowth = 128;
constexpr size_t kMaxNonce = 64;

void Put(std::string& out, uint64_t value, int bytes) {
  uint8_t b[8];
  WritePlainBE(b, bytes, value);
  out.append(reinterpret_cast<const char*>(b), bytes);
}

void PutText(std::string& out, const std::string& text) {
  Put(out, text.size(), 4);
  out += text;
}

void PutSums(std::string& out, const std::vector<uint32_t>& sums) {
  Put(out, sums.size(), 4);
  for (const uint32_t s : sums) Put(out, s, 4);
}

// Reads fields in order; a read past the end or a value out of its bounds marks it broken.
struct TReader {
  const std::string& b;
  size_t at;
  size_t end = b.size();  // the fields end here
  bool broken = false;
  uint64_t Number(int bytes) {
    if (broken || end - at < static_cast<size_t>(bytes)) {
      broken = true;
      return 0;
    }
    const uint64_t v = TByteReader(b).BEAt(at, bytes);
    at += bytes;
    return v;
  }
  int64_t Size() {
    const uint64_t v = Number(8);
    if (v > static_cast<uint64_t>(kMaxFileSize)) broken = true;
    return broken ? 0 : static_cast<int64_t>(v);
  }
  std::string Bytes(uint64_t count) {
    if (broken || end - at < count) {
      broken = true;
      return std::string();
    }
    at += count;
    return b.substr(at - count, count);
  }
  std::string Text(size_t most) {
    const uint64_t n = Number(4);
    if (n > most) broken = true;
    return Bytes(n);
  }
  std::vector<uint32_t> Sums(uint64_t expected) {
    if (Number(4) != expected) broken = true;
    std::vector<uint32_t> sums;
    for (uint64_t i = 0; i < expected && !broken; ++i)
      sums.push_back(static_cast<uint32_t>(Number(4)));
    return sums;
  }
};

uint64_t BlockCount(int64_t size) {
  return static_cast<uint64_t>((size + kBlock - 1) / kBlock);
}

// Whether an in-place change's ranges fit its sizes: within the new size, which only they
// make larger than the old, and each with exactly the old bytes that lie within the old size.
bool RangesFit(const TRecord& r) {
  // An in-place change adds at most an ID3v1 trailer to its file, and never cuts it.
  if (r.ranges.empty() || r.sizeAfter < r.sizeBefore || r.sizeAfter - r.sizeBefore > kMaxGrowth)
    return false;
  int64_t end = r.sizeBefore;
  for (const TRange& range : r.ranges) {
    const auto length = static_cast<int64_t>(range.fresh.size());
    if (length <= 0 || range.offset + length > r.sizeAfter) return false;
    const int64_t old = std::clamp<int64_t>(r.sizeBefore - range.offset, 0, length);
    if (static_cast<int64_t>(range.old.size()) != old) return false;
    end = std::max(end, range.offset + length);
  }
  return end == r.sizeAfter;
}

// The checksum of a journal's first `size` bytes, the mark left out.
uint32_t SumWithoutMark(const std::string& bytes, size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(kMarkAt));
  for (size_t at = kMarkAt + 1; at < size;) {
    const uInt n = static_cast<uInt>(std::min<size_t>(size - at, 1u << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + at), n);
    at += n;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace

int64_t MaxJournalFor(int64_t fileSize) {
  const int64_t size = std::clamp<int64_t>(fileSize, 0, kMaxFileSize);
  return std::min(kMaxJournal, 2 * size + (int64_t(4) << 20));
}

uint32_t Checksum(const char* data, size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  while (size > 0) {
    const uInt n = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data), n);
    data += n;
    size -= n;
  }
  return static_cast<uint32_t>(crc);
}

std::string Encode(const TRecord& r) {
  std::string out(kMagic, sizeof kMagic);
  out += kUnmarked;
  out += static_cast<char>(r.kind);
  PutText(out, r.identity);
  Put(out, static_cast<uint64_t>(r.sizeBefore), 8);
  Put(out, static_cast<uint64_t>(r.changed), 8);
  Put(out, static_cast<uint64_t>(r.sizeAfter), 8);
  if (r.kind == TKind::Undo) {
    Put(out, r.ranges.size(), 4);
    for (const TRange& range : r.ranges) {
      Put(out, static_cast<uint64_t>(range.offset), 8);
      Put(out, range.old.size(), 8);
      out += range.old;
      Put(out, range.fresh.size(), 8);
      out += range.fresh;
    }
  } else {
    out += r.digits;
    PutSums(out, r.oldSums);
    PutSums(out, r.newSums);
  }
  // Last, so that journals without it read as before.
  if (!r.nonce.empty()) {
    PutText(out, r.nonce);
    out += r.markFlushed ? '1' : '0';
  }
  Put(out, SumWithoutMark(out, out.size()), 4);
  return out;
}

bool Marked(const std::string& head) {
  return head.size() > kMarkAt && std::memcmp(head.data(), kMagic, sizeof kMagic) == 0 &&
         head[kMarkAt] == kMarked;
}

bool Unmarked(const std::string& head) {
  const size_t n = std::min(head.size(), sizeof kMagic);
  return std::memcmp(head.data(), kMagic, n) == 0 &&
         (head.size() <= kMarkAt || head[kMarkAt] == kUnmarked);
}

std::optional<std::string> IdentityOf(const std::string& head) {
  if (head.size() <= kMarkAt || std::memcmp(head.data(), kMagic, sizeof kMagic) != 0)
    return std::nullopt;
  TReader r{head, kMarkAt + 2};
  const std::string identity = r.Text(kMaxIdentity);
  if (r.broken) return std::nullopt;
  return identity;
}

std::optional<TRecord> Decode(const std::string& bytes) {
  if (!Marked(bytes) || bytes.size() < kMarkAt + 2 + 4) return std::nullopt;
  const size_t body = bytes.size() - 4;
  if (SumWithoutMark(bytes, body) != TByteReader(bytes).BEAt(body, 4)) return std::nullopt;
  // The fields are read where they stand, without a copy of a journal that may be large.
  const std::string& content = bytes;
  TReader r{content, kMarkAt + 1, body};
  TRecord record;
  const char kind = static_cast<char>(r.Number(1));
  if (kind != static_cast<char>(TKind::Undo) && kind != static_cast<char>(TKind::Copy))
    return std::nullopt;
  record.kind = static_cast<TKind>(kind);
  record.identity = r.Text(kMaxIdentity);
  record.sizeBefore = r.Size();
  record.changed = static_cast<int64_t>(r.Number(8));
  record.sizeAfter = r.Size();
  if (record.kind == TKind::Undo) {
    const uint64_t count = r.Number(4);
    if (count > kMaxRanges) return std::nullopt;
    for (uint64_t i = 0; i < count && !r.broken; ++i) {
      TRange range;
      range.offset = r.Size();
      range.old = r.Bytes(r.Number(8));
      range.fresh = r.Bytes(r.Number(8));
      record.ranges.push_back(std::move(range));
    }
    if (!r.broken && !RangesFit(record)) return std::nullopt;
  } else {
    record.digits = r.Bytes(8);
    if (!beside::ValidDigits(record.digits)) return std::nullopt;
    record.oldSums = r.Sums(BlockCount(record.sizeBefore));
    record.newSums = r.Sums(BlockCount(record.sizeAfter));
  }
  if (!r.broken && r.at != body) {
    record.nonce = r.Text(kMaxNonce);
    const char flushed = static_cast<char>(r.Number(1));
    if (record.nonce.empty() || (flushed != '0' && flushed != '1')) return std::nullopt;
    record.markFlushed = flushed == '1';
  }
  if (r.broken || r.at != body) return std::nullopt;
  return record;
}

}  // namespace tagscope::journal
