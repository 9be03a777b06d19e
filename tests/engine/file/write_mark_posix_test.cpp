// A change cut short is known by the file itself: every name of it sees the change pending and
// finishes it, a rename carries it, and without a place for the mark nothing is copied into a
// file that other names share.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;
namespace fs = std::filesystem;

const std::string kAudio = PatternBytes(20000, 3);
const std::string kOriginal = Tag(4, 0, FrameV4("TIT2", Text("Old")), 2000) + kAudio;

struct CutShort {
  const char* name;
  size_t title;        // the new title's length: within the padding (in place) or beyond (copied)
  bool renamed;        // the file is renamed after the stop, and reached by its new name
  bool linked = true;  // it has a second name, y.mp3
};

void PrintTo(const CutShort& c, std::ostream* os) {
  *os << c.name;
}

// Writes the new title through x.mp3 (which may have a second name y.mp3), stopping for good
// at change `failAt` (0: never).
int ChangeThroughFirstName(const ScratchFolder& dir, const CutShort& c, int failAt) {
  const std::string name = dir.Put("x.mp3", kOriginal);
  if (c.linked) fs::create_hard_link(name, dir.Path("y.mp3"));
  auto files = std::make_shared<FaultyFileSystem>(failAt, true);
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  e.SetTitle(std::string(c.title, 't'));
  try {
    e.WriteTag();
  } catch (const EStreamError&) {
    EXPECT_TRUE(files->Failed());
  }
  return files->Changes();
}

class ChangeCutShort : public ::testing::TestWithParam<CutShort> {};

TEST_P(ChangeCutShort, IsSeenAndFinishedThroughEveryName) {
  const CutShort& c = GetParam();
  std::string expected;
  int changes = 0;
  {
    ScratchFolder dir;
    changes = ChangeThroughFirstName(dir, c, 0);
    expected = ReadFile(dir.Path("x.mp3"));
  }
  ASSERT_NE(expected, kOriginal);
  int torn = 0;
  for (int failAt = 1; failAt <= changes; ++failAt) {
    SCOPED_TRACE("stopped at change " + std::to_string(failAt) + " of " + std::to_string(changes));
    ScratchFolder dir;
    ChangeThroughFirstName(dir, c, failAt);
    std::string through = dir.Path("y.mp3");
    if (c.renamed) {
      fs::rename(dir.Path("x.mp3"), dir.Path("z.mp3"));
      through = dir.Path("z.mp3");
    }
    const std::string found = ReadFile(through);
    const bool whole = found == kOriginal || found == expected;
    torn += whole ? 0 : 1;
    // Also read as a walk that listed the folder before the writer began: told that no
    // journal stood there, the reader still finds the change by its mark.
    for (const bool listed : {false, true}) {
      TestEngine reader;
      reader.SetReadOnly(true);
      reader.SetFileName(through);
      reader.Options().noJournalListed = listed;
      reader.SetActive(true);
      EXPECT_TRUE(whole || reader.Status().journalPending) << "listed: " << listed;
    }
    TestEngine writer;
    writer.Open(through);
    const std::string now = ReadFile(through);
    EXPECT_TRUE(now == kOriginal || now == expected) << writer.Status().recoveryNote;
    if (!whole) {
      EXPECT_FALSE(writer.Status().recoveryNote.empty());
    }
    writer.SetActive(false);
    // A journal still beside the first name (its change ended, or never began) is removed by
    // the next writer there, and undoes nothing.
    TestEngine first;
    first.Open(dir.Path(c.renamed ? "z.mp3" : "x.mp3"));
    first.SetActive(false);
    EXPECT_EQ(ReadFile(through), now);
    for (const std::string& n : dir.Files()) EXPECT_EQ(n.find(".ID3JRN"), std::string::npos) << n;
  }
  EXPECT_GT(torn, 0) << "no stop left the file half written";
}

INSTANTIATE_TEST_SUITE_P(
    Names, ChangeCutShort,
    ::testing::Values(CutShort{"in_place_other_link", 1500, false},
                      CutShort{"copied_other_link", 4000, false},
                      CutShort{"in_place_renamed", 1500, true},
                      CutShort{"copied_renamed", 4000, true},
                      CutShort{"in_place_renamed_one_name", 1500, true, false}),
    [](const ::testing::TestParamInfo<CutShort>& info) { return std::string(info.param.name); });

TEST(ChangeMark, WithoutAPlaceForItAFileWithOtherNamesIsNotCopiedInto) {
  ScratchFolder dir;
  const std::string name = dir.Put("x.mp3", kOriginal);
  fs::create_hard_link(name, dir.Path("y.mp3"));
  auto files = std::make_shared<FaultyFileSystem>();
  files->SetKeepsAttributes(false);
  TestEngine e;
  e.SetFileSystem(files);
  e.Open(name);
  e.SetTitle(std::string(4000, 't'));
  try {
    e.WriteTag();
    ADD_FAILURE() << "copied into a file with two names";
  } catch (const EWriteError& error) {
    EXPECT_NE(std::string(error.what()).find("2 names"), std::string::npos) << error.what();
  }
  EXPECT_EQ(ReadFile(dir.Path("y.mp3")), kOriginal);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"x.mp3", "y.mp3"}));
  // In place, its journal beside the name written, it is changed.
  e.SetTitle(std::string(1500, 't'));
  e.WriteTag();
  EXPECT_NE(ReadFile(dir.Path("y.mp3")), kOriginal);
}

}  // namespace
}  // namespace tagscope
