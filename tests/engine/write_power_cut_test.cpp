// Whatever a power cut leaves of a run of writes, on a disk as weak as real ones (see
// TDiskModel: names durable only through their folder's flush, data by the sector, metadata as
// a whole at the file's Flush), the next writer of each file finds it old or new, and new once
// the run reported it written.
//
// The states are sampled, a few per point the run can stop at; TAGSCOPE_FULL_SWEEP=1 takes every
// state the model allows at every point.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "tagscope/engine/flush_group.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;

const std::string kAudio = PatternBytes(20000, 3);

// Title first, in the tag's first block: an edit of its text changes one block.
std::string Song(const std::string& title, const std::string& artist = "Band") {
  return Tag(4, 0, FrameV4("TIT2", Text(title)) + FrameV4("TPE1", Text(artist)), 2000) + kAudio;
}

// An edit bigger than one block that fits the padding: an in-place change under a journal.
const std::string kLongArtist(700, 'a');
// An edit the padding cannot take: a new file.
const std::string kGrownArtist(3000, 'g');

// Opens `name` through `files` and makes the change; a stopped process raises, which is caught:
// the power cut follows.
void Write(const std::string& name, const std::shared_ptr<FaultyFileSystem>& files,
           const std::function<void(TID3Engine&)>& change,
           const std::shared_ptr<TFlushGroup>& group = nullptr) {
  try {
    TestEngine e;
    e.SetFileSystem(files);
    if (group) e.Options().flushGroup = group;
    e.Open(name);
    change(e);
    e.WriteTag();
  } catch (const Exception&) {
  }
}

auto Artist(const std::string& text) {
  return [text](TID3Engine& e) { e.SetArtist(text); };
}

struct PowerCutRun {
  std::string name;
  std::vector<std::string> files;  // the files checked, in the folder
  std::function<void(const ScratchFolder&)> put;
  // Makes the run's writes through `files`; calls `cutFromHere` where the part that may be cut
  // begins (what came before it completed), and, where the files are written one after the
  // other, again after each.
  std::function<void(const ScratchFolder&, const std::shared_ptr<FaultyFileSystem>& files,
                     const std::function<void()>& cutFromHere)>
      run;
  // Whether the file system keeps extended attributes (most do; FAT and some shares do not).
  bool attributes = true;
};

void PrintTo(const PowerCutRun& r, std::ostream* out) {
  *out << r.name;
}

// A journalled change, then a one-block edit of the same file (which needs no journal).
PowerCutRun ChangeThenOneBlockEdit(const char* name, bool attributes) {
  return {.name = name,
          .files = {"a.mp3"},
          .put = [](const ScratchFolder& dir) { dir.Put("a.mp3", Song("Song")); },
          .run =
              [](const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files,
                 const std::function<void()>& cutFromHere) {
                Write(dir.Path("a.mp3"), files, Artist(kLongArtist));
                cutFromHere();
                Write(dir.Path("a.mp3"), files, [](TID3Engine& e) { e.SetTitle("Tune"); });
              },
          .attributes = attributes};
}

// A journalled change whose journal's removal never reaches the disk (the folder's flush fails,
// as when the process is stopped before it), then a one-block edit that puts some of its bytes
// back: the file holds a mix of the journal's old and new bytes.
PowerCutRun RemovalLostThenOneBlockEdit() {
  return {.name = "a journal's removal not flushed, then a one-block edit putting bytes back",
          .files = {"a.mp3"},
          .put = [](const ScratchFolder& dir) { dir.Put("a.mp3", Song("Song")); },
          .run =
              [](const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files,
                 const std::function<void()>& cutFromHere) {
                files->FailFolderSync(2);
                Write(dir.Path("a.mp3"), files, [](TID3Engine& e) {
                  e.SetTitle("Tune");
                  e.SetArtist(kLongArtist);
                });
                cutFromHere();
                Write(dir.Path("a.mp3"), files, [](TID3Engine& e) { e.SetTitle("Song"); });
              }};
}

std::vector<PowerCutRun> Runs() {
  return {
      RemovalLostThenOneBlockEdit(),
      ChangeThenOneBlockEdit("a journalled change, then a one-block edit", true),
      ChangeThenOneBlockEdit(
          "a journalled change, then a one-block edit, where files keep no attributes", false),
      {.name = "a new file renamed into place",
       .files = {"a.mp3"},
       .put = [](const ScratchFolder& dir) { dir.Put("a.mp3", Song("Song")); },
       .run =
           [](const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files,
              const std::function<void()>& cutFromHere) {
             cutFromHere();
             Write(dir.Path("a.mp3"), files, Artist(kGrownArtist));
           }},
      {.name = "a journalled change, the clock stepped back once its journal is made",
       .files = {"a.mp3"},
       .put = [](const ScratchFolder& dir) { dir.Put("a.mp3", Song("Song")); },
       .run =
           [](const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files,
              const std::function<void()>& cutFromHere) {
             files->StepClockBack(int64_t(10) * 1000000000);
             cutFromHere();
             Write(dir.Path("a.mp3"), files, Artist(kLongArtist));
           }},
      {.name = "a copy back into a file with two names",
       .files = {"a.mp3", "b.mp3"},
       .put =
           [](const ScratchFolder& dir) {
             std::filesystem::create_hard_link(dir.Put("a.mp3", Song("Song")), dir.Path("b.mp3"));
           },
       .run =
           [](const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files,
              const std::function<void()>& cutFromHere) {
             cutFromHere();
             Write(dir.Path("a.mp3"), files, Artist(kGrownArtist));
           }},
      {.name = "a run of writes sharing their folder's flushes",
       .files = {"w1.mp3", "w2.mp3", "w3.mp3"},
       .put =
           [](const ScratchFolder& dir) {
             for (const char* leaf : {"w1.mp3", "w2.mp3", "w3.mp3"}) dir.Put(leaf, Song(leaf));
           },
       .run =
           [](const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files,
              const std::function<void()>& cutFromHere) {
             cutFromHere();
             // As the command line's batch run makes them, one at a time.
             const auto group = std::make_shared<TFlushGroup>();
             Write(dir.Path("w1.mp3"), files, Artist(kLongArtist), group);
             cutFromHere();
             Write(dir.Path("w2.mp3"), files, Artist(kGrownArtist), group);
             cutFromHere();
             Write(dir.Path("w3.mp3"), files, Artist(kLongArtist), group);
             cutFromHere();
           }},
  };
}

bool FullSweep() {
  const char* full = std::getenv("TAGSCOPE_FULL_SWEEP");
  return full && *full && std::string(full) != "0";
}

// The states taken at one point: all, or a few: where every name operation not flushed is
// lost and where all are kept, each with the metadata of the last flush and the latest, the
// sectors kept varying; and two more.
std::vector<int> Picks(int states, int stopAt) {
  std::vector<int> all(static_cast<size_t>(states));
  for (int i = 0; i < states; ++i) all[static_cast<size_t>(i)] = i;
  if (FullSweep()) return all;
  // State numbers: metadata choice, then data choice, then the count of name operations.
  constexpr int kPerNames = 10;
  std::mt19937 random(static_cast<unsigned>(stopAt) * 7919u + static_cast<unsigned>(states));
  auto data = [&] { return 2 * static_cast<int>(random() % (kPerNames / 2)); };
  std::set<int> picks;
  for (const int names : {0, states / kPerNames - 1})
    for (const int metadata : {0, 1}) picks.insert(names * kPerNames + data() + metadata);
  for (int more = 0; more < 2; ++more)
    picks.insert(static_cast<int>(random() % static_cast<unsigned>(states)));
  return {picks.begin(), picks.end()};
}

// What a file's tag says, for a message.
std::string Summary(const std::string& name) {
  try {
    TestEngine r;
    r.Open(name, true);
    auto shown = [](const std::string& text) {
      return text.size() > 8 ? std::to_string(text.size()) + " x '" + text.substr(0, 1) + "'"
                             : "'" + text + "'";
    };
    return "title " + shown(r.Title()) + ", artist " + shown(r.Artist()) + ", " +
           std::to_string(ReadFile(name).size()) + " bytes";
  } catch (const Exception& e) {
    return std::string("unreadable: ") + e.what();
  }
}

// Opens each file of the run for writing, as its next writer (which puts right what it finds),
// and says how a file fails to hold one of the contents allowed; empty when all do.
std::string Check(const ScratchFolder& dir, const std::shared_ptr<FaultyFileSystem>& files,
                  const PowerCutRun& r, const std::vector<std::set<std::string>>& allowed) {
  std::string problems;
  for (size_t i = 0; i < r.files.size(); ++i) {
    const std::string name = dir.Path(r.files[i]);
    std::string note;
    try {
      TestEngine next;
      next.SetFileSystem(files);
      next.Open(name);
      note = next.Status().recoveryNote;
    } catch (const Exception& e) {
      problems += " " + r.files[i] + " cannot be opened for writing: " + e.what() + ";";
      continue;
    }
    if (allowed[i].count(ReadFile(name))) continue;
    problems += " " + r.files[i] + " holds " + Summary(name) +
                (note.empty() ? std::string(", nothing recovered") : ", after: " + note) + ";";
  }
  return problems;
}

// The model itself: a sweep over a model that kept everything would pass whatever the engine
// does. A removal and a creation after the folder's last flush, a write and an attribute after
// the file's: each state keeps what it says, and a name brought back leads to the same file.
TEST(DiskModel, ACutKeepsWhatWasFlushedAndWhatTheStateSaysOfTheRest) {
  using TStored = FaultyFileSystem::TStored;
  struct Case {
    size_t names;
    TStored data;
    bool metadata;
    std::vector<std::string> files;
    std::string content;
  };
  const Case cases[] = {
      {0, TStored::None, false, {"a.mp3", "j"}, "flushed"},
      {1, TStored::All, false, {"a.mp3"}, "flushed"},  // the size is the flushed one's
      {2, TStored::All, true, {"a.mp3", "k"}, "flushed and more"},
      {2, TStored::None, true, {"a.mp3", "k"}, std::string("flushed") + std::string(9, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.names) + " names kept");
    ScratchFolder dir;
    const std::string name = dir.Put("a.mp3", "old");
    dir.Put("j", "journal");
    const std::string identity = TFileStream(dir.Path("j"), TFileMode::fmOpenRead).Identity();
    auto files = std::make_shared<FaultyFileSystem>();
    files->ModelTheDisk();
    {
      auto file = files->Open(name, TFileMode::fmOpenReadWrite);
      const auto folder = files->OpenFolder(ExtractFilePath(name));
      file->SetSize(0);
      file->WriteString("flushed");
      file->Flush();
      files->RemoveIn(*folder, "j");
      files->OpenIn(*folder, "k", TFileMode::fmCreateNew)->Flush();
      file->WriteString(" and more");
      const bool attributes = file->SetAttribute("user.tagscope.test", "set");
      std::string value;
      files->PowerCut(TDiskModel::Index({c.names, c.data, c.metadata}));
      EXPECT_EQ(dir.Files(), c.files);
      EXPECT_EQ(ReadFile(name), c.content);
      // Durable with the file's next Flush only.
      if (attributes) {
        EXPECT_EQ(
            TFileStream(name, TFileMode::fmOpenRead).GetAttribute("user.tagscope.test", value),
            c.metadata ? TStream::TAttribute::Present : TStream::TAttribute::Absent);
      }
    }
    if (c.names == 0) {
      EXPECT_EQ(TFileStream(dir.Path("j"), TFileMode::fmOpenRead).Identity(), identity);
      EXPECT_EQ(ReadFile(dir.Path("j")), "journal");
    }
  }
}

class PowerCuts : public ::testing::TestWithParam<PowerCutRun> {};

TEST_P(PowerCuts, EveryStateACutLeavesIsTheOldFileOrTheNew) {
  const PowerCutRun& r = GetParam();
  // A run without failures: the contents before and after the part cut, and its changes.
  std::vector<std::string> before, after;
  std::vector<int> marks;  // the changes made where the run called cutFromHere
  int changes = 0;
  {
    ScratchFolder dir;
    r.put(dir);
    auto files = std::make_shared<FaultyFileSystem>();
    files->ModelTheDisk();
    files->SetKeepsAttributes(r.attributes);
    r.run(dir, files, [&] {
      marks.push_back(files->Changes());
      if (marks.size() == 1)
        for (const std::string& leaf : r.files) before.push_back(ReadFile(dir.Path(leaf)));
    });
    changes = files->Changes();
    for (const std::string& leaf : r.files) after.push_back(ReadFile(dir.Path(leaf)));
  }
  ASSERT_FALSE(marks.empty());
  for (size_t i = 0; i < r.files.size(); ++i) ASSERT_NE(before[i], after[i]) << r.files[i];
  // Each file's write: from the change its part begins after to the last of it. A file is old
  // before its write, old or new during it, and new once it returned.
  const bool inTurn = marks.size() == r.files.size() + 1;
  auto allowed = [&](int stopAt) {
    std::vector<std::set<std::string>> contents;
    for (size_t i = 0; i < r.files.size(); ++i) {
      const int begins = inTurn ? marks[i] : marks[0];
      const int ends = inTurn ? marks[i + 1] : changes;
      contents.push_back(stopAt > ends      ? std::set<std::string>{after[i]}
                         : stopAt <= begins ? std::set<std::string>{before[i]}
                                            : std::set<std::string>{before[i], after[i]});
    }
    return contents;
  };

  int checked = 0;
  std::vector<std::string> failures;
  // Past the last change the run returned: what it reported written must survive.
  for (int stopAt = marks[0] + 1; stopAt <= changes + 1; ++stopAt) {
    const bool returned = stopAt > changes;
    std::vector<int> picks;
    for (size_t pick = 0; picks.empty() || pick < picks.size(); ++pick) {
      ScratchFolder dir;
      r.put(dir);
      auto files = std::make_shared<FaultyFileSystem>(stopAt, true);
      files->ModelTheDisk();
      files->SetKeepsAttributes(r.attributes);
      r.run(dir, files, [] {});
      if (picks.empty()) picks = Picks(files->PowerCutStates(), stopAt);
      const int state = picks[pick];
      files->PowerCut(state);
      ++checked;
      const std::string problem = Check(dir, files, r, allowed(stopAt));
      if (!problem.empty())
        failures.push_back((returned ? "after the run returned"
                                     : "stopped at change " + std::to_string(stopAt) + " of " +
                                           std::to_string(changes)) +
                           ", " + files->DescribePowerCut(state) + ":" + problem);
    }
  }
  std::string examples;
  for (size_t i = 0; i < std::min<size_t>(failures.size(), FullSweep() ? failures.size() : 5); ++i)
    examples += "\n  " + failures[i];
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << checked
                                << " states fail, among them:" << examples;
  std::cout << "[ sweep    ] " << checked << " states, " << failures.size() << " failing\n";
}

INSTANTIATE_TEST_SUITE_P(Runs, PowerCuts, ::testing::ValuesIn(Runs()), [](const auto& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

}  // namespace
}  // namespace tagscope
