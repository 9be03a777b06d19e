#pragma once

#include <cstdint>
#include <string_view>

#include "engine/tag/sparse_body.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_place.h"

namespace tagscope {

class TTagFile;

// How a tag is read.
struct TTagReadOptions {
  bool fullSeek = false;          // search the whole file when the tag does not start it
  bool deferLarge = false;        // leave large plain payloads in the file until asked for
  bool readOnly = false;          // the file is open for reading only
  TID3EngineFrameNotify decrypt;  // handed the encrypted frames
};

// What a read found: whether the file holds an ID3v2 tag, where and how large, and what the
// read accounted for.
struct TTagRead {
  bool found = false;
  int64_t offset = 0;
  int64_t size = 0;
  TTagReadReport report;
};

// Reads a file's ID3v2 tag into a tag in memory: the twin of TTagWriter. It works on the file
// side (its open file, read cache and later reads) and on the tag it is given, and knows
// nothing of the engine that asks.
class TTagReader {
 public:
  TTagReader(TTagFile& file, TID3Tag& tag, TTagReadOptions options)
      : F(file), T(tag), O(std::move(options)) {}

  // Finds the tag and reads it: its header, then its body with one read of the file. The tag
  // is cleared first; without an ID3v2 tag, `found` is false and the tag holds nothing read.
  TTagRead Read();

 private:
  // The frames and padding of a tag whose header was read; sets the size read.
  void ReadBody(int64_t fileSize);
  // Where the frames start in a tag body with an extended header: where its layout ends, else
  // the first place an extended header could end that starts a frame (noted in the report).
  size_t FramesStart(std::string_view body, int64_t bodyStart);
  // Hands the holes of a body read without its large payloads to the frames they belong to.
  void DeferHoles(const TSparseBody& sparse);
  // Marks the read incomplete: what could not be read, from file offset `at` on.
  void NoteProblem(int64_t at, const std::string& what);

  TTagFile& F;
  TID3Tag& T;
  TTagReadOptions O;
  TTagRead R;
};

}  // namespace tagscope
