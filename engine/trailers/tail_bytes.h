#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// The bytes at a stream's end, as the blocks behind the audio are found: its last few
// kilobytes held after one read, any other run read when asked for. Nothing below `floor` (the
// end of an ID3v2 tag at the start) is ever read.
class TTailBytes {
 public:
  // `tail`, when given, is the stream's last bytes as a reader already holds them (they must
  // outlive this): they are viewed, not read again.
  TTailBytes(TStream& stream, int64_t size, int64_t floor, std::string_view tail = {});

  int64_t Size() const { return FSize; }
  int64_t Floor() const { return FFloor; }
  // The bytes [from, to) that lie within [floor, size): fewer, or none, where the run reaches
  // outside.
  std::string Bytes(int64_t from, int64_t to);
  // The same without a copy where the run is held (empty where it is not); valid until the
  // next Hold.
  std::string_view View(int64_t from, int64_t to) const;
  // Holds the bytes from `from` on as well, with one read, when that is at most `most` more
  // than is held: a block that is walked piece by piece is then read once.
  void Hold(int64_t from, int64_t most);

 private:
  std::string Read(int64_t from, int64_t to);

  TStream& FStream;
  int64_t FSize;
  int64_t FFloor;
  int64_t FBase;  // where the held bytes begin; they run to the end
  std::string FHeld;
  std::string_view FView;  // the held bytes: FHeld's, or the tail given
};

}  // namespace tagscope
