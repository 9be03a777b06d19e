#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tagscope/engine/file_range.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_place.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TTagFile;

inline constexpr const char* SReadOnlyFile = "The file is open for reading only";

// What a write of the tag may do, and what it writes beside the tag.
struct TTagWriteOptions {
  bool readOnly = false;  // the file is open for reading only: every change is refused
  // Goes ahead although the read did not account for the whole tag, or the file is plainly not
  // MP3 by its content.
  bool force = false;
  TTagReadReport report;          // what the last read of the tag accounted for
  TID3EngineFrameNotify encrypt;  // encrypts the frames flagged for it
  bool id3v1 = false;             // a write of the tag also writes the ID3v1 trailer the tag makes
};

// Puts a tag into its file, or cuts it out: what goes where, the reader's twin. How the bytes
// reach the file safely is the file side's (TTagFile). Whatever fails, the record of where the
// tag stands (`place`, and the tag's padding and header size) describes the file.
//
// A tag that fits in the old tag's bytes is written over them in place, its padding filling
// the rest. Any other change writes the whole new file beside the old one, which then takes
// the old one's place.
class TTagWriter {
 public:
  TTagWriter(TTagFile& file, TID3Tag& tag, TTagPlace& place, TTagWriteOptions options);

  // Writes the tag; with runs behind it to cut (trailers), makes the file anew without them, the
  // tag and the cuts one change.
  void Save(const std::vector<TFileRange>& trailers = {});
  // Removes the tag and cuts the given runs behind it (trailers) out, in one change.
  void Remove(const std::vector<TFileRange>& trailers = {});
  // Cuts the given runs behind the tag out, the tag left as it stands, in one change.
  void Cut(const std::vector<TFileRange>& trailers);
  // Puts the splices' bytes in place of their ranges behind the tag, in one change; splices
  // that only cut are a Cut.
  void Splice(std::vector<TFileSplice> splices);
  // Writes the ID3v1 trailer the tag makes, over an old one behind the tag or appended, in one
  // change; cuts the trailer at `trailer` (the file's last 128 bytes) off the file's end.
  void SaveID3v1();
  void RemoveID3v1(const TFileRange& trailer);
  // Raises EWriteRefused, naming the file, what it is and `operation` ("write the tag of"),
  // when the file is plainly not MP3 by its content and the change is not forced.
  void CheckContent(const char* operation);

 private:
  void CheckWritable() const;
  // Raises, naming the file and what would be lost, when the read did not account for the
  // whole tag and the write is not forced.
  void CheckReadInFull(const char* operation) const;
  // Raises, naming the limit, when the tag would hold more frames than a read takes in.
  void CheckFrameCount() const;
  // The runs to cut behind a tag ending at `tagEnd`, sorted and joined; raises when one lies
  // outside the file or reaches into the tag.
  std::vector<TFileRange> Cuts(std::vector<TFileRange> trailers, int64_t tagEnd);
  // The splices sorted; raises when one lies outside the file, reaches into the tag or
  // overlaps another.
  std::vector<TFileSplice> Checked(std::vector<TFileSplice> splices, int64_t tagEnd);
  // Makes the splices in place where no byte after them moves; false where it cannot.
  bool SpliceInPlace(const std::vector<TFileSplice>& splices);
  // Copies the file with each splice's bytes in place of its range.
  void CopySpliced(TStream& out, int64_t known, const std::vector<TFileSplice>& splices);
  // Cuts runs behind the tag out of the file, the tag left where it stands: a file's end cut off
  // where that is all, else the file rewritten.
  void CutRuns(const std::vector<TFileRange>& cuts);
  // The old tag's extent: what the read accounted for when the tag runs past the file's end.
  int64_t OldExtent();
  // Removes the frames of an ID3v2.2 tag that have no later equivalent when the write is
  // forced; otherwise refuses, naming them.
  void DropUnconvertedFrames();
  void WriteNewTag(uint8_t version, const std::vector<TFileRange>& trailers);

  void WriteInPlace(const TTagImage& image);
  void Rewrite(const TTagImage& image, int64_t extent,
               const std::vector<TFileRange>& trailers = {});
  void NoteWritten(const TTagImage& image, int64_t offset);
  // Copies the file without the tag's `extent` bytes and without the runs in `cuts` (sorted,
  // past the tag); `known` is the file's size when the write began, and a file found shorter
  // is refused.
  void CopyOutsideTag(TStream& out, int64_t extent, int64_t known,
                      const std::vector<TFileRange>& cuts = {});
  // Copies count bytes of `in` from `from` on to `out`; with `holes`, runs of zero bytes are
  // skipped over rather than written, so that a file with holes keeps them.
  static void CopyRange(TStream& in, TStream& out, int64_t from, int64_t count, bool holes);

  // The record of where the tag stands, with its padding and the header's size field.
  struct TRecord {
    TTagPlace place;
    int64_t padding = 0;
    int64_t headerSize = 0;
  };
  TRecord Record() const;
  void SetRecord(const TRecord& record);
  std::vector<std::string> FrameIDs() const;
  // Writes the ID3v1 trailer when one is wanted: over an old one behind `tagEnd`, else at the
  // end.
  void WriteTrailer(TStream& file, int64_t tagEnd);
  void PutTrailer(TStream& file, int64_t tagEnd);

  TTagFile& F;
  TID3Tag& T;
  TTagPlace& FPlace;
  const TTagWriteOptions FOptions;
};

}  // namespace tagscope
