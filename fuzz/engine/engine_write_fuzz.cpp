// Opens arbitrary bytes as an MP3 file through a writable tag engine and writes, rewrites and
// erases its tag with settings taken from the input's last three bytes. After every operation the
// file must be what the engine says it wrote: the tag as the engine holds it (a fresh engine
// reads back the same header and frames), followed by everything the file held outside the old
// tag, byte for byte, and the ID3v1 trailer when asked for. One change to the files may be made
// to fail; an operation that fails must leave the file exactly as it was, and no scratch file
// may stay behind. Or the process is taken as stopped at that change (nothing written from
// there on); the next engine that opens the file for writing must then find it whole, old or
// new, with nothing left beside it. A write that the read did not account for in full is refused
// and changes nothing, unless it is forced.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tests/engine/write_test_support.h"

namespace {

using namespace tagscope;

constexpr int64_t kHeaderSize = 10;  // also the footer's
constexpr int64_t kTrailerSize = 128;
// Frames that inflate to more than this are read but not written: the write adds nothing but
// time to such inputs.
constexpr int64_t kMaxFrameBytes = 8 * 1024 * 1024;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "engine_write_fuzz: invariant failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// A folder of our own in the temporary folder, made for each input and removed after it: the
// engine writes its scratch files beside the file it changes, so the folder must hold nothing
// but that file between operations.
const std::filesystem::path& Folder() {
  static const std::filesystem::path folder =
      std::filesystem::path(GetTempDir()) / ("tagscope-write-fuzz-" + std::to_string(::getpid()) +
                                             "-" + std::to_string(std::random_device{}()));
  return folder;
}

const std::string& InputFile() {
  static const std::string name = (Folder() / "input.mp3").string();
  return name;
}

std::string ReadAll() {
  TFileStream file(InputFile(), TFileMode::fmOpenRead);
  return file.ReadString(file.Size());
}

void CheckFolderHoldsOnlyTheFile() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
    Check(entry.path().filename() == "input.mp3", "a scratch file stayed behind");
    ++count;
  }
  Check(count == 1, "the file is gone");
}

// What the input asks the harness to do: the bits of its last three bytes.
struct Settings {
  explicit Settings(const uint8_t* data, size_t size) {
    bits = 0;
    for (size_t i = 0; i < 3 && i < size; ++i) bits |= unsigned{data[size - 1 - i]} << (8 * i);
  }
  bool Bit(int n) const { return (bits >> n) & 1; }
  unsigned Field(int from, int width) const { return (bits >> from) & ((1u << width) - 1); }
  unsigned bits;
};

bool Encrypting(const Settings& s) {
  return s.Bit(15);
}

// The change to any file (creating, writing, resizing, flushing, renaming) that fails, 0 for
// none: one failure somewhere in the operations of a run.
int FailAt(const Settings& s) {
  return s.Bit(22) ? static_cast<int>(s.Field(16, 6)) + 1 : 0;
}

// The process stops at the failing change instead of handling the failure.
bool Crashing(const Settings& s) {
  return s.Bit(21);
}

// An engine whose file operations go through a file system that fails on demand.
class FaultyEngine : public TID3Engine {
 public:
  using TID3Engine::SetFileSystem;
};

void XorBytes(TStream& s) {
  auto& m = static_cast<TMemoryStream&>(s);
  std::string bytes = m.Bytes();
  for (char& ch : bytes) ch = static_cast<char>(ch ^ 0x5A);
  m.SetBytes(bytes);
}

// Opens the file for writing, reading the tag at its start.
void Configure(TID3Engine& e, const Settings& s) {
  e.SetReadOnly(false);
  e.SetFullID3TagSeek(false);
  if (Encrypting(s)) {
    e.OnFrameDecrypt = [](TID3Frames_Item&, TStream& data) { XorBytes(data); };
    e.OnFrameEncrypt = [](TID3Frames_Item&, TStream& data) { XorBytes(data); };
  }
  e.SetFileName(InputFile());
  try {
    e.SetActive(true);
  } catch (const Exception&) {
    // A corrupt compressed frame: the tag stays read as far as it got.
  }
  Check(e.Active(), "the engine did not open an existing file");
}

// One frame as an engine holds it.
struct FrameCopy {
  std::string name, data;
  bool compress, dataLength, encrypted, fileAlter, grouping, readOnly, tagAlter, unsync, kept;
  uint8_t groupID, encryptionID;
};

std::vector<FrameCopy> CopyFrames(TID3Engine& e) {
  std::vector<FrameCopy> out;
  for (int i = 0; i < e.Frames().Count(); ++i) {
    const TID3Frames_Item& f = e.Frames().Items(i);
    out.push_back({f.Name(), f.Data().Bytes(), f.Compress(), f.DataLengthIndicator(), f.Encrypted(),
                   f.FileAlterDiscardable(), f.Grouping(), f.ReadOnly(), f.TagAlterDiscardable(),
                   f.UnSynchronisation(), f.KeptAsStored(), f.GroupID(), f.EncryptionID()});
  }
  return out;
}

int64_t FrameBytes(TID3Engine& e) {
  int64_t total = 0;
  for (int i = 0; i < e.Frames().Count(); ++i) total += e.Frames().Items(i).DataSize();
  return total;
}

// A written frame as a reader must see it again: version 3 has no frame unsynchronisation and
// no data length indicator of its own (a compressed frame carries its size instead).
void CheckFrameReadBack(const FrameCopy& w, const FrameCopy& r, uint8_t version, bool handler) {
  Check(r.name == w.name, "frame ID");
  Check(r.compress == w.compress && r.encrypted == w.encrypted && r.grouping == w.grouping &&
            r.fileAlter == w.fileAlter && r.readOnly == w.readOnly && r.tagAlter == w.tagAlter,
        "frame flags");
  Check(r.dataLength == (version >= 4 ? w.dataLength : w.compress), "data length flag");
  Check(r.unsync == (version >= 4 && w.unsync), "frame unsynchronisation flag");
  if (w.grouping) Check(r.groupID == w.groupID, "group ID");
  if (w.encrypted) Check(r.encryptionID == w.encryptionID, "encryption method");
  // A plain payload under the encryption flag that no handler encrypts is stored as it is
  // (compressed when flagged) and comes back as stored bytes: only its flags are compared.
  if (w.encrypted && !w.kept && !handler) return;
  Check(r.data == w.data, "frame payload");
}

void CheckHeaderReadBack(TID3Engine& w, TID3Engine& r) {
  const TID3Header& hw = w.Header();
  const TID3Header& hr = r.Header();
  Check(hr.VersionNumber() == hw.VersionNumber() && hr.VersionRevision() == hw.VersionRevision(),
        "version");
  Check(hr.Unsynchronisation() == hw.Unsynchronisation() &&
            hr.ExtendedHeaderPresent() == hw.ExtendedHeaderPresent() &&
            hr.Experimental() == hw.Experimental() && hr.FooterPresent() == hw.FooterPresent(),
        "header flags");
  Check(hr.Size() == hw.Size(), "tag size field");
  if (!hw.ExtendedHeaderPresent()) return;
  const TID3ExtendedHeader& ew = hw.ExtendedHeader();
  const TID3ExtendedHeader& er = hr.ExtendedHeader();
  Check(er.CRCDataPresent() == ew.CRCDataPresent(), "CRC flag");
  if (hw.VersionNumber() == 3) {
    // Version 3 records a CRC of four bytes and nothing else of these.
    if (ew.CRCDataPresent()) Check(er.CRCData() == (ew.CRCData() & 0xFFFFFFFF), "CRC");
    return;
  }
  if (ew.CRCDataPresent()) Check(er.CRCData() == ew.CRCData(), "CRC");
  Check(er.TagIsAnUpdate() == ew.TagIsAnUpdate(), "update flag");
  Check(er.TagRestricted() == ew.TagRestricted(), "restriction flag");
  if (ew.TagRestricted())
    Check(er.TagRestrictions().EncodeFlags() == ew.TagRestrictions().EncodeFlags(), "restrictions");
}

// Everything the file holds outside the engine's tag, in order.
std::string OutsideTag(const std::string& file, const TID3Engine& e) {
  const auto size = static_cast<int64_t>(file.size());
  const int64_t start = std::clamp<int64_t>(e.Status().place.offset, 0, size);
  const int64_t end = std::clamp<int64_t>(start + e.Status().place.size, start, size);
  return file.substr(0, start) + file.substr(end);
}

// The trailer goes over an old one that stands entirely behind the tag, else after the end.
void CheckTrailer(const std::string& before, const std::string& after, int64_t tagEnd) {
  const auto size = static_cast<int64_t>(before.size());
  const bool replaces = size >= kTrailerSize && size - kTrailerSize >= tagEnd &&
                        before.compare(size - kTrailerSize, 3, "TAG") == 0;
  const std::string kept = replaces ? before.substr(0, size - kTrailerSize) : before;
  Check(after.size() == kept.size() + kTrailerSize, "file size after the trailer");
  Check(after.compare(0, kept.size(), kept) == 0, "bytes before the trailer");
  Check(after.compare(kept.size(), 3, "TAG") == 0, "trailer signature");
}

// A failed operation leaves the file and the engine's record of its tag as they were.
void CheckUnchanged(TID3Engine& e, const std::string& before, int64_t offset, int64_t size) {
  Check(ReadAll() == before, "a failed operation changed the file");
  Check(e.Active(), "a failed operation closed the file");
  Check(e.Status().place.offset == offset && e.Status().place.size == size,
        "a failed operation moved the tag");
}

// Thrown out of an operation that ran into the simulated stop of the process.
struct Stopped {};

// The operation under way: the file before it, and what stood outside its tag.
struct Pending {
  std::string before, outside;
  bool trailer = false;
  bool narrowed = false;
};
Pending gPending;

void Begin(TID3Engine& e, const std::string& before, const std::string& outside) {
  gPending = {before, outside, e.WriteID3V1(),
              !e.Status().readReport.complete && e.Options().forceWrite};
}

// A forced change of a tag that the read did not account for keeps more than what stood outside
// the recorded tag when the tag runs past the file's end: only what the read made sense of is
// cut. `rest` is what the file holds after the new tag (or all of it after an erase).
bool KeptOutside(const std::string& rest, const std::string& before, const std::string& outside,
                 bool narrowed) {
  if (!narrowed) return rest == outside;
  return rest.size() >= outside.size() && rest.size() <= before.size() &&
         before.compare(before.size() - rest.size(), rest.size(), rest) == 0;
}

void WriteAndCheck(TID3Engine& e, const Settings& s, test::FaultyFileSystem& files) {
  const std::string before = ReadAll();
  const int64_t offset = e.Status().place.offset, size = e.Status().place.size;
  const std::string outside = OutsideTag(before, e);
  const bool mustRefuse = !e.Status().readReport.complete && !e.Options().forceWrite;
  const bool narrowed = !e.Status().readReport.complete && e.Options().forceWrite;
  Begin(e, before, outside);
  try {
    e.WriteTag();
  } catch (const ENotDurable&) {
    // Made in full; only its last flush failed: the file holds the new content.
    if (Crashing(s) && files.Failed()) throw Stopped{};
  } catch (const Exception&) {
    if (Crashing(s) && files.Failed()) throw Stopped{};
    CheckUnchanged(e, before, offset, size);
    return;
  }
  Check(!mustRefuse, "a write went ahead although the read did not account for the tag");
  const std::string after = ReadAll();
  const bool footer = e.Header().FooterPresent();
  const int64_t tagSize = e.Status().place.size;
  Check(e.Status().place.offset == 0, "the written tag does not stand at the start");
  Check(tagSize == kHeaderSize + e.Header().Size() + (footer ? kHeaderSize : 0),
        "tag extent and size field disagree");
  Check(!footer || e.Padding() == 0, "padding beside a footer");
  Check(static_cast<int64_t>(after.size()) >= tagSize, "the file is shorter than its tag");
  Check(after.compare(0, 3, "ID3") == 0, "tag signature");
  if (footer) Check(after.compare(tagSize - kHeaderSize, 3, "3DI") == 0, "footer signature");
  if (e.WriteID3V1()) {
    if (!narrowed) CheckTrailer(outside, after.substr(tagSize), 0);
  } else {
    Check(KeptOutside(after.substr(tagSize), before, outside, narrowed),
          "the bytes outside the tag changed");
  }
  // A fresh engine reads back what the writer held.
  TID3Engine r;
  bool readCleanly = true;
  r.SetReadOnly(true);
  if (Encrypting(s)) r.OnFrameDecrypt = e.OnFrameDecrypt;
  r.SetFileName(InputFile());
  try {
    r.SetActive(true);
  } catch (const Exception&) {
    readCleanly = false;
  }
  Check(readCleanly, "the written tag does not read back");
  Check(r.Status().place.offset == 0 && r.Status().place.size == tagSize, "tag extent read back");
  Check(r.Padding() == e.Padding(), "padding read back");
  CheckHeaderReadBack(e, r);
  const std::vector<FrameCopy> written = CopyFrames(e), read = CopyFrames(r);
  Check(read.size() == written.size(), "frame count read back");
  for (size_t i = 0; i < written.size(); ++i)
    CheckFrameReadBack(written[i], read[i], e.Header().VersionNumber(), Encrypting(s));
}

void EraseAndCheck(TID3Engine& e, const Settings& s, test::FaultyFileSystem& files) {
  const std::string before = ReadAll();
  const int64_t offset = e.Status().place.offset, size = e.Status().place.size;
  const bool cuts = e.Header().Size() > 0 && size > 0;
  const std::string outside = OutsideTag(before, e);
  // An erase with nothing to cut changes nothing, read in full or not.
  const bool mustRefuse = cuts && !e.Status().readReport.complete && !e.Options().forceWrite;
  const bool narrowed = !e.Status().readReport.complete && e.Options().forceWrite;
  Begin(e, before, outside);
  gPending.trailer = false;
  try {
    e.EraseTag();
  } catch (const ENotDurable&) {
    // Made in full; only its last flush failed: the file holds the new content.
    if (Crashing(s) && files.Failed()) throw Stopped{};
  } catch (const Exception&) {
    if (Crashing(s) && files.Failed()) throw Stopped{};
    CheckUnchanged(e, before, offset, size);
    return;
  }
  Check(!mustRefuse, "an erase went ahead although the read did not account for the tag");
  // A tag whose size field counts no byte is left where it is.
  Check(cuts ? KeptOutside(ReadAll(), before, outside, narrowed) : ReadAll() == before,
        "the erased file is not what stood outside its tag");
  if (cuts)
    Check(e.Status().place.offset == 0 && e.Status().place.size == 0,
          "the erased tag is still recorded");
}

void SaveTrailerAndCheck(TID3Engine& e, const Settings& s, test::FaultyFileSystem& files) {
  const std::string before = ReadAll();
  const int64_t offset = e.Status().place.offset, size = e.Status().place.size;
  Begin(e, before, OutsideTag(before, e));
  gPending.trailer = true;
  try {
    e.SaveID3V1();
  } catch (const ENotDurable&) {
    // Made in full; only its last flush failed: the file holds the new content.
    if (Crashing(s) && files.Failed()) throw Stopped{};
  } catch (const Exception&) {
    if (Crashing(s) && files.Failed()) throw Stopped{};
    CheckUnchanged(e, before, offset, size);
    return;
  }
  CheckTrailer(before, ReadAll(), offset + size);
}

// Changes the engine's tag as the settings say.
void Change(TID3Engine& e, const Settings& s) {
  TID3Header& h = e.Header();
  if (s.Bit(0)) h.SetVersionNumber(s.Bit(1) ? 4 : 3);
  if (s.Bit(2)) h.SetUnsynchronisation(!h.Unsynchronisation());
  if (s.Bit(3)) h.SetFooterPresent(!h.FooterPresent());
  if (s.Bit(4)) h.SetExtendedHeaderPresent(!h.ExtendedHeaderPresent());
  static const int64_t kPaddings[] = {0, 1, 37, 300};
  if (s.Bit(5)) e.SetPadding(kPaddings[s.Field(6, 2)]);
  e.SetWriteID3V1(s.Bit(8));
  if (s.Bit(23)) {
    // Other payload coding: compressed or not, unsynchronised or not (version 4), by turns.
    // Bytes kept as stored stay under the flags they were stored with.
    for (int i = 0; i < e.Frames().Count(); ++i) {
      TID3Frames_Item& f = e.Frames().Items(i);
      if (f.KeptAsStored()) continue;
      if (i % 2 == 0)
        f.SetCompress(!f.Compress());
      else
        f.SetUnSynchronisation(!f.UnSynchronisation());
    }
  }
  switch (s.Field(9, 2)) {
    case 0:
      break;
    case 1:
      e.SetTitle("T");
      break;
    case 2:
      e.SetArtist(std::string(200, '\xFF'));
      break;
    case 3:
      e.AddComment("d", std::string(60, 'c'), "eng");
      break;
  }
}

void Operations(FaultyEngine& e, const Settings& s, test::FaultyFileSystem& files) {
  if (s.Bit(11)) EraseAndCheck(e, s, files);
  CheckFolderHoldsOnlyTheFile();
  Change(e, s);
  WriteAndCheck(e, s, files);
  CheckFolderHoldsOnlyTheFile();
  if (s.Bit(12)) {
    // Shorter or longer by turns: in place into the old extent, or the whole file again.
    e.SetTitle(s.Bit(13) ? "" : std::string(40, 'x'));
    WriteAndCheck(e, s, files);
    CheckFolderHoldsOnlyTheFile();
  }
  if (s.Bit(14)) SaveTrailerAndCheck(e, s, files);
  EraseAndCheck(e, s, files);
  CheckFolderHoldsOnlyTheFile();
}

// What stood outside the tag with an ID3v1 trailer added: appended, or in place of the one that
// ended it.
bool TrailerKept(const std::string& rest, const std::string& outside) {
  const size_t n = outside.size();
  const auto trailer = static_cast<size_t>(kTrailerSize);
  if (rest.size() == n + trailer) return rest.compare(0, n, outside) == 0;
  return rest.size() == n && n >= trailer && outside.compare(n - trailer, 3, "TAG") == 0 &&
         rest.compare(0, n - trailer, outside, 0, n - trailer) == 0;
}

// After a stop the file is whole: what it was before the interrupted operation, or a tag the
// engine reads followed by what stood outside the old tag (and maybe a trailer).
void CheckPutRight() {
  TID3Engine next;
  next.SetReadOnly(false);
  next.SetFileName(InputFile());
  try {
    next.SetActive(true);
  } catch (const Exception&) {
  }
  Check(next.Active(), "the next writer could not open the file");
  const std::string now = ReadAll();
  if (now != gPending.before) {
    const std::string rest = OutsideTag(now, next);
    const bool whole =
        gPending.trailer
            ? TrailerKept(rest, gPending.outside)
            : KeptOutside(rest, gPending.before, gPending.outside, gPending.narrowed) ||
                  KeptOutside(now, gPending.before, gPending.outside, gPending.narrowed);
    Check(whole, "a stopped operation left neither the old nor a new file");
  }
  next.SetActive(false);
  CheckFolderHoldsOnlyTheFile();
}

void Run(const uint8_t* data, size_t size) {
  const Settings s(data, size);
  FaultyEngine e;
  auto files = std::make_shared<test::FaultyFileSystem>(FailAt(s), Crashing(s));
  e.SetFileSystem(files);
  Configure(e, s);
  if (FrameBytes(e) > kMaxFrameBytes) return;
  // Forced: what the read could not account for is dropped on purpose.
  e.Options().forceWrite = s.Bit(20);
  try {
    Operations(e, s, *files);
  } catch (const Stopped&) {
    e.SetActive(false);
    CheckPutRight();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::filesystem::create_directories(Folder());
  {
    TFileStream file(InputFile(), TFileMode::fmCreate);
    file.WriteBuffer(data, static_cast<int64_t>(size));
  }
  Run(data, size);
  std::filesystem::remove_all(Folder());
  return 0;
}
