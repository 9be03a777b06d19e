// Splicing runs of a file behind its tag: each run replaced by other bytes, in one change.
#include <algorithm>

#include "engine/file/tag_file.h"
#include "engine/tag_writer.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

std::vector<TFileSplice> TTagWriter::Checked(std::vector<TFileSplice> splices, int64_t tagEnd) {
  const int64_t size = F.Stream().Size();
  std::erase_if(splices, [](const TFileSplice& s) { return s.range.Size == 0 && s.bytes.empty(); });
  std::stable_sort(splices.begin(), splices.end(), [](const TFileSplice& a, const TFileSplice& b) {
    return a.range.Offset < b.range.Offset;
  });
  int64_t last = tagEnd;
  for (const TFileSplice& s : splices) {
    const TFileRange& r = s.range;
    if (r.Offset < last || r.Size < 0 || r.Offset > size - r.Size)
      throw EWriteError(Format("The %lld bytes at byte %lld to be replaced lie %s",
                               static_cast<long long>(r.Size), static_cast<long long>(r.Offset),
                               r.Offset < tagEnd ? "within the tag"
                               : r.Offset < last ? "over another run replaced"
                                                 : "outside the file"));
    // Two insertions at one place would leave their order to the sort.
    last = r.Size == 0 ? r.Offset + 1 : r.End();
  }
  return splices;
}

bool TTagWriter::SpliceInPlace(const std::vector<TFileSplice>& splices) {
  for (const TFileSplice& s : splices)
    if (static_cast<int64_t>(s.bytes.size()) != s.range.Size) return false;
  return F.ChangeInPlace([&](TStream& file) {
    for (const TFileSplice& s : splices) {
      file.SetPosition(s.range.Offset);
      file.WriteString(s.bytes);
    }
  });
}

void TTagWriter::CopySpliced(TStream& out, int64_t known, const std::vector<TFileSplice>& splices) {
  TStream& in = F.Stream();
  const int64_t size = in.Size();
  // A program that does not ask for the lock may have cut the file short meanwhile.
  if (size < known)
    throw EReadError(
        Format("\"%s\" shrank from %lld bytes to %lld while it was being written "
               "(another program changed it without a lock)",
               F.Name().c_str(), static_cast<long long>(known), static_cast<long long>(size)));
  int64_t at = 0;
  for (const TFileSplice& s : splices) {
    CopyRange(in, out, at, s.range.Offset - at, false);
    out.WriteString(s.bytes);
    at = s.range.End();
  }
  CopyRange(in, out, at, size - at, false);
}

void TTagWriter::Splice(std::vector<TFileSplice> splices) {
  // Splices that only cut are cuts: runs that overlap (two blocks sharing the one between them)
  // are joined, and the file's end is cut off where that is all.
  if (std::all_of(splices.begin(), splices.end(),
                  [](const TFileSplice& s) { return s.bytes.empty(); })) {
    std::vector<TFileRange> cuts;
    for (const TFileSplice& s : splices) cuts.push_back(s.range);
    return Cut(cuts);
  }
  CheckWritable();
  const TTagPlace place = FPlace;
  try {
    splices = Checked(std::move(splices), place.offset + std::max<int64_t>(place.size, 0));
    if (splices.empty()) return;
    CheckContent("change the audio of");
    if (SpliceInPlace(splices)) return;
    const int64_t known = F.Stream().Size();
    F.Replace([&](TStream& out) { CopySpliced(out, known, splices); });
  } catch (const EWriteRefused&) {
    throw;
  } catch (const std::exception& e) {
    throw EWriteError(Format("Cannot change the audio of \"%s\". %s", F.Name().c_str(), e.what()));
  }
}

}  // namespace tagscope
