// Whatever change to a file fails while a tag is written or erased, the file holds its old
// content or its new content, byte for byte, and the engine goes on working.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "tagscope/engine/flush_group.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;

struct Scenario {
  std::string name;
  std::string original;
  std::function<void(TID3Engine&)> change;
  bool erase = false;
  bool fullSeek = false;
  // The file has a second name: a new content is copied back into it, under a journal.
  bool linked = false;
  // The ID3v1 trailer alone is written (SaveID3V1), the tag left as it is.
  bool trailerOnly = false;
  // The tag and the ID3v1 trailer are erased in one change (EraseTag with the trailer's range).
  bool eraseWithTrailer = false;
};

// Puts the scenario's file (and its second name) into the folder.
std::string PutFile(const ScratchFolder& dir, const Scenario& s) {
  const std::string name = dir.Put("a.mp3", s.original);
  if (s.linked) std::filesystem::create_hard_link(name, dir.Path("b.mp3"));
  return name;
}

// Whether the platform's files keep the mark of a change: where they keep none (Windows), a file
// with a second name is never copied into (the change is refused, see the marks' tests).
bool CopiedIntoWithOtherNames() {
#ifdef _WIN32
  return false;
#else
  return true;
#endif
}

std::vector<std::string> FilesOf(const Scenario& s) {
  return s.linked ? std::vector<std::string>{"a.mp3", "b.mp3"} : std::vector<std::string>{"a.mp3"};
}

void PrintTo(const Scenario& s, std::ostream* out) {
  *out << s.name;
}

struct Record {
  int64_t offset, size, headerSize, padding;
  bool operator==(const Record&) const = default;
};

Record RecordOf(const TID3Engine& e) {
  return {e.Status().place.offset, e.Status().place.size, e.Tag().Header().Size(), e.Padding()};
}

std::string Trailer(const std::string& title) {
  std::string t(128, '\0');
  t.replace(0, 3, "TAG");
  t.replace(3, title.size(), title);
  return t;
}

std::string Frames() {
  return FrameV4("TIT2", Text("Song")) + FrameV4("TPE1", Text("Band")) +
         FrameV4("APIC",
                 std::string(1, '\0') + "image/png" + std::string(3, '\0') + PatternBytes(5000));
}

std::string FooterTag(const std::string& frames) {
  const std::string body = Tag(4, 0x10, frames);
  return body + "3DI" + body.substr(3, 7);
}

std::vector<Scenario> Scenarios() {
  const std::string audio = PatternBytes(20000, 3);
  const std::string tag = Tag(4, 0, Frames(), 300);
  auto title = [](std::string text) { return [text](TID3Engine& e) { e.SetTitle(text); }; };
  auto titleWithTrailer = [](std::string text) {
    return [text](TID3Engine& e) {
      e.SetTitle(text);
      e.SetWriteID3V1(true);
    };
  };
  auto version3 = [](TID3Engine& e) {
    e.SetTitle("x");
    e.Header().SetVersionNumber(3);
    e.Header().SetUnsynchronisation(true);
    e.Header().SetExtendedHeaderPresent(true);
    e.SetPadding(0);
  };
  auto nothing = [](TID3Engine&) {};
  return {
      {"same length in place", tag + audio, title("Tune")},
      // "Song" to "Tune" at bytes 510 to 513: a small change over two blocks of the disk.
      {"same length across a block's end",
       Tag(4, 0, FrameV4("TPE1", Text(std::string(478, 'b'))) + FrameV4("TIT2", Text("Song")),
           300) +
           audio,
       title("Tune")},
      {"shorter, padding filled", tag + audio, title("S")},
      {"in place with a new trailer", tag + audio, titleWithTrailer("Tune")},
      {"in place with a trailer replaced", tag + audio + Trailer("Old"), titleWithTrailer("Tune")},
      {"version 3 unsynchronised in place", Tag(4, 0, Frames(), 3000) + audio, version3},
      {"grown", tag + audio, title(std::string(400, 'g'))},
      {"grown with a trailer", tag + audio + Trailer("Old"),
       titleWithTrailer(std::string(400, 'g'))},
      {"grown behind other data", "prefix" + tag + audio, title(std::string(400, 'g')), false,
       true},
      {"new tag", audio, title("Song")},
      {"shorter with a footer", FooterTag(Frames()) + audio, title("S")},
      {"erase", tag + audio, nothing, true},
      {"erase behind other data", "prefix" + tag + audio, nothing, true, true},
      {"grown with another name", tag + audio, title(std::string(400, 'g')), false, false, true},
      {"erase with another name", tag + audio, nothing, true, false, true},
      {"trailer alone appended", tag + audio, title("Tune"), false, false, false, true},
      {"trailer alone replaced", tag + audio + Trailer("Old"), title("Tune"), false, false, false,
       true},
      {.name = "erase with the trailer",
       .original = tag + audio + Trailer("Old"),
       .change = nothing,
       .eraseWithTrailer = true},
      {.name = "erase with the trailer and another name",
       .original = tag + audio + Trailer("Old"),
       .change = nothing,
       .linked = true,
       .eraseWithTrailer = true},
      {.name = "erase the trailer of an untagged file",
       .original = audio + Trailer("Old"),
       .change = nothing,
       .eraseWithTrailer = true},
  };
}

void Perform(TestEngine& e, const Scenario& s) {
  if (s.eraseWithTrailer) {
    e.EraseTag(e.TrailerTags().ID3v1Ranges());
  } else if (s.trailerOnly)
    e.SaveID3V1();
  else if (s.erase)
    e.EraseTag();
  else
    e.WriteTag();
}

// Opens the scenario's file through the given file system and makes its change.
void Prepare(TestEngine& e, const Scenario& s, const std::string& name,
             std::shared_ptr<FaultyFileSystem> files) {
  e.SetFileSystem(std::move(files));
  e.SetFullID3TagSeek(s.fullSeek);
  e.Open(name);
  s.change(e);
}

// The scenario's change made without failures (and the record of its engine after it).
TUnfaultedRun RunUnfaulted(const Scenario& s, Record* record = nullptr) {
  return test::RunUnfaulted([&](const ScratchFolder& dir, const auto& files, TestEngine& e) {
    const std::string name = PutFile(dir, s);
    Prepare(e, s, name, files);
    Perform(e, s);
    if (record) *record = RecordOf(e);
    return name;
  });
}

class WriteFaults : public ::testing::TestWithParam<Scenario> {};

TEST_P(WriteFaults, EveryFailingChangeLeavesTheOldOrTheNewFile) {
  const Scenario& s = GetParam();
  if (s.linked && !CopiedIntoWithOtherNames()) GTEST_SKIP() << "not copied into here";
  // A run without failures gives the new content and the number of changes made.
  Record newRecord{};
  const auto [expected, changes] = RunUnfaulted(s, &newRecord);
  ASSERT_NE(expected, s.original);
  ASSERT_GT(changes, 0);

  for (int failAt = 1; failAt <= changes; ++failAt) {
    SCOPED_TRACE("change " + std::to_string(failAt) + " of " + std::to_string(changes));
    ScratchFolder dir;
    const std::string name = PutFile(dir, s);
    auto files = std::make_shared<FaultyFileSystem>(failAt);
    TestEngine e;
    Prepare(e, s, name, files);
    const Record oldRecord = RecordOf(e);
    int events = 0;
    e.OnWriteTag = e.OnEraseTag = [&](TID3Engine&) { ++events; };
    bool raised = false;
    try {
      Perform(e, s);
    } catch (const EWriteError& error) {
      raised = true;
      const std::string message = error.what();
      // A write that stores part of its bytes fails as the stream's write error.
      const bool reason = message.find(kInjected) != std::string::npos ||
                          message.find(SWriteError) != std::string::npos ||
                          message.find("Cannot remove the journal") != std::string::npos;
      EXPECT_TRUE(reason) << message;
      EXPECT_NE(message.find(name), std::string::npos) << message;
    }
    ASSERT_TRUE(files->Failed());
    // Only a refused rename is got round (the new content is copied in): it raises nothing.
    EXPECT_EQ(events, raised || s.trailerOnly ? 0 : 1);
    const std::string now = ReadFile(name);
    EXPECT_TRUE(raised ? now == s.original || now == expected : now == expected);
    EXPECT_EQ(RecordOf(e), now == s.original ? oldRecord : newRecord);
    EXPECT_EQ(dir.Files(), FilesOf(s));

    // The engine goes on: the same operation, without failures, gives the new file.
    ASSERT_TRUE(e.Active());
    e.SetFileSystem(std::make_shared<FaultyFileSystem>());
    Perform(e, s);
    EXPECT_EQ(ReadFile(name), expected);
    EXPECT_EQ(RecordOf(e), newRecord);
  }
}

TEST_P(WriteFaults, AProcessStoppedAtAnyChangeLeavesWhatTheNextWriterPutsRight) {
  const Scenario& s = GetParam();
  if (s.linked && !CopiedIntoWithOtherNames()) GTEST_SKIP() << "not copied into here";
  const auto [expected, changes] = RunUnfaulted(s);
  for (int stopAt = 1; stopAt <= changes; ++stopAt) {
    SCOPED_TRACE("stopped at change " + std::to_string(stopAt) + " of " + std::to_string(changes));
    ScratchFolder dir;
    const std::string name = PutFile(dir, s);
    {
      // From the stop on, nothing reaches the disk: no rollback, no tidying up.
      TestEngine e;
      Prepare(e, s, name, std::make_shared<FaultyFileSystem>(stopAt, true));
      // A stop at the last tidying step (a leftover not deleted) goes unnoticed here.
      try {
        Perform(e, s);
      } catch (const Exception&) {
      }
    }
    // The next writer of the file finds what was left and puts it right before it reads.
    TestEngine next;
    next.SetFullID3TagSeek(s.fullSeek);
    next.Open(name);
    const std::string now = ReadFile(name);
    EXPECT_TRUE(now == s.original || now == expected);
    EXPECT_EQ(dir.Files(), FilesOf(s));
    if (s.linked) {
      EXPECT_EQ(ReadFile(dir.Path("b.mp3")), now);
    }
  }
}

TEST_P(WriteFaults, AMachineStoppedAtAnyChangeLosesNothingThatWasFlushed) {
  // What a file was written since its last flush is lost when the machine stops, in part or
  // whole: in every file, or in all but the one being changed, whose writes the disk happened
  // to store first.
  // A journal flushed late, a new file renamed before its flush, or a write reported done
  // before it was flushed, shows here.
  const Scenario& s = GetParam();
  if (s.linked && !CopiedIntoWithOtherNames()) GTEST_SKIP() << "not copied into here";
  const auto [expected, changes] = RunUnfaulted(s);
  // Past the last change the write completes: what it reported done must survive. Besides
  // losing all, the disk may have stored any part of the unflushed writes of every file.
  using TStored = FaultyFileSystem::TStored;
  const std::vector<std::pair<bool, TStored>> disks = {{false, TStored::None},
                                                       {true, TStored::None},
                                                       {false, TStored::FirstBlock},
                                                       {false, TStored::AllButFirstBlock},
                                                       {false, TStored::EveryOtherBlock}};
  for (int stopAt = 1; stopAt <= changes + 1; ++stopAt)
    for (const auto& [fileKept, stored] : disks) {
      SCOPED_TRACE("stopped at change " + std::to_string(stopAt) + " of " +
                   std::to_string(changes) + (fileKept ? ", the file's writes stored" : "") +
                   ", disk keeps " + std::to_string(static_cast<int>(stored)));
      ScratchFolder dir;
      const std::string name = PutFile(dir, s);
      auto files = std::make_shared<FaultyFileSystem>(stopAt, true);
      {
        TestEngine e;
        Prepare(e, s, name, files);
        try {
          Perform(e, s);
        } catch (const Exception&) {
        }
      }
      files->PowerCut(fileKept ? std::vector<std::string>{name} : std::vector<std::string>{},
                      stored);
      TestEngine next;
      next.SetFullID3TagSeek(s.fullSeek);
      next.Open(name);
      const std::string now = ReadFile(name);
      EXPECT_TRUE(stopAt > changes ? now == expected : now == s.original || now == expected);
      EXPECT_EQ(dir.Files(), FilesOf(s)) << next.Status().recoveryNote;
    }
}

// In a run of many writes, a write's journal is the file an earlier write's journal was, passed
// on under a scratch name: the same holds of it, and of the earlier file, whatever the disk
// kept. Its next writer removes what the stopped run left beside either.
TEST_P(WriteFaults, AMachineStoppedInARunOfWritesLosesNothingThatWasFlushed) {
#ifdef _WIN32
  GTEST_SKIP() << "journal files are not passed on where open files cannot be renamed";
#endif
  const Scenario& s = GetParam();
  const std::string audio = PatternBytes(3000, 7);
  const std::string earlier = Tag(4, 0, FrameV4("TIT2", Text("Earlier")), 1500) + audio;
  auto run = [&](const ScratchFolder& dir, std::shared_ptr<FaultyFileSystem> files, int* before) {
    auto group = std::make_shared<TFlushGroup>();
    {
      TestEngine first;
      first.SetFileSystem(files);
      first.Options().flushGroup = group;
      first.Open(dir.Put("w.mp3", earlier));
      first.SetTitle(std::string(700, 'w'));  // over two blocks: journalled
      first.WriteTag();
    }
    if (before) *before = files->Changes();
    TestEngine e;
    Prepare(e, s, PutFile(dir, s), files);
    e.Options().flushGroup = group;
    try {
      Perform(e, s);
    } catch (const Exception&) {
    }
  };
  int first = 0, changes = 0;
  std::string expected, expectedEarlier;
  {
    ScratchFolder dir;
    auto files = std::make_shared<FaultyFileSystem>();
    run(dir, files, &first);
    changes = files->Changes();
    expected = ReadFile(dir.Path("a.mp3"));
    expectedEarlier = ReadFile(dir.Path("w.mp3"));
  }
  std::vector<std::string> kept = FilesOf(s);
  kept.push_back("w.mp3");
  std::sort(kept.begin(), kept.end());
  using TStored = FaultyFileSystem::TStored;
  for (int stopAt = first + 1; stopAt <= changes + 1; ++stopAt)
    for (const TStored stored : {TStored::None, TStored::FirstBlock, TStored::EveryOtherBlock}) {
      SCOPED_TRACE("stopped at change " + std::to_string(stopAt) + " of " +
                   std::to_string(changes) + ", disk keeps " +
                   std::to_string(static_cast<int>(stored)));
      ScratchFolder dir;
      auto files = std::make_shared<FaultyFileSystem>(stopAt, true);
      run(dir, files, nullptr);
      files->PowerCut({}, stored);
      for (const char* leaf : {"a.mp3", "w.mp3"}) {
        TestEngine next;
        next.SetFullID3TagSeek(s.fullSeek);
        next.Open(dir.Path(leaf));
      }
      const std::string now = ReadFile(dir.Path("a.mp3"));
      EXPECT_TRUE(stopAt > changes ? now == expected : now == s.original || now == expected);
      EXPECT_EQ(ReadFile(dir.Path("w.mp3")), expectedEarlier);
      EXPECT_EQ(dir.Files(), kept);
    }
}

TEST_P(WriteFaults, AFolderFlushThatFailsIsAnErrorAndTheFileIsOldOrNew) {
  const Scenario& s = GetParam();
  if (s.linked && !CopiedIntoWithOtherNames()) GTEST_SKIP() << "not copied into here";
  std::string expected;
  int flushes = 0;
  {
    ScratchFolder dir;
    const std::string name = PutFile(dir, s);
    auto files = std::make_shared<FaultyFileSystem>();
    TestEngine e;
    Prepare(e, s, name, files);
    const int before = files->FolderSyncs();
    Perform(e, s);
    expected = ReadFile(name);
    flushes = files->FolderSyncs() - before;
  }
  for (int failing = 1; failing <= flushes; ++failing) {
    SCOPED_TRACE("folder flush " + std::to_string(failing) + " of " + std::to_string(flushes));
    ScratchFolder dir;
    const std::string name = PutFile(dir, s);
    auto files = std::make_shared<FaultyFileSystem>();
    TestEngine e;
    Prepare(e, s, name, files);
    files->FailFolderSync(failing);
    std::string message;
    try {
      Perform(e, s);
    } catch (const EWriteError& error) {
      message = error.what();
    }
    ASSERT_NE(message, "") << "the failed flush went unreported";
    EXPECT_NE(message.find(std::strerror(EIO)), std::string::npos) << message;
    const std::string now = ReadFile(name);
    EXPECT_TRUE(now == s.original || now == expected);
    // A file already new says that its new name may not be on the disk.
    EXPECT_EQ(now == expected, message.find("may not be on the disk") != std::string::npos)
        << message;
    EXPECT_EQ(dir.Files(), FilesOf(s));
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, WriteFaults, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// The rename that puts the new file in place fails (another program holds the file, say).
class RefusingRename : public FaultyFileSystem {
 public:
  void RenameIn(const TFolder&, const std::string&, const std::string&) override {
    throw EWriteError(kInjected);
  }
};

TEST(WriteFaults, ARefusedRenameCopiesTheNewContentIn) {
  ScratchFolder dir;
  const std::string audio = PatternBytes(100);
  const std::string name = dir.Put("a.mp3", Tag(4, 0, Frames()) + audio);
  TestEngine e;
  e.SetFileSystem(std::make_shared<RefusingRename>());
  e.Open(name);
  e.SetTitle(std::string(300, 'x'));
  e.WriteTag();
  EXPECT_EQ(ReadFile(name).substr(e.Status().place.size), audio);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
  e.ReadTag();
  EXPECT_EQ(e.Title(), std::string(300, 'x'));
  e.EraseTag();
  EXPECT_EQ(ReadFile(name), audio);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
}

TEST(WriteFaults, AFailingTrailerWriteLeavesTheFileAsItWas) {
  const std::string audio = PatternBytes(1000, 7);
  // The trailer replaces an old one, or is appended behind the audio; each step of the write
  // (the journal, the write, the flushes) fails in turn.
  for (const std::string& original :
       {Tag(4, 0, Frames()) + audio + Trailer("Old"), Tag(4, 0, Frames()) + audio}) {
    for (int failAt = 1;; ++failAt) {
      ScratchFolder dir;
      const std::string name = dir.Put("a.mp3", original);
      TestEngine e;
      auto files = std::make_shared<FaultyFileSystem>(failAt);
      e.SetFileSystem(files);
      e.Open(name);
      e.SetTitle("New");
      try {
        e.SaveID3V1();
      } catch (const ENotDurable&) {
        // Made in full; only the flush of its folder afterwards failed.
        EXPECT_NE(ReadFile(name), original) << "failing at " << failAt;
        continue;
      } catch (const EStreamError&) {
        EXPECT_EQ(ReadFile(name), original) << "failing at " << failAt;
        continue;
      }
      const std::string now = ReadFile(name);
      EXPECT_EQ(now.size(), original.size() + (original.ends_with(Trailer("Old")) ? 0 : 128));
      EXPECT_EQ(now.substr(now.size() - 128, 6), "TAGNew");
      EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.mp3"});
      // Only the removal of the change's mark may fail unseen: the next writer removes it.
      if (!files->Failed()) break;
    }
  }
}

TEST(WriteFaults, AFailingTrailerRemovalLeavesTheFileAsItWas) {
  const std::string original = Tag(4, 0, Frames()) + PatternBytes(1000, 7) + Trailer("Old");
  // The cut fails, or the flush after it: the cut bytes come back.
  for (int failAt : {1, 2}) {
    ScratchFolder dir;
    const std::string name = dir.Put("a.mp3", original);
    TestEngine e;
    e.SetFileSystem(std::make_shared<FaultyFileSystem>(failAt));
    e.Open(name);
    EXPECT_THROW(e.RemoveID3V1(), EWriteError);
    EXPECT_EQ(ReadFile(name), original);
    EXPECT_TRUE(e.RemoveID3V1());
    EXPECT_EQ(ReadFile(name), original.substr(0, original.size() - 128));
    EXPECT_FALSE(e.RemoveID3V1());
  }
}

// The first flush of a folder waits until the test opens it; the second fails as a disk that
// cannot write fails it.
class GatedFlushes : public TFileSystem {
 public:
  std::atomic<int> calls{0};
  using TFileSystem::Open;
  void Open() { FGate.set_value(); }
  void SyncFolder(const TFolder&) override {
    const int call = ++calls;
    if (call == 1) FOpened.wait();
    if (call != 2) return;
    errno = EIO;
    throw EWriteError(Format("Cannot flush the folder. %s", std::strerror(errno)));
  }

 private:
  std::promise<void> FGate;
  std::shared_future<void> FOpened = FGate.get_future().share();
};

TEST(FlushGroup, EveryWriterAFailedFolderFlushServedHearsOfIt) {
  ScratchFolder dir;
  const TFolder folder(dir.Path(""));
  // Two writers that ask while a flush is under way share the next one. When it fails, both
  // hear of it, and neither flushes again (a flush after a failed one may succeed without the
  // names being on the disk). They race the flush under way: the run is made again until both
  // asked in time.
  for (int attempt = 0; attempt < 50; ++attempt) {
    TFlushGroup group;
    GatedFlushes files;
    std::thread first([&] { group.SyncFolder(files, folder); });
    while (files.calls == 0) std::this_thread::yield();
    std::atomic<int> failed{0};
    auto writer = [&] {
      try {
        group.SyncFolder(files, folder);
      } catch (const EWriteError&) {
        ++failed;
      }
    };
    std::thread second(writer), third(writer);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    files.Open();
    first.join();
    second.join();
    third.join();
    if (files.calls > 2 && failed == 1) continue;  // one asked after the second flush began
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(files.calls, 2);
    return;
  }
  FAIL() << "the two writers never asked within one flush";
}

}  // namespace
}  // namespace tagscope
