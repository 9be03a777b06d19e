#pragma once

#include <cstdint>
#include <string>

namespace tagscope {

// Where a file's ID3v2 tag stands, as its last read or write left it.
struct TTagPlace {
  int64_t offset = 0;  // where the tag starts
  int64_t size = 0;    // the bytes it occupies; 0 for none
};

// What the last read of the tag accounted for. A write keeps only what the read understood, so
// it refuses (unless forced) when the read did not account for every byte of the tag.
struct TTagReadReport {
  bool complete = true;      // every byte of the tag read as frames, padding or footer
  std::string problem;       // what was not accounted for, and where (empty when complete)
  int64_t accountedEnd = 0;  // file offset just past the last byte the read accounted for
  bool extendedHeaderFlagWrong = false;  // the header promised an extended header not there
  // Where the frames were found when the extended header's stated layout led to none: the
  // place taken, in words (empty when the stated layout was right).
  std::string framesFoundAt;
};

}  // namespace tagscope
