#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tagscope::journal {

// A journal's bytes: a magic, a commit mark, then what it is bound to and what it records,
// then a CRC-32 of everything but the mark and itself. A writer writes it whole with the mark
// set to '1', flushes it under a scratch name and only then gives it its name, before the file
// is touched. A journal without the mark ('0', as earlier writers left one before it was on
// the disk) is never applied: the file was untouched.
inline constexpr char kMagic[8] = {'I', 'D', '3', 'J', 'R', 'N', '2', '\n'};
inline constexpr size_t kMarkAt = sizeof kMagic;
inline constexpr char kUnmarked = '0', kMarked = '1';
// The most ranges a writer records for an in-place change; a reader takes journals of earlier
// writers with more.
inline constexpr size_t kMostRanges = 16;
// A copy over the file is checked block by block, each block aligned to the file's start.
inline constexpr int64_t kBlock = 512;
// No journal the writer makes comes near this: the old and new bytes of the largest tag, or
// two checksums per block of a large file.
inline constexpr int64_t kMaxJournal = int64_t(600) << 20;
// The most a journal of a file of `fileSize` bytes can hold: an in-place change records at
// most the old and new bytes of the file and a trailer, a copy two checksums per block of the
// old and the new content (a tag grows the file by less than 256 MiB).
int64_t MaxJournalFor(int64_t fileSize);
// Enough of a journal's start to tell whether it is marked and whose it is.
inline constexpr size_t kHeadSize = kMarkAt + 2 + 4 + 64;

enum class TKind : char { Undo = 'U', Copy = 'C' };

// A range an in-place change writes: its offset, the bytes it held before (those within the
// old size) and the bytes the change leaves there.
struct TRange {
  int64_t offset = 0;
  std::string old;
  std::string fresh;
};

struct TRecord {
  TKind kind = TKind::Undo;
  std::string identity;        // the file's device and number (volume serial and index)
  int64_t sizeBefore = 0;      // the file's size when the change began
  int64_t changed = 0;         // and its last change then (see TFileFacts::changed)
  int64_t sizeAfter = 0;       // the size the change gives it
  std::vector<TRange> ranges;  // Undo: what it overwrites
  std::string digits;          // Copy: the new content's name, as the writer's pattern has it
  std::vector<uint32_t> oldSums, newSums;  // Copy: per block of the old and the new content
  // The nonce of the change's mark on the file (see TChangeMark); empty where the file system
  // keeps no marks, and in journals of earlier writers.
  std::string nonce;
  // Whether the mark was flushed before the change began (a mark that names the journal's
  // place): only then does a file without it tell that the change had not begun or had ended.
  bool markFlushed = false;
};

uint32_t Checksum(const char* data, size_t size);

// The journal's bytes, unmarked.
std::string Encode(const TRecord& record);
// Whether the journal's start is that of one with the commit mark.
bool Marked(const std::string& head);
// Whether the bytes are the start of a journal (perhaps cut short) without the mark.
bool Unmarked(const std::string& head);
// The identity a journal's start names, or nullopt where it holds no readable one.
std::optional<std::string> IdentityOf(const std::string& head);
// The record a whole marked journal holds; nullopt when it does not check, or its fields
// contradict one another (sizes, ranges and checksum counts that no writer records).
std::optional<TRecord> Decode(const std::string& bytes);

}  // namespace tagscope::journal
