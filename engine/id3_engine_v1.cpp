// The ID3v1 trailer at the end of the open file, imported into the tag and written from it.
#include "engine/file/tag_file.h"
#include "engine/tag_writer.h"
#include "engine/trailers/id3v1_tag.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

void TID3Engine::LoadID3V1() {
  if (!Active()) return;
  const std::optional<TID3v1Trailer> trailer = ReadID3V1Trailer();
  if (!trailer) return;
  ImportID3v1(*trailer, FTag);
  FID3V1Imported = true;
}

void TID3Engine::SettleID3V1Import() {
  if (!FID3V1Imported) return;
  FID3V1Imported = false;
  SettleID3v1Import(FTag);
}

std::optional<TID3v1Trailer> TID3Engine::ReadID3V1Trailer() {
  if (!Active()) return std::nullopt;
  const int64_t size = FileSize();
  // The end of the ID3v2 tag itself is never taken for a trailer.
  if (size - id3::TrailerSize < FPlace.offset + FPlace.size) return std::nullopt;
  // Through what the reads of the file kept: the audio facts read its end too.
  return ParseID3v1Trailer(ReadFileBytes(size - id3::TrailerSize, id3::TrailerSize));
}

bool TID3Engine::RemoveID3V1() {
  if (!Active()) return false;
  const int64_t size = FileSize();
  if (size < id3::TrailerSize ||
      !HoldsID3v1(ReadFileBytes(size - id3::TrailerSize, id3::TrailerSize), size,
                  FPlace.offset + FPlace.size))
    return false;
  Writer().RemoveID3v1({size - id3::TrailerSize, id3::TrailerSize});
  return true;
}

void TID3Engine::SaveID3V1() {
  if (!Active()) return;
  Writer().SaveID3v1();
  FFile->RaiseNotDurable();
}

}  // namespace tagscope
