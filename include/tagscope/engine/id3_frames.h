#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/id3_frame_item.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TID3Engine;

// Called for an encrypted frame with the frame and a stream holding its bytes, positioned at
// its end: on reading the handler replaces them by the decrypted payload, on writing by the
// encrypted bytes.
using TID3EngineFrameNotify = std::function<void(TID3Frames_Item& frame, TStream& stream)>;

// The ordered, owning list of a tag's frames.
class TID3Frames {
 public:
  // The owning engine may be named; the collection needs nothing of it and keeps no pointer to
  // it.
  explicit TID3Frames(TID3Engine* owner = nullptr);
  TID3Frames(const TID3Frames&) = delete;
  TID3Frames& operator=(const TID3Frames&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  // Appends a new, empty item.
  TID3Frames_Item& Add();
  // The item at index (0-based, file order); raises "List index out of bounds (%d)".
  TID3Frames_Item& Items(int index);
  const TID3Frames_Item& Items(int index) const;
  // The first item whose four ID bytes equal id, or nullptr.
  TID3Frames_Item* FindFrame(std::string_view id);
  const TID3Frames_Item* FindFrame(std::string_view id) const;
  // The index-th item (0-based) whose ID is id, or nullptr. Asking for index 0, 1, 2, ... in
  // turn walks the list once, not once per call.
  TID3Frames_Item* FindFrame(std::string_view id, int index);
  const TID3Frames_Item* FindFrame(std::string_view id, int index) const;
  // How many items have the ID.
  int CountOf(std::string_view id) const;
  void Clear();
  // Removes and frees the item at index.
  void Delete(int index);
  // Replaces the content by copies of the other collection's items.
  void Assign(const TID3Frames& source);

  // Replaces the content by the frames, in the frame layout of ID3v2.4, that run from the
  // stream's position to its end; what follows the last frame read is taken for padding and
  // dropped. The stream is left after the last frame read.
  void ReadFrames(TStream& stream);
  // The same for a tag of the given version whose frames and padding take the next
  // `remaining` bytes; returns the padding (the bytes left after the last frame read). What
  // could not be read is described in `problem` when given.
  int64_t ReadFrames(TStream& stream, uint8_t version, int64_t remaining,
                     const TID3EngineFrameNotify& onDecrypt, std::string* problem = nullptr);
  // Replaces the content by the frames of a tag body held in memory, which `owner` keeps
  // alive: payloads stay views of these bytes until changed.
  struct TParseResult {
    size_t framesEnd = 0;      // offset just past the last frame read
    std::string problem;       // the first thing that could not be read, in words
    size_t problemAt = 0;      // where it stands (offset in the bytes)
    std::string problemFrame;  // the frame to blame, if one is
    // Bytes after the last frame that are not zero padding: where the first non-zero one
    // stands, and how many run from it to the last (0: the padding is all zero).
    size_t strayAt = 0;
    size_t strayLength = 0;
  };
  TParseResult ParseFrames(std::shared_ptr<const void> owner, std::string_view bytes,
                           uint8_t version, const TID3EngineFrameNotify& onDecrypt);

  // Appends every item, serialised in the frame layout of the version (4 when none is given),
  // at the stream's position. `onEncrypt`, when set, encrypts the items flagged for it; without
  // it they go out as they are held.
  void WriteFrames(TStream& stream) const;
  void WriteFrames(TStream& stream, uint8_t version,
                   const TID3EngineFrameNotify& onEncrypt = {}) const;

  // An item's ID changed: searches by ID and index start afresh. The items tell their list.
  void IDChanged() { FCursor = TCursor(); }

  auto begin() { return FItems.begin(); }
  auto end() { return FItems.end(); }
  auto begin() const { return FItems.cbegin(); }
  auto end() const { return FItems.cend(); }

 private:
  // Where the last search by ID and index ended.
  struct TCursor {
    std::array<char, 4> id{};
    int index = -1;
    size_t position = 0;
  };

  std::vector<std::unique_ptr<TID3Frames_Item>> FItems;
  mutable TCursor FCursor;  // a search by index remembers where it ended, also when const
};

}  // namespace tagscope
