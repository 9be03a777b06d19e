#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tagscope/engine/file_system.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TID3Header;
class TFileReplacement;
struct TTagReadReport;

inline constexpr const char* SReadOnlyFile = "The file is open for reading only";

// Where a tag stands in its file and how its header counts it.
struct TTagPlace {
  int64_t offset = 0;      // where the tag starts
  int64_t size = 0;        // the bytes it occupies, 0 for none
  int64_t padding = 0;     // its zero bytes after the frames
  int64_t headerSize = 0;  // the header's tag size field
  bool operator==(const TTagPlace&) const = default;
};

// What the tag writer needs of the engine whose tag it writes: what to write, where the old
// tag stands, and the open file it may replace. Nothing else of the engine is open to it.
class TTagWriterHost {
 public:
  virtual ~TTagWriterHost() = default;

  virtual const std::string& FileName() const = 0;
  virtual bool ReadOnly() const = 0;
  virtual TFileSystem& Files() = 0;
  virtual TStream& File() = 0;
  // What the read accounted for, and whether a write may drop what it did not.
  virtual const TTagReadReport& ReadReport() const = 0;
  virtual bool ForceWrite() const = 0;

  virtual TID3Header& Header() = 0;
  virtual std::vector<std::string> FrameIDs() const = 0;
  virtual void DeleteFrame(int index) = 0;
  // The frames as they are stored in a tag of that version.
  virtual std::string FrameBytes(uint8_t version) = 0;
  virtual TTagPlace Place() const = 0;
  virtual void SetPlace(const TTagPlace& place) = 0;
  // True when the program chose the padding; false when it is what the file had.
  virtual bool PaddingChosen() const = 0;
  virtual bool WantsTrailer() const = 0;
  // Writes the ID3v1 trailer into `file` when one is wanted: over an old one that stands
  // behind `tagEnd`, else at the end.
  virtual void WriteTrailer(TStream& file, int64_t tagEnd) = 0;

  // Lets go of the open file, and takes a stream on the new one that replaced it.
  virtual std::unique_ptr<TStream> ReleaseFile() = 0;
  virtual void AdoptFile(std::unique_ptr<TStream> file) = 0;
};

// A tag as it goes into the file: header, extended header and frames as stored, then padding
// zero bytes, then the footer if the tag has one.
struct TTagImage {
  std::string head;
  int64_t padding = 0;
  std::string footer;

  int64_t Length() const { return static_cast<int64_t>(head.size() + footer.size()) + padding; }
  void WriteTo(TStream& stream) const;
};

// Puts an engine's tag into its file, or cuts it out. Whatever fails, and wherever the process
// stops, the file afterwards holds either its old content or its new content, and the engine's
// record of where its tag stands describes the file.
//
// A tag that fits in the old tag's bytes is written over them, its padding filling the rest;
// the bytes it overwrites are saved in a journal beside the file first. Any other change writes
// the whole new file beside the old one and renames it over the old one (or, where a rename
// would change the file's owner or part its hard links, copies it back under a journal).
class TTagWriter {
 public:
  explicit TTagWriter(TTagWriterHost& host) : H(host) {}

  void Save();
  void Remove();

 private:
  void CheckWritable() const;
  // Raises, naming the file and what would be lost, when the read did not account for the
  // whole tag and the write is not forced.
  void CheckReadInFull(const char* operation) const;
  // The old tag's extent: what the read accounted for when the tag runs past the file's end.
  int64_t OldExtent();
  // Removes the frames of an ID3v2.2 tag that have no later equivalent when the write is
  // forced; otherwise refuses, naming them.
  void DropUnconvertedFrames();
  void WriteNewTag(uint8_t version);
  TTagImage Compose(int64_t padding) const;
  std::optional<TTagImage> FillExtent(const TTagImage& image, int64_t extent) const;

  void WriteInPlace(const TTagImage& image);
  void Rewrite(const TTagImage& image, int64_t extent);
  void NoteWritten(const TTagImage& image, int64_t offset);
  void CopyOutsideTag(TStream& out, int64_t extent);
  // Copies count bytes of `in` from `from` on to `out`; with `holes`, runs of zero bytes are
  // skipped over rather than written, so that a file with holes keeps them.
  static void CopyRange(TStream& in, TStream& out, int64_t from, int64_t count, bool holes);
  // Puts the new file in the old one's place, and makes it the engine's open file.
  void Replace(TFileReplacement& replacement);
  void CopyBack(TFileReplacement& replacement);

  TTagWriterHost& H;
  std::string FFrames;
};

}  // namespace tagscope
