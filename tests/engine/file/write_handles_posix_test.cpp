// A writer works through what it opened: the folder once, names in it, the file it locked.
// Links swapped in between two steps, journals put back from elsewhere, other users' files,
// sparse files and locks held by others are met in the test's own folder; the swaps come from
// a file system that makes them at a chosen step, not from a race.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <algorithm>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "engine/file/journal_format.h"
#include "engine/file/pending_writes.h"
#include "engine/file/tag_journal.h"
#include "tagscope/engine/flush_group.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;
namespace fs = std::filesystem;

const std::string kAudio = PatternBytes(20000, 9);

std::string Song(const std::string& title, const std::string& album = "Album") {
  return Tag(4, 0, FrameV4("TIT2", Text(title)) + FrameV4("TALB", Text(album)), 300) + kAudio;
}

// A song with room for a change in place that spans blocks of the disk, and so is journalled.
std::string RoomySong(const std::string& title, const std::string& album) {
  return Tag(4, 0, FrameV4("TIT2", Text(title)) + FrameV4("TALB", Text(album)), 1500) + kAudio;
}
const std::string kLongAlbum = "Album B" + std::string(700, 'b');

// The platform's operations, with a step of the test's own run just before a given one, and a
// short patience for locks.
class HookedFileSystem : public TFileSystem {
 public:
  std::function<void(const std::string& leaf, TFileMode mode)> beforeOpenIn;
  std::function<void(const std::string& leaf)> beforeRemoveIn;
  std::function<void(const std::string& leaf)> beforeLookIn;
  std::function<void()> beforeSyncFolder;
  bool copiesNoAttributes = false;  // says it gave a new file the old one's, and did nothing
  void SyncFolder(const TFolder& folder) override {
    if (beforeSyncFolder) beforeSyncFolder();
    TFileSystem::SyncFolder(folder);
  }
  bool CopyAttributesIn(const TFolder& folder, const std::string& from,
                        const std::string& to) override {
    return copiesNoAttributes || TFileSystem::CopyAttributesIn(folder, from, to);
  }
  bool LookIn(const TFolder& folder, const std::string& leaf, TFileFacts& facts) override {
    if (beforeLookIn) beforeLookIn(leaf);
    return TFileSystem::LookIn(folder, leaf, facts);
  }
  std::unique_ptr<TStream> OpenIn(const TFolder& folder, const std::string& leaf,
                                  TFileMode mode) override {
    if (beforeOpenIn) beforeOpenIn(leaf, mode);
    return TFileSystem::OpenIn(folder, leaf, mode);
  }
  bool RemoveIn(const TFolder& folder, const std::string& leaf) override {
    if (beforeRemoveIn) beforeRemoveIn(leaf);
    return TFileSystem::RemoveIn(folder, leaf);
  }
  std::chrono::milliseconds LockPatience() override { return std::chrono::milliseconds(300); }
};

bool IsTemp(const std::string& leaf) {
  return leaf.find(".ID3TMP") != std::string::npos;
}

// Runs `step` as the user `uid` in a child process; its exit code, 0 when it ended without an
// error.
int AsUser(uid_t uid, const std::function<void()>& step) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 0;
    try {
      if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0) ::_exit(3);
      step();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "as user %u: %s\n", unsigned(uid), e.what());
      code = 1;
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WriteThroughHandles, ALinkSwappedInBeforeTheRenameIsNotReplaced) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  const std::string victim = dir.Put("victim.txt", "precious");
  auto files = std::make_shared<HookedFileSystem>();
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  // Once the new file is complete and given the song's access, just before it is renamed, the
  // song is moved away and a link to another file takes its name.
  files->beforeLookIn = [&](const std::string& leaf) {
    if (!IsTemp(leaf) || fs::is_symlink(name)) return;
    fs::rename(name, dir.Path("moved.mp3"));
    fs::create_symlink(victim, name);
  };
  e.SetTitle(std::string(3000, 'N'));  // outgrows the tag: a new file beside, then a rename
  EXPECT_THROW(e.WriteTag(), EWriteError);
  e.SetActive(false);
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_TRUE(fs::is_symlink(name));
  EXPECT_EQ(ReadFile(dir.Path("moved.mp3")), Song("Old"));
  for (const std::string& leaf : dir.Files()) EXPECT_FALSE(IsTemp(leaf)) << leaf;
}

TEST(WriteThroughHandles, AFolderSwappedForALinkLeadsNoNewFileElsewhere) {
  ScratchFolder dir, elsewhere;
  fs::create_directory(dir.Path("music"));
  const std::string name = dir.Put("music/a.mp3", RoomySong("Old", "Album"));
  auto files = std::make_shared<HookedFileSystem>();
  // The folder is renamed and a link to another folder takes its name: the journal and the new
  // file still go where the file is.
  files->beforeOpenIn = [&](const std::string& leaf, TFileMode mode) {
    if (mode != TFileMode::fmCreateNew || fs::is_symlink(dir.Path("music"))) return;
    fs::rename(dir.Path("music"), dir.Path("moved"));
    fs::create_directory_symlink(elsewhere.Path(""), dir.Path("music"));
  };
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  e.SetTitle("In place");
  e.SetAlbum(kLongAlbum);
  e.WriteTag();
  e.SetActive(false);
  EXPECT_TRUE(elsewhere.Files().empty());
  TestEngine check;
  check.Open(dir.Path("moved/a.mp3"), true);
  EXPECT_EQ(check.Title(), "In place");
}

TEST(WriteThroughHandles, ARewriteKeepsAPlainModeAndStillRenames) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  for (const mode_t mode : {0600, 0604, 0640}) {
    ASSERT_EQ(::chmod(name.c_str(), mode), 0);
    struct stat before {};
    ::stat(name.c_str(), &before);
    TestEngine e;
    e.Open(name);
    e.SetTitle(e.Title() + std::string(2000, 'M'));
    e.WriteTag();
    e.SetActive(false);
    struct stat after {};
    ::stat(name.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, mode);
    // Renamed into place, not copied back: the mode was given to the new file.
    EXPECT_NE(after.st_ino, before.st_ino);
  }
}

// A run passes a journal file from write to write under a scratch name: one found replaced under
// that name meanwhile is neither used nor deleted, and the run deletes what it still keeps.
TEST(JournalOfOneWrite, AKeptJournalReplacedMeanwhileIsNeitherUsedNorDeleted) {
  ScratchFolder dir;
  auto group = std::make_shared<TFlushGroup>();
  auto write = [&](const std::string& leaf) {
    TestEngine e;
    e.Options().flushGroup = group;
    e.Open(dir.Put(leaf, RoomySong("Title", "Album")));
    e.SetAlbum(kLongAlbum);
    e.WriteTag();
  };
  write("w.mp3");
  const std::string kept = dir.Path("w.mp3.ID3TMP00000000.tmp");
  ASSERT_TRUE(fs::exists(kept));
  fs::remove(kept);
  dir.Put("w.mp3.ID3TMP00000000.tmp", "someone else's");
  write("a.mp3");
  group.reset();
  EXPECT_EQ(ReadFile(kept), "someone else's");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.mp3", "w.mp3", "w.mp3.ID3TMP00000000.tmp"}));
  TestEngine check;
  check.Open(dir.Path("a.mp3"), true);
  EXPECT_EQ(check.Album(), kLongAlbum);
}

// A journal saved as a copy while a write was under way, put back after later writes: it is
// not of the change that made the file what it is. (A file of two names, whose mark is flushed
// before its change begins; a file of one name is kept from this by the folder flushes.)
TEST(JournalOfOneWrite, AnOldCommittedJournalPutBackDoesNotRevertALaterWrite) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", RoomySong("Title A", "Album A"));
  fs::create_hard_link(name, dir.Path("b.mp3"));
  const std::string saved = dir.Path("saved-journal");
  auto files = std::make_shared<HookedFileSystem>();
  files->beforeRemoveIn = [&](const std::string& leaf) {
    if (leaf.find(".ID3JRN") != std::string::npos && !fs::exists(saved))
      fs::copy_file(dir.Path(leaf), saved);
  };
  {
    TestEngine e;
    e.SetFileSystem(files);
    e.Open(name);
    e.SetTitle("Title B");
    e.SetAlbum(kLongAlbum);
    e.WriteTag();
  }
  ASSERT_TRUE(fs::exists(saved));
  {
    // The title back as it was: every byte of the file is now the old or the new of the
    // saved journal, which the bytes alone cannot tell from a change cut short.
    TestEngine e;
    e.Open(name);
    e.SetTitle("Title A");
    e.WriteTag();
  }
  const std::string later = ReadFile(name);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  fs::copy_file(saved, TTagJournal::NameFor(name, true));
  TestEngine e;
  e.Open(name);
  EXPECT_NE(e.Status().recoveryNote.find("was not applied"), std::string::npos)
      << e.Status().recoveryNote;
  EXPECT_EQ(e.Album(), kLongAlbum);
  e.SetActive(false);
  EXPECT_EQ(ReadFile(name), later);
}

// A write stopped once its journal is marked and part of the tag written; the journal is then
// changed as `edit` says (and checked again).
// Writes the file's first byte again, as the stopped writer's change did after its journal.
void WrittenAfterItsJournal(const std::string& name) {
  TFileStream touch(name, TFileMode::fmOpenReadWrite);
  touch.SetPosition(0);
  touch.WriteString(ReadFile(name).substr(0, 1));
}

void StoppedWrite(const std::string& name, const std::function<void(journal::TRecord&)>& edit) {
  auto files = std::make_shared<FaultyFileSystem>(0);
  {
    TFileStream file(name, TFileMode::fmOpenReadWrite);
    const std::string fresh =
        Song("Stopped half way").substr(0, ReadFile(name).size() - kAudio.size());
    TPendingWrites change(file);
    change.WriteString(fresh);
    TTagJournal::ForUndo(BesideOf(name), file, change);
    // Stopped after the first byte it changes.
    const std::string now = ReadFile(name);
    const size_t first = static_cast<size_t>(
        std::mismatch(fresh.begin(), fresh.end(), now.begin()).first - fresh.begin());
    file.SetPosition(0);
    file.WriteString(fresh.substr(0, first + 1));
  }
  const std::string journalName = TTagJournal::NameFor(name, true);
  std::optional<journal::TRecord> record = journal::Decode(ReadFile(journalName));
  ASSERT_TRUE(record);
  edit(*record);
  std::string bytes = journal::Encode(*record);
  bytes[journal::kMarkAt] = journal::kMarked;
  // Rewritten in place, as a crash leaves it: the journal's time stays before the file's.
  TFileStream out(journalName, TFileMode::fmOpenReadWrite);
  out.WriteString(bytes);
  out.SetSize(static_cast<int64_t>(bytes.size()));
}

TEST(JournalOfOneWrite, OnlyTheDeviceNumberChangedAndTheStoppedWriteIsStillRolledBack) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  const std::string old = ReadFile(name);
  StoppedWrite(name, [](journal::TRecord& r) {
    r.identity = "4242" + r.identity.substr(r.identity.find(':'));
  });
  // The file is written after the journal, as a writer does; a remount changes neither.
  WrittenAfterItsJournal(name);
  TestEngine e;
  e.Open(name);
  EXPECT_NE(e.Status().recoveryNote.find("rolled back"), std::string::npos)
      << e.Status().recoveryNote;
  e.SetActive(false);
  EXPECT_EQ(ReadFile(name), old);
}

TEST(JournalOfOneWrite, AFileMadeAnewUnderTheSameNumberIsNotRolledBack) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  StoppedWrite(name, [](journal::TRecord& r) {
    // The journal's file was made at another time: a deleted file whose number came back.
    const size_t slash = r.identity.find('/');
    if (slash != std::string::npos) r.identity.resize(slash);
    r.identity += "/12345";
  });
  WrittenAfterItsJournal(name);
  TFileFacts facts;
  ASSERT_TRUE(PlatformFileSystem()->Look(name, facts, false));
  if (facts.born == 0) GTEST_SKIP() << "this file system records no time of making";
  const std::string half = ReadFile(name);
  TestEngine e;
  e.Open(name);
  EXPECT_NE(e.Status().recoveryNote.find("another file"), std::string::npos)
      << e.Status().recoveryNote;
  e.SetActive(false);
  EXPECT_EQ(ReadFile(name), half);
}

TEST(JournalOfOneWrite, AJournalFarLargerThanTheFileCanHaveIsNotRead) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  const std::string planted = TTagJournal::NameFor(name, true);
  {
    TFileStream j(planted, TFileMode::fmCreate);
    j.WriteString(std::string(journal::kMagic, sizeof journal::kMagic) + journal::kMarked);
    j.SetSize(int64_t(590) << 20);  // a hole: no room taken
  }
  const auto start = std::chrono::steady_clock::now();
  TestEngine e;
  e.Open(name);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_NE(e.Status().recoveryNote.find("far larger"), std::string::npos)
      << e.Status().recoveryNote;
  EXPECT_EQ(e.Title(), "Old");
}

TEST(OtherUsers, AWriterWhoIsNotTheOwnerFinishesTheirOwnStoppedCopy) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  ScratchFolder dir;
  ::chmod(dir.Path("").c_str(), 0777);
  const std::string name = dir.Put("a.mp3", Song("Old"));
  ::chmod(name.c_str(), 0666);  // the owner's file, open to everyone: written by copying back
  const std::string wanted = std::string(3000, 'U');
  constexpr uid_t kUser = 65534;
  for (int failAt = 1; failAt < 200; ++failAt) {
    dir.Put("a.mp3", Song("Old"));
    ::chmod(name.c_str(), 0666);
    const int stopped = AsUser(kUser, [&] {
      auto files = std::make_shared<FaultyFileSystem>(failAt, true);
      TestEngine e;
      e.SetFileSystem(files);
      e.Open(name);
      e.SetTitle(wanted);
      try {
        e.WriteTag();
      } catch (const Exception&) {
      }
      if (!files->Failed()) ::_exit(7);  // ran to its end: the sweep is done
    });
    if (stopped == 7) break;
    // The same user's next write finishes or undoes it; nothing of theirs is left behind.
    EXPECT_EQ(AsUser(kUser,
                     [&] {
                       TestEngine e;
                       e.Open(name);
                       if (e.Title() != "Old" && e.Title() != wanted)
                         throw Exception("half written: " + e.Title());
                     }),
              0)
        << "stopped at change " << failAt;
    for (const std::string& leaf : dir.Files())
      EXPECT_EQ(leaf, "a.mp3") << "left after a stop at change " << failAt;
  }
}

// Another user may write the file but not set its times (only its owner may): a change that is
// to keep the time is not made, in place or copied back (a new file of theirs cannot be given
// the owner).
TEST(OtherUsers, AChangeThatCannotKeepTheTimeIsNotMade) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  ScratchFolder dir;
  ::chmod(dir.Path("").c_str(), 0777);
  const std::string name = dir.Path("a.mp3");
  const std::vector<std::pair<std::string, std::function<void(TID3Engine&)>>> changes = {
      {RoomySong("Old", "Album"), [](TID3Engine& e) { e.SetTitle("New"); }},
      {RoomySong("Old", "Album"), [](TID3Engine& e) { e.SetAlbum(kLongAlbum); }},
      {Song("Old"), [](TID3Engine& e) { e.SetTitle(std::string(3000, 'N')); }}};
  for (const auto& entry : changes) {
    const std::string& original = entry.first;
    const auto& change = entry.second;
    dir.Put("a.mp3", original);
    ::chmod(name.c_str(), 0666);
    {
      TFileStream file(name, TFileMode::fmOpenReadWrite);
      ASSERT_TRUE(file.SetModified(1234567891123456789));
    }
    EXPECT_EQ(AsUser(65534,
                     [&] {
                       TestEngine e;
                       e.Options().keepModified = true;
                       e.Open(name);
                       change(e);
                       try {
                         e.WriteTag();
                       } catch (const EWriteError& error) {
                         if (std::string(error.what()).find("Operation not permitted") !=
                             std::string::npos)
                           ::_exit(9);
                         throw;
                       }
                     }),
              9);
    EXPECT_EQ(ReadFile(name), original);
    TFileFacts facts;
    ASSERT_TRUE(TFileStream(name, TFileMode::fmOpenRead).Describe(facts));
    EXPECT_EQ(facts.modified, 1234567891123456789);
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
  }
}

TEST(OtherUsers, AnotherUsersLockedLookAlikeIsIgnoredAndNeverDeleted) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  const std::string held = dir.Put("a.mp3.ID3TMP0000ABCD.tmp", "not yours");
  const std::string loose = dir.Put("a.mp3.ID3TMP0000DCBA.tmp", "not yours either");
  ASSERT_EQ(::chown(held.c_str(), 4242, 4242), 0);
  ASSERT_EQ(::chown(loose.c_str(), 4242, 4242), 0);
  const int fd = ::open(held.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const auto start = std::chrono::steady_clock::now();
  TestEngine e;
  e.Open(name);
  e.SetTitle("New");
  e.WriteTag();
  e.SetActive(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(ReadFile(held), "not yours");
  EXPECT_EQ(ReadFile(loose), "not yours either");
  ::close(fd);
}

TEST(BoundedWaits, AReaderHoldingTheFileStopsAWriterWithinItsPatienceNamingTheFile) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  TFileStream reader(name, TFileMode::fmOpenRead);
  ASSERT_TRUE(reader.Lock(TFileLock::flShared));
  TestEngine e;
  e.SetFileSystem(std::make_shared<HookedFileSystem>());
  const auto start = std::chrono::steady_clock::now();
  try {
    e.Open(name);
    ADD_FAILURE() << "opened";
  } catch (const EFOpenError& error) {
    EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
    EXPECT_NE(std::string(error.what()).find("did not let go"), std::string::npos);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(ReadFile(name), Song("Old"));
}

TEST(BoundedWaits, AReaderHoldsItsLockUntilItClosesOnlyWhenAskedTo) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  const int probe = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  auto writerCouldLock = [&] {
    const bool taken = ::flock(probe, LOCK_EX | LOCK_NB) == 0;
    if (taken) ::flock(probe, LOCK_UN);
    return taken;
  };
  for (const bool hold : {false, true}) {
    SCOPED_TRACE(hold ? "held" : "let go");
    TID3Engine reader;
    reader.SetReadOnly(true);
    reader.SetFileName(name);
    reader.Options().holdReadLock = hold;
    reader.SetActive(true);
    EXPECT_EQ(reader.TitleUtf8(), "Old");
    EXPECT_EQ(writerCouldLock(), !hold);
    reader.SetActive(false);
    EXPECT_TRUE(writerCouldLock());
  }
  ::close(probe);
}

TEST(CopyBack, ASparseFileWithASecondNameKeepsItsHoles) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  {
    TFileStream file(name, TFileMode::fmOpenReadWrite);
    file.SetSize(40 << 20);
    file.SetPosition((40 << 20) - 4);
    file.WriteString("END!");
  }
  std::error_code error;
  fs::create_hard_link(name, dir.Path("second.mp3"), error);
  if (error) GTEST_SKIP() << "no hard links here";
  struct stat before {};
  ::stat(name.c_str(), &before);
  if (before.st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "no holes on this file system";
  TestEngine e;
  e.Open(name);
  e.SetTitle(std::string(3000, 'G'));  // copied back: the second name keeps the content
  e.WriteTag();
  e.SetActive(false);
  struct stat after {};
  ::stat(name.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_LT(after.st_blocks * 512, 1 << 20);
  TestEngine check;
  check.Open(dir.Path("second.mp3"), true);
  EXPECT_EQ(check.Title(), std::string(3000, 'G'));
}

TEST(FileSideWords, ANewFileThatCannotBeMadeIsNamedWithTheReason) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  auto files = std::make_shared<HookedFileSystem>();
  files->beforeOpenIn = [&](const std::string& leaf, TFileMode mode) {
    if (IsTemp(leaf) && mode == TFileMode::fmCreateNew)
      throw EFCreateError(Format(SFCreateErrorEx, dir.Path(leaf).c_str(), "Disk quota exceeded"));
  };
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  e.SetTitle(std::string(3000, 'G'));
  try {
    e.WriteTag();
    ADD_FAILURE() << "written";
  } catch (const EWriteError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find(".ID3TMP"), std::string::npos) << text;
    EXPECT_NE(text.find("Disk quota exceeded"), std::string::npos) << text;
    EXPECT_EQ(text.find("Cannot create file \"" + name + "\""), std::string::npos) << text;
  }
  e.SetActive(false);
  EXPECT_EQ(ReadFile(name), Song("Old"));
}

TEST(FileSideWords, AFileCutShortWhileItIsCopiedSaysSo) {
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  auto files = std::make_shared<HookedFileSystem>();
  files->beforeOpenIn = [&](const std::string& leaf, TFileMode mode) {
    if (IsTemp(leaf) && mode == TFileMode::fmCreateNew) fs::resize_file(name, 5000);
  };
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  e.SetTitle(std::string(3000, 'G'));
  try {
    e.WriteTag();
    ADD_FAILURE() << "written";
  } catch (const EWriteError& error) {
    EXPECT_NE(std::string(error.what()).find("shrank"), std::string::npos) << error.what();
  }
}

// An access control list as the system stores it (version 2, then tag, permissions and id of
// each entry, sorted), of the entries given: the owner, other users by number, the owning
// group, the mask, others.
std::string AccessList(std::initializer_list<std::pair<uint16_t, uint16_t>> owners,
                       std::initializer_list<std::pair<uint32_t, uint16_t>> users) {
  std::string list;
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) list += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  auto entry = [&](uint16_t tag, uint16_t permissions, uint32_t id) {
    put(tag, 2);
    put(permissions, 2);
    put(id, 4);
  };
  put(2, 4);
  // Tags: the owner 1, a user 2, the owning group 4, the mask 0x10, others 0x20.
  auto it = owners.begin();
  entry(1, it++->second, 0xFFFFFFFF);
  for (const auto& [user, permissions] : users) entry(2, permissions, user);
  for (; it != owners.end(); ++it) entry(it->first, it->second, 0xFFFFFFFF);
  return list;
}

// The access control list of a file, empty when it has none.
std::string AccessListOf(const std::string& name) {
  char value[512];
  const ssize_t size = ::getxattr(name.c_str(), "system.posix_acl_access", value, sizeof value);
  return size < 0 ? std::string() : std::string(value, static_cast<size_t>(size));
}

struct AccessCase {
  const char* name;
  bool ownList;             // the file has an access control list of its own
  bool copiesNoAttributes;  // the new file's attributes are not given (its list stays the folder's)
};

void PrintTo(const AccessCase& c, std::ostream* out) {
  *out << c.name;
}

class RewriteInAFolderWithADefaultList : public ::testing::TestWithParam<AccessCase> {};

// The folder gives every new file in it a default list (another user may write, as
// `setfacl -d -m u:nobody:rw` says); a rewrite leaves the song with the list it had, or none.
TEST_P(RewriteInAFolderWithADefaultList, TheFileKeepsItsOwnAccessListOrNone) {
  const AccessCase& c = GetParam();
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", Song("Old"));
  ASSERT_EQ(::chmod(name.c_str(), 0660), 0);
  const std::string folderList = AccessList({{1, 7}, {4, 5}, {0x10, 7}, {0x20, 5}}, {{65534, 6}});
  if (::setxattr(dir.Path("").c_str(), "system.posix_acl_default", folderList.data(),
                 folderList.size(), 0) != 0)
    GTEST_SKIP() << "no access control lists here: " << std::strerror(errno);
  const std::string ownList = AccessList({{1, 6}, {4, 6}, {0x10, 6}, {0x20, 0}}, {{65534, 4}});
  if (c.ownList) {
    ASSERT_EQ(
        ::setxattr(name.c_str(), "system.posix_acl_access", ownList.data(), ownList.size(), 0), 0);
  }
  // Marks of this program's own on a file being changed stay with that change.
  ASSERT_EQ(::setxattr(name.c_str(), "user.tagscope.mark", "1", 1, 0), 0);
  ASSERT_EQ(::setxattr(name.c_str(), "user.note", "kept", 4, 0), 0);
  struct stat before {};
  ::stat(name.c_str(), &before);
  auto files = std::make_shared<HookedFileSystem>();
  files->copiesNoAttributes = c.copiesNoAttributes;
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  e.SetTitle(std::string(3000, 'N'));  // outgrows the tag: a new file beside
  e.WriteTag();
  e.SetActive(false);
  struct stat after {};
  ::stat(name.c_str(), &after);
  EXPECT_EQ(AccessListOf(name), c.ownList ? ownList : std::string());
  EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
  // Where the new file's list could not be made the old one's, the content was copied back.
  const bool renamed = after.st_ino != before.st_ino;
  EXPECT_EQ(renamed, !c.copiesNoAttributes);
  char value[8];
  EXPECT_EQ(::getxattr(name.c_str(), "user.note", value, sizeof value), 4);
  if (renamed) {
    EXPECT_LT(::getxattr(name.c_str(), "user.tagscope.mark", value, sizeof value), 0);
  }
  TestEngine check;
  check.Open(name, true);
  EXPECT_EQ(check.Title(), std::string(3000, 'N'));
}

INSTANTIATE_TEST_SUITE_P(Lists, RewriteInAFolderWithADefaultList,
                         ::testing::Values(AccessCase{"None", false, false},
                                           AccessCase{"Own", true, false},
                                           AccessCase{"NoneNotCopied", false, true},
                                           AccessCase{"OwnNotCopied", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct KeptTimeCase {
  const char* name;
  std::string original;
  std::function<void(TID3Engine&)> change;
  bool secondName;  // a hard link: a new content is copied back
};

void PrintTo(const KeptTimeCase& c, std::ostream* out) {
  *out << c.name;
}

class KeptTime : public ::testing::TestWithParam<KeptTimeCase> {};

// The time of last write is kept through the open file: a name swapped for a link during the
// change (at the first flush of the folder) leads the time nowhere else.
TEST_P(KeptTime, IsSetOnTheFileWrittenAndNoOtherAfterTheNameWasSwappedForALink) {
  const KeptTimeCase& c = GetParam();
  ScratchFolder dir;
  const std::string name = dir.Put("a.mp3", c.original);
  if (c.secondName) fs::create_hard_link(name, dir.Path("b.mp3"));
  const std::string other = dir.Put("other.txt", "another file");
  const int64_t songTime = 1234567891123456789, otherTime = 1500000000000000007;
  for (const auto& [file, time] : {std::pair{name, songTime}, std::pair{other, otherTime}}) {
    TFileStream stream(file, TFileMode::fmOpenReadWrite);
    ASSERT_TRUE(stream.SetModified(time));
  }
  auto files = std::make_shared<HookedFileSystem>();
  files->beforeSyncFolder = [&] {
    if (fs::is_symlink(name)) return;
    fs::rename(name, dir.Path("moved.mp3"));
    fs::create_symlink(other, name);
  };
  TestEngine e;
  e.SetFileSystem(files);
  e.Options().keepModified = true;
  e.Open(name);
  c.change(e);
  e.WriteTag();
  e.SetActive(false);
  ASSERT_TRUE(fs::is_symlink(name));
  auto timeOf = [](const std::string& file) {
    TFileFacts facts;
    EXPECT_TRUE(TFileStream(file, TFileMode::fmOpenRead).Describe(facts));
    return facts.modified;
  };
  EXPECT_EQ(timeOf(other), otherTime);
  EXPECT_EQ(ReadFile(other), "another file");
  EXPECT_EQ(timeOf(dir.Path("moved.mp3")), songTime);
  TestEngine check;
  check.Open(dir.Path("moved.mp3"), true);
  EXPECT_EQ(check.Album(), "New album");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, KeptTime,
    ::testing::Values(KeptTimeCase{"InPlace", RoomySong("Old", "Album"),
                                   [](TID3Engine& e) {
                                     e.SetAlbum("New album");
                                     e.SetTitle(kLongAlbum);  // over blocks of the disk: journalled
                                   },
                                   false},
                      KeptTimeCase{"Renamed", Song("Old"),
                                   [](TID3Engine& e) {
                                     e.SetAlbum("New album");
                                     e.SetTitle(std::string(3000, 'N'));
                                   },
                                   false},
                      KeptTimeCase{"CopiedBack", Song("Old"),
                                   [](TID3Engine& e) {
                                     e.SetAlbum("New album");
                                     e.SetTitle(std::string(3000, 'N'));
                                   },
                                   true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tagscope
