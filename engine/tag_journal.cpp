#include "engine/tag_journal.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "engine/stream_helpers.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// Layout: magic (8), kind (1), the target's own name (4-byte length, bytes), then for an undo
// journal the original size (8), the range count (4) and each range's offset (8), length (8)
// and bytes; for a copy journal the source's name (4-byte length, bytes) and the new size (8).
// A CRC-32 of everything before it ends the journal: a journal cut short by a crash before the
// file was touched does not check, and is dropped.
constexpr char kMagic[8] = {'I', 'D', '3', 'J', 'R', 'N', '1', '\n'};
constexpr char kUndo = 'U', kCopy = 'C';
// Names longer than this are shortened in the journal's name; the full name is inside.
constexpr size_t kNameRoom = 200;

std::string BaseName(const std::string& path) {
  return path.substr(ExtractFilePath(path).size());
}

void PutNumber(std::string& out, uint64_t value, int bytes) {
  uint8_t b[8];
  WritePlainBE(b, bytes, value);
  out.append(reinterpret_cast<const char*>(b), bytes);
}

void PutText(std::string& out, const std::string& text) {
  PutNumber(out, text.size(), 4);
  out += text;
}

// Reads a journal's fields in order; any read past the end marks it broken.
struct TJournalReader {
  const std::string& b;
  size_t at = 0;
  bool broken = false;
  uint64_t Number(int bytes) {
    if (b.size() - at < static_cast<size_t>(bytes)) {
      broken = true;
      return 0;
    }
    const uint64_t v = TByteReader(b).BEAt(at, bytes);
    at += bytes;
    return v;
  }
  std::string Bytes(uint64_t count) {
    if (b.size() - at < count) {
      broken = true;
      return std::string();
    }
    at += count;
    return b.substr(at - count, count);
  }
  std::string Text() { return Bytes(Number(4)); }
};

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

std::string ReadWhole(TFileSystem& files, const std::string& name) {
  auto stream = files.Open(name, TFileMode::fmOpenRead);
  stream->SetPosition(0);
  return stream->ReadString(stream->Size());
}

// The journal's content without its checksum, or "" when it is incomplete or damaged.
std::string Checked(const std::string& journal) {
  if (journal.size() < sizeof kMagic + 4 || std::memcmp(journal.data(), kMagic, sizeof kMagic))
    return std::string();
  const size_t body = journal.size() - 4;
  const auto stored = static_cast<uint32_t>(TByteReader(journal).BEAt(body, 4));
  return Checksum(journal.data(), body) == stored ? journal.substr(0, body) : std::string();
}

void CopyInto(TFileSystem& files, const std::string& source, TStream& file, int64_t size) {
  auto in = files.Open(source, TFileMode::fmOpenRead);
  if (in->Size() != size)
    throw EReadError(Format("The copy of the new content \"%s\" is incomplete", source.c_str()));
  file.SetPosition(0);
  in->SetPosition(0);
  if (size > 0) CopyStreamData(*in, file, size);
  file.SetSize(size);
  file.Flush();
}

void RemoveJournal(TFileSystem& files, const std::string& name) {
  if (!files.Remove(name))
    throw EWriteError(Format("Cannot remove the journal \"%s\". %s", name.c_str(),
                             LastSystemErrorText().c_str()));
}

}  // namespace

std::string TTagJournal::NameFor(const std::string& target) {
  const std::string resolved = ResolveFileName(target);
  return ExtractFilePath(resolved) + BaseName(resolved).substr(0, kNameRoom) + ".ID3JRN";
}

void TTagJournal::Create(const std::string& content) {
  std::string journal = content;
  PutNumber(journal, Checksum(journal.data(), journal.size()), 4);
  auto stream = FFiles->Open(FName, TFileMode::fmCreateNew);
  try {
    stream->WriteString(journal);
    stream->Flush();
  } catch (...) {
    stream.reset();
    FFiles->Remove(FName);
    throw;
  }
  stream.reset();
  SyncFolder(ExtractFilePath(FName));
}

TTagJournal TTagJournal::ForUndo(TFileSystem& files, const std::string& target, TStream& file,
                                 const std::vector<TRange>& ranges) {
  TTagJournal journal(files, NameFor(target));
  const int64_t size = file.Size();
  std::string content(kMagic, sizeof kMagic);
  content += kUndo;
  PutText(content, BaseName(ResolveFileName(target)));
  PutNumber(content, static_cast<uint64_t>(size), 8);
  PutNumber(content, ranges.size(), 4);
  for (const TRange& r : ranges) {
    // Bytes past the old end need nothing kept: cutting the file back removes them.
    const int64_t length = std::clamp<int64_t>(std::min(r.length, size - r.offset), 0, r.length);
    file.SetPosition(r.offset);
    const std::string bytes = length > 0 ? file.ReadString(length) : std::string();
    if (static_cast<int64_t>(bytes.size()) != length) throw EReadError(SReadError);
    PutNumber(content, static_cast<uint64_t>(r.offset), 8);
    PutText(content, bytes);
  }
  journal.Create(content);
  return journal;
}

TTagJournal TTagJournal::ForCopy(TFileSystem& files, const std::string& target,
                                 const std::string& source, int64_t size) {
  TTagJournal journal(files, NameFor(target));
  std::string content(kMagic, sizeof kMagic);
  content += kCopy;
  PutText(content, BaseName(ResolveFileName(target)));
  PutText(content, BaseName(source));
  PutNumber(content, static_cast<uint64_t>(size), 8);
  journal.Create(content);
  return journal;
}

void TTagJournal::Finish() {
  RemoveJournal(*FFiles, FName);
}

namespace {

void RollBack(TJournalReader& r, TStream& file, const std::string& name) {
  const auto size = static_cast<int64_t>(r.Number(8));
  const uint64_t count = r.Number(4);
  for (uint64_t i = 0; i < count && !r.broken; ++i) {
    const auto offset = static_cast<int64_t>(r.Number(8));
    const std::string bytes = r.Text();
    if (r.broken) break;
    file.SetPosition(offset);
    file.WriteString(bytes);
  }
  if (r.broken) throw EReadError(Format("The journal \"%s\" is damaged", name.c_str()));
  file.SetSize(size);
  file.Flush();
}

}  // namespace

std::string TTagJournal::Recover(TFileSystem& files, const std::string& target, TStream& file) {
  const std::string name = NameFor(target);
  if (!FileExists(name)) return std::string();
  const std::string content = Checked(ReadWhole(files, name));
  if (content.empty()) {
    // Cut short while it was being written: the file was not touched yet.
    RemoveJournal(files, name);
    return Format(
        "An unfinished change of \"%s\" had not touched it yet; its journal \"%s\" "
        "was removed",
        target.c_str(), name.c_str());
  }
  TJournalReader r{content, sizeof kMagic + 1};
  // A long name shortened alike belongs to another file: not ours to apply.
  if (r.Text() != BaseName(ResolveFileName(target))) return std::string();
  if (content[sizeof kMagic] == kUndo) {
    RollBack(r, file, name);
    RemoveJournal(files, name);
    return Format("An interrupted change of \"%s\" was rolled back from its journal \"%s\"",
                  target.c_str(), name.c_str());
  }
  const std::string source = ExtractFilePath(name) + r.Text();
  const auto size = static_cast<int64_t>(r.Number(8));
  if (r.broken || content[sizeof kMagic] != kCopy)
    throw EReadError(Format("The journal \"%s\" is damaged", name.c_str()));
  CopyInto(files, source, file, size);
  // The journal goes first: a copy left behind by a crash in between is only a leftover.
  RemoveJournal(files, name);
  files.Remove(source);
  return Format("An interrupted change of \"%s\" was completed from \"%s\"", target.c_str(),
                source.c_str());
}

}  // namespace tagscope
