// A tag's chapters: CHAP frames listed by a top-level table of contents.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "tagscope/engine/chapters.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/timed_frames.h"

namespace tagscope {

namespace {

// The chapter frames by element ID, in tag order.
std::vector<TChapterFrame> ChapterFrames(const TID3Tag& tag, uint8_t version) {
  std::vector<TChapterFrame> chapters;
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("CHAP") || item.Encrypted()) continue;
    if (auto chapter = ParseChapterFrame(item.Data().Bytes(), version))
      chapters.push_back(std::move(*chapter));
  }
  return chapters;
}

std::optional<TTableOfContentsFrame> TopLevelTable(const TID3Tag& tag, uint8_t version) {
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("CTOC") || item.Encrypted()) continue;
    auto table = ParseTableOfContentsFrame(item.Data().Bytes(), version);
    if (table && table->TopLevel) return table;
  }
  return std::nullopt;
}

}  // namespace

std::vector<TChapter> GetChapters(const TID3Tag& tag) {
  const uint8_t version = tag.Header().VersionNumber();
  const std::vector<TChapterFrame> frames = ChapterFrames(tag, version);
  std::vector<const TChapterFrame*> order;
  if (const auto table = TopLevelTable(tag, version)) {
    // Entries that name no chapter (a table below this one, a chapter gone) are passed over.
    std::map<std::string, const TChapterFrame*> byID;
    for (const TChapterFrame& f : frames) byID.emplace(f.ElementID, &f);
    for (const std::string& child : table->Children)
      if (const auto it = byID.find(child); it != byID.end()) order.push_back(it->second);
  } else {
    for (const TChapterFrame& f : frames) order.push_back(&f);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto* a, const auto* b) { return a->StartTime < b->StartTime; });
  }
  std::vector<TChapter> chapters;
  for (const TChapterFrame* f : order)
    chapters.push_back({f->StartTime, f->EndTime, SubFrameText(f->Frames, "TIT2")});
  return chapters;
}

void SetChapters(TID3Tag& tag, const std::vector<TChapter>& chapters) {
  const uint8_t version = tag.Header().VersionNumber();
  TTableOfContentsFrame table;
  table.ElementID = "toc";
  table.TopLevel = table.Ordered = true;
  std::vector<std::string> payloads;
  for (size_t i = 0; i < chapters.size(); ++i) {
    TChapterFrame frame;
    frame.ElementID = "chp" + std::to_string(i);
    frame.StartTime = chapters[i].Start;
    frame.EndTime = chapters[i].End;
    if (!chapters[i].Title.empty())
      frame.Frames.push_back(TextSubFrame("TIT2", chapters[i].Title, version));
    payloads.push_back(RenderChapterFrame(frame, version));
    table.Children.push_back(frame.ElementID);
  }
  // Rendered whole before the tag changes: a table too long leaves the tag as it was.
  const std::string toc = RenderTableOfContentsFrame(table, version);
  DeleteChapters(tag);
  if (chapters.empty()) return;
  auto add = [&](const char* id, const std::string& payload) {
    TID3Frames_Item& item = tag.Frames().Add();
    item.SetName(id);
    item.SetPayload(payload);
  };
  add("CTOC", toc);
  for (const std::string& payload : payloads) add("CHAP", payload);
}

int DeleteChapters(TID3Tag& tag) {
  return DeleteFrames(tag, "CHAP") + DeleteFrames(tag, "CTOC");
}

namespace {

// The element IDs of the tag's chapters and tables; none when one of them cannot be read,
// whose ID is then not known.
std::optional<std::set<std::string>> ElementIDs(const TID3Tag& tag, uint8_t version) {
  std::set<std::string> ids;
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    const TID3Frames_Item& item = tag.Frames().Items(i);
    if (!item.HasID("CHAP") && !item.HasID("CTOC")) continue;
    if (item.Encrypted()) return std::nullopt;
    const std::string& payload = item.Data().Bytes();
    if (item.HasID("CHAP")) {
      const auto chapter = ParseChapterFrame(payload, version);
      if (!chapter) return std::nullopt;
      ids.insert(chapter->ElementID);
    } else {
      const auto table = ParseTableOfContentsFrame(payload, version);
      if (!table) return std::nullopt;
      ids.insert(table->ElementID);
    }
  }
  return ids;
}

}  // namespace

int PruneTablesOfContents(TID3Tag& tag) {
  const uint8_t version = tag.Header().VersionNumber();
  int removed = 0;
  // A table left empty goes, which may leave the table above it pointing at nothing.
  for (bool again = true; again;) {
    again = false;
    const auto ids = ElementIDs(tag, version);
    if (!ids) return removed;
    TID3Frames& frames = tag.Frames();
    for (int i = 0; i < frames.Count(); ++i) {
      TID3Frames_Item& item = frames.Items(i);
      if (!item.HasID("CTOC")) continue;
      auto table = ParseTableOfContentsFrame(item.Data().Bytes(), version);
      // A table the typed value does not give back byte for byte stays as it is.
      if (!table || RenderTableOfContentsFrame(*table, version) != item.Data().Bytes()) continue;
      const size_t before = table->Children.size();
      std::erase_if(table->Children, [&](const std::string& id) { return ids->count(id) == 0; });
      if (table->Children.size() == before) continue;
      if (table->Children.empty()) {
        frames.Delete(i);
        ++removed;
        again = true;
        break;
      }
      item.SetPayload(RenderTableOfContentsFrame(*table, version));
    }
  }
  return removed;
}

}  // namespace tagscope
