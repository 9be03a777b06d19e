#pragma once

#include <cstdint>
#include <vector>

#include "engine/file/read_cache.h"

namespace tagscope {

// A tag body read without the payloads of its large plain frames, but for their first bytes:
// a program that lists frames and sizes has no need of a cover's bytes. `bytes` hold the body
// and what follows it; the holes (offsets in the body) are bytes not read, to be read when
// their frames' payloads are first asked for.
struct TSparseBody {
  struct THole {
    size_t from = 0;
    size_t to = 0;
  };
  TFileBytes bytes;
  std::vector<THole> holes;
};

// Reads the body [bodyStart, bodyStart + count) of a tag of version 3 or 4 without extended
// header and whole-tag unsynchronisation, and `ahead` bytes after it, leaving holes; the bytes
// read are kept in the cache. False when the frames' layout is not the standard one all the
// way, where a reader would look into the holes to find another: the caller reads it whole.
bool ReadSparseBody(TReadCache& cache, TStream& file, int64_t fileSize, int64_t bodyStart,
                    int64_t count, int64_t ahead, uint8_t version, TSparseBody& out);

}  // namespace tagscope
