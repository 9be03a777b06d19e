#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "rtl/stream.h"

namespace tagscope {

class TID3Engine;
class TFileReplacement;

inline constexpr const char* SReadOnlyFile = "The file is open for reading only";

// A tag as it goes into the file: header, extended header and frames as stored, then padding
// zero bytes, then the footer if the tag has one.
struct TTagImage {
  std::string head;
  int64_t padding = 0;
  std::string footer;

  int64_t Length() const { return static_cast<int64_t>(head.size() + footer.size()) + padding; }
  void WriteTo(TStream& stream) const;
};

// Puts an engine's tag into its file, or cuts it out. Whatever fails, the file afterwards holds
// either its old content or its new content, and the engine's record of where its tag stands
// describes the file.
//
// A tag that takes exactly the bytes of the old one is written over it, the old bytes kept to
// be put back if a write fails. Any other change writes the whole new file beside the old one
// and renames it over the old one: the audio is copied once and the old file stays untouched
// until the rename.
class TTagWriter {
 public:
  explicit TTagWriter(TID3Engine& engine) : E(engine) {}

  void Save();
  void Remove();

 private:
  // Where the engine records its tag to stand, and how the header counts it.
  struct TRecord {
    int64_t offset, size, padding, headerSize;
  };
  TRecord Record() const;
  void Restore(const TRecord& record);

  void CheckWritable() const;
  // Removes the frames of an ID3v2.2 tag that have no later equivalent when the write is
  // forced; otherwise refuses, naming them.
  void DropUnconvertedFrames();
  void WriteNewTag(uint8_t version);
  // The tag with the given padding, from the frames serialised once.
  TTagImage Compose(int64_t padding) const;
  // The tag with its padding grown until it takes exactly `extent` bytes, if it can.
  std::optional<TTagImage> FillExtent(const TTagImage& image, int64_t extent) const;
  std::string ExtendedHeaderBytes(const std::string& written, int64_t padding) const;

  void WriteInPlace(const TTagImage& image);
  void Rewrite(const TTagImage& image);
  void NoteWritten(const TTagImage& image, int64_t offset);
  // Everything the file holds outside its tag, in order, appended to `out`.
  void CopyOutsideTag(TStream& out);
  // Writes the ID3v1 trailer through `stream` when the engine is asked to.
  void WriteTrailer(TStream& stream);
  // Renames the new file over the old one and makes it the engine's open file.
  void Replace(TFileReplacement& replacement);

  TID3Engine& E;
  std::string FFrames;
};

}  // namespace tagscope
