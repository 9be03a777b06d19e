// The tables of contents once chapters or tables are gone: they list only what the tag holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tagscope/engine/chapters.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/timed_frames.h"

namespace tagscope {
namespace {

void Add(TID3Tag& tag, const char* id, const std::string& payload) {
  TID3Frames_Item& item = tag.Frames().Add();
  item.SetName(id);
  item.Data().SetBytes(payload);
}

std::vector<std::vector<std::string>> Tables(const TID3Tag& tag) {
  std::vector<std::vector<std::string>> tables;
  for (int i = 0; i < tag.Frames().Count(); ++i)
    if (tag.Frames().Items(i).HasID("CTOC"))
      tables.push_back(
          ParseTableOfContentsFrame(tag.Frames().Items(i).Data().Bytes(), 4)->Children);
  return tables;
}

// A table keeps the entries of what is there; one left empty goes, and with it its entry in
// the table above; a chapter that cannot be read leaves every table as it is.
TEST(PruneTablesOfContents, EntriesOfWhatWentGoAndEmptyTablesWithThem) {
  TID3Tag tag;
  Add(tag, "CTOC", RenderTableOfContentsFrame({"toc", true, true, {"chp0", "sub", "gone"}, {}}, 4));
  Add(tag, "CTOC", RenderTableOfContentsFrame({"sub", false, true, {"chp1"}, {}}, 4));
  Add(tag, "CHAP", RenderChapterFrame({"chp0", 0, 10, 0, TChapterFrame::kNoOffset, {}}, 4));
  Add(tag, "CHAP", RenderChapterFrame({"chp1", 10, 20, 0, TChapterFrame::kNoOffset, {}}, 4));
  EXPECT_EQ(PruneTablesOfContents(tag), 0);
  using T = std::vector<std::vector<std::string>>;
  EXPECT_EQ(Tables(tag), (T{{"chp0", "sub"}, {"chp1"}}));
  tag.Frames().Delete(3);  // chp1
  EXPECT_EQ(PruneTablesOfContents(tag), 1);
  EXPECT_EQ(Tables(tag), (T{{"chp0"}}));
  Add(tag, "CHAP", "x");
  DeleteFrames(tag, "CHAP");
  Add(tag, "CHAP", "x");
  EXPECT_EQ(PruneTablesOfContents(tag), 0);
  EXPECT_EQ(Tables(tag), (T{{"chp0"}}));
}

}  // namespace
}  // namespace tagscope
