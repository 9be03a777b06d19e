// Journals found beside a file: applied only to the file and state they were made for, never
// followed to another file, never blocking writes for good. Journals are built byte by byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "engine/file/pending_writes.h"
#include "engine/file/tag_journal.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;
namespace fs = std::filesystem;

const std::string kAudio = PatternBytes(20000, 5);

std::string Song(const std::string& title, uint32_t padding = 200) {
  return Tag(4, 0, FrameV4("TIT2", Text(title)) + FrameV4("TPE1", Text("Artist")), padding) +
         kAudio;
}

std::string BE(uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

std::string Identity(const std::string& name) {
  return TFileStream(name, TFileMode::fmOpenRead).Identity();
}

// A journal as the writer lays it out: magic, mark, kind, identity, sizes and time, the
// kind's own fields, and a CRC-32 of all but the mark.
std::string Journal(char kind, const std::string& identity, int64_t before, int64_t after,
                    const std::string& fields, bool marked = true, int64_t changed = 0) {
  std::string j = std::string("ID3JRN2\n") + (marked ? '1' : '0') + kind + BE(identity.size(), 4) +
                  identity + BE(before, 8) + BE(changed, 8) + BE(after, 8) + fields;
  std::string summed = j;
  summed.erase(8, 1);
  return j + BE(crc32(0L, reinterpret_cast<const Bytef*>(summed.data()),
                      static_cast<uInt>(summed.size())),
                4);
}

// An undo journal's one range: offset, old bytes, new bytes.
std::string Range(int64_t offset, const std::string& old, const std::string& fresh) {
  return BE(1, 4) + BE(offset, 8) + BE(old.size(), 8) + old + BE(fresh.size(), 8) + fresh;
}

// A copy journal's checksums of one content: their count, then one per 512-byte block.
std::string Sums(const std::string& bytes) {
  std::string out = BE((bytes.size() + 511) / 512, 4);
  for (size_t at = 0; at < bytes.size(); at += 512) {
    const std::string block = bytes.substr(at, 512);
    out +=
        BE(crc32(0L, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(block.size())),
           4);
  }
  return out;
}

std::string Open(TestEngine& e, const std::string& name) {
  e.Open(name);
  return e.Status().recoveryNote;
}

std::vector<std::string> Stale(const ScratchFolder& dir) {
  std::vector<std::string> names;
  for (const std::string& n : dir.Files())
    if (n.find(".stale") != std::string::npos) names.push_back(n);
  return names;
}

// A write through the engine, stopped once its journal is marked and the first byte it changes
// is written.
void StoppedInPlaceWrite(const std::string& name, const std::string& newTitle) {
  TFileStream file(name, TFileMode::fmOpenReadWrite);
  const std::string now = ReadFile(name);
  const std::string fresh = Song(newTitle).substr(0, now.size() - kAudio.size());
  TPendingWrites change(file);
  change.WriteString(fresh);
  TTagJournal::ForUndo(BesideOf(name), file, change);
  const size_t first = static_cast<size_t>(
      std::mismatch(fresh.begin(), fresh.end(), now.begin()).first - fresh.begin());
  file.SetPosition(0);
  file.WriteString(fresh.substr(0, first + 1));
}

TEST(JournalBinding, AStaleJournalIsNotRolledBackOverAnotherProgramsLaterChange) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  StoppedInPlaceWrite(name, "New");
  // Another tagger grows the tag afterwards, in the same file.
  const std::string other = Song(std::string(3000, 'O')) + "more audio";
  {
    TFileStream file(name, TFileMode::fmOpenReadWrite);
    file.WriteString(other);
  }
  TestEngine e;
  const std::string note = Open(e, name);
  EXPECT_EQ(ReadFile(name), other);
  EXPECT_NE(note.find("not applied"), std::string::npos) << note;
  EXPECT_NE(note.find(name), std::string::npos) << note;
  ASSERT_EQ(Stale(dir).size(), 1u);
  EXPECT_NE(note.find(Stale(dir)[0]), std::string::npos) << note;
  EXPECT_FALSE(NameTaken(TTagJournal::NameFor(name)));
}

TEST(JournalBinding, AJournalCopiedWithItsFolderIsNotAppliedToTheCopy) {
  ScratchFolder dir, copy;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  StoppedInPlaceWrite(name, "New");
  const std::string torn = ReadFile(name);
  const std::string copied = copy.Put("a.mp3", torn);
  if (Identity(copied) == Identity(name)) GTEST_SKIP() << "this file system tells no files apart";
  copy.Put("a.mp3.ID3JRN", ReadFile(TTagJournal::NameFor(name)));
  TestEngine e;
  const std::string note = Open(e, copied);
  EXPECT_EQ(ReadFile(copied), torn);
  EXPECT_NE(note.find("another file"), std::string::npos) << note;
  // The original, still bound to its journal, is put back.
  TestEngine o;
  const std::string restored = Open(o, name);
  EXPECT_TRUE(ReadFile(name) == Song("Old")) << restored;
}

TEST(JournalBinding, AJournalLeftThroughOneHardLinkDoesNotUndoALaterWriteThroughAnother) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  const std::string other = dir.Path("b.mp3");
  std::error_code error;
  fs::create_hard_link(name, other, error);
  if (error) GTEST_SKIP() << "no hard links here";
  StoppedInPlaceWrite(name, "New");
  {
    TestEngine e;
    e.Open(other);  // finds no journal of its own name
    e.SetTitle("Later");
    e.WriteTag();
  }
  const std::string later = ReadFile(other);
  TestEngine e;
  const std::string note = Open(e, name);
  EXPECT_EQ(ReadFile(name), later);
  EXPECT_EQ(e.Title(), "Later");
  EXPECT_NE(note.find("changed since"), std::string::npos) << note;
}

TEST(JournalBinding, NothingInACraftedJournalResizesTheFile) {
  ScratchFolder dir;
  const std::string original = Song("Old");
  const auto size = static_cast<int64_t>(original.size());
  const std::string tagStart = original.substr(0, 10);
  struct Case {
    const char* what;
    int64_t before, after;
    std::string fields;
  };
  const Case cases[] = {
      {"cut to nothing", 0, size, Range(0, "", original)},
      {"grown to 5 GB", int64_t(5) << 30, int64_t(5) << 30, Range(0, tagStart, tagStart)},
      {"an offset past any file", size, size + 10, Range(int64_t(1) << 62, "", "0123456789")},
      {"growth beyond a trailer", size, size + 4096, Range(size, "", std::string(4096, 'G'))},
      {"ranges and sizes at odds", size, size, BE(1, 4) + BE(0, 8) + BE(999, 8) + "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = dir.Put("a.mp3", original);
    dir.Put("a.mp3.ID3JRN", Journal('U', Identity(name), c.before, c.after, c.fields));
    TestEngine e;
    const std::string note = Open(e, name);
    EXPECT_EQ(ReadFile(name), original);
    EXPECT_NE(note.find("a.mp3.ID3JRN"), std::string::npos) << note;
    // Later writes are not held up.
    e.SetTitle("Next");
    EXPECT_NO_THROW(e.WriteTag());
    e.SetActive(false);
    for (const std::string& n : Stale(dir)) fs::remove(dir.Path(n));
  }
}

TEST(JournalBinding, AnUnmarkedJournalIsIgnoredByReadersAndRemovedByTheNextWriter) {
  ScratchFolder dir;
  const std::string original = Song("Old");
  const std::string name = dir.Put("a.mp3", original);
  const std::string cut = Journal('U', Identity(name), 0, 10, Range(0, "", "0123456789"), false);
  dir.Put("a.mp3.ID3JRN", cut.substr(0, cut.size() / 2));
  TestEngine r;
  r.Open(name, true);
  EXPECT_FALSE(r.Status().journalPending);
  r.SetActive(false);
  TestEngine e;
  const std::string note = Open(e, name);
  EXPECT_NE(note.find("had not touched it"), std::string::npos) << note;
  EXPECT_EQ(ReadFile(name), original);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(JournalBinding, ACopyJournalTakesOnlyTheWritersOwnNewFileOfTheRecordedContent) {
  ScratchFolder dir;
  const std::string original = Song("Old");
  const std::string name = dir.Put("a.mp3", original);
  const std::string fresh = Song("New", 2000);
  const std::string journal = Journal('C', Identity(name), original.size(), fresh.size(),
                                      "0123ABCD" + Sums(original) + Sums(fresh));
  // The new content changed after the journal was made: not taken. (The file is written after
  // its journal, as a writer writes it.)
  dir.Put("a.mp3.ID3TMP0123ABCD.tmp", fresh.substr(0, fresh.size() - 1) + "!");
  dir.Put("a.mp3.ID3JRN", journal);
  dir.Put("a.mp3", fresh.substr(0, 1024) + original.substr(1024));
  {
    TestEngine e;
    const std::string note = Open(e, name);
    EXPECT_EQ(ReadFile(name), fresh.substr(0, 1024) + original.substr(1024));
    EXPECT_NE(note.find("not the new content"), std::string::npos) << note;
  }
  for (const std::string& n : Stale(dir)) fs::remove(dir.Path(n));
  // The right one, the copy stopped after its first blocks: completed.
  dir.Put("a.mp3.ID3TMP0123ABCD.tmp", fresh);
  dir.Put("a.mp3.ID3JRN", journal);
  dir.Put("a.mp3", fresh.substr(0, 1024) + original.substr(1024));
  TestEngine e;
  const std::string note = Open(e, name);
  EXPECT_NE(note.find("completed"), std::string::npos) << note;
  EXPECT_EQ(ReadFile(name), fresh);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

// Renames nothing that stands under a journal's name, as a folder that is not the writer's
// own refuses it.
class NoMovingAside : public FaultyFileSystem {
 public:
  void RenameIn(const TFolder& folder, const std::string& from, const std::string& to) override {
    if (from.find(".ID3JRN") != std::string::npos) throw EWriteError("Operation not permitted");
    FaultyFileSystem::RenameIn(folder, from, to);
  }
};

TEST(JournalBinding, AJournalNameTakenForGoodIsWrittenAroundOrNamedWithTheCommandThatClearsIt) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  fs::create_directory(dir.Path("a.mp3.ID3JRN"));
  auto files = std::make_shared<NoMovingAside>();
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  EXPECT_NE(e.Status().recoveryNote.find("rm -- "), std::string::npos) << e.Status().recoveryNote;
  // An edit that fits in place is written beside the file and renamed instead; where the
  // platform will not rename over an open file, it is refused with the command.
  const std::string before = ReadFile(name);
  e.SetTitle("New");
  try {
    e.WriteTag();
  } catch (const EWriteError& error) {
    EXPECT_NE(std::string(error.what()).find("rm -- "), std::string::npos) << error.what();
    EXPECT_EQ(ReadFile(name), before);
    return;
  }
  e.SetActive(false);
  TestEngine r;
  r.Open(name, true);
  EXPECT_EQ(r.Title(), "New");
  EXPECT_EQ(ReadFile(name).substr(r.Status().place.size), kAudio);
}

// The net writes of a change make it, each holding what it overwrites: a picture moved by a byte
// differs from what the file holds almost everywhere but for bytes that match by chance, at any
// place within a word; a change scattered over many places is joined into as few writes as a
// journal records.
TEST(ChangesOnly, TheNetWritesMakeTheChangeAndHoldWhatTheyOverwrite) {
  std::string old(5000, '\0');
  std::mt19937 random(7);
  for (char& c : old) c = static_cast<char>(random() >> 24);
  std::vector<std::string> changes;
  for (const size_t shift : {1u, 3u, 8u})
    changes.push_back(old.substr(0, 100) + old.substr(100 + shift) + std::string(shift, '\0'));
  std::string scattered = old;
  for (size_t at = 10; at < old.size(); at += 97) scattered[at] = static_cast<char>(~old[at]);
  changes.push_back(scattered + "grown");
  for (const std::string& fresh : changes) {
    TMemoryStream base(old);
    TPendingWrites change(base);
    change.WriteString(fresh);
    change.KeepChangesOnly(16);
    EXPECT_LE(change.Writes().size(), 16u);
    std::string made = old;
    int64_t last = -1;
    for (const TPendingWrites::TWrite& w : change.Writes()) {
      EXPECT_GT(w.offset, last);
      EXPECT_EQ(w.old, old.substr(static_cast<size_t>(w.offset), w.old.size()));
      made.replace(static_cast<size_t>(w.offset), std::min(w.bytes.size(), made.size()), w.bytes);
      last = w.offset + static_cast<int64_t>(w.bytes.size());
    }
    EXPECT_EQ(made, fresh);
  }
}

// Stopped half way through a change of fifty places: the journal holds all of it, and the next
// writer puts the file back.
TEST(JournalBinding, AChangeScatteredOverManyPlacesIsRolledBackAfterAStop) {
  ScratchFolder dir;
  const std::string old = Song("Old");
  const std::string name = dir.Put("a.mp3", old);
  std::string fresh = old;
  for (size_t at = 20; at < old.size(); at += old.size() / 50)
    fresh[at] = static_cast<char>(~old[at]);
  {
    TFileStream file(name, TFileMode::fmOpenReadWrite);
    TPendingWrites change(file);
    change.WriteString(fresh);
    TTagJournal::ForUndo(BesideOf(name), file, change);
    file.SetPosition(0);
    file.WriteString(fresh.substr(0, fresh.size() / 2));
  }
  TestEngine e;
  const std::string note = Open(e, name);
  EXPECT_TRUE(ReadFile(name) == old) << note;
  EXPECT_TRUE(Stale(dir).empty()) << note;
}

// Whether a journal applies is told by what the file holds, never by times of change: a power
// cut can keep part of a change without the file's new time of change, and a clock stepped back
// (or a kept time of last write) makes the file look older than its journal. Puts beside `name`
// the journal `journal` makes, recording a time of change long before the file's, and returns
// the note of the writer that opens the file then.
std::string OpenWithAnotherTimeOfChangeRecorded(
    const ScratchFolder& dir, const std::string& name,
    const std::function<std::string(int64_t changed)>& journal) {
  TFileFacts found;
  EXPECT_TRUE(TFileStream(name, TFileMode::fmOpenRead).Describe(found));
  const std::string journalLeaf = fs::path(TTagJournal::NameFor(name, true)).filename().string();
  dir.Put(journalLeaf, journal(found.changed - 1));
  TestEngine e;
  return Open(e, name);
}

TEST(JournalBinding, AChangeTheDiskKeptWithoutTheFilesNewTimeOfChangeIsRolledBack) {
  ScratchFolder dir;
  const std::string old = Song("Old");
  const std::string fresh = Song("New");
  const size_t tag = old.size() - kAudio.size();
  const size_t cut = old.find("Old") + 2;
  const std::string name = dir.Put("a.mp3", fresh.substr(0, cut) + old.substr(cut));
  const std::string range = Range(0, old.substr(0, tag), fresh.substr(0, tag));
  const std::string note = OpenWithAnotherTimeOfChangeRecorded(dir, name, [&](int64_t changed) {
    return Journal('U', Identity(name), old.size(), old.size(), range, true, changed);
  });
  EXPECT_NE(note.find("rolled back"), std::string::npos) << note;
  EXPECT_TRUE(ReadFile(name) == old) << note;
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

// The same for a copy over the file cut short: it is completed.
TEST(JournalBinding, ACopyTheDiskKeptWithoutTheFilesNewTimeOfChangeIsCompleted) {
  ScratchFolder dir;
  const std::string old = Song("Old");
  const std::string fresh = Song("New", 2000);
  const std::string name = dir.Put("a.mp3", fresh.substr(0, 1024) + old.substr(1024));
  dir.Put("a.mp3.ID3TMP0123ABCD.tmp", fresh);
  const std::string fields = "0123ABCD" + Sums(old) + Sums(fresh);
  const std::string note = OpenWithAnotherTimeOfChangeRecorded(dir, name, [&](int64_t changed) {
    return Journal('C', Identity(name), old.size(), fresh.size(), fields, true, changed);
  });
  EXPECT_NE(note.find("completed"), std::string::npos) << note;
  EXPECT_TRUE(ReadFile(name) == fresh) << note;
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

}  // namespace
}  // namespace tagscope
