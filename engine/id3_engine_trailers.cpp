// Cutting blocks behind the audio (an APE tag, a Lyrics3 block) out of the open file.
#include "engine/file/tag_file.h"
#include "engine/tag_writer.h"
#include "engine/trailers/trailer_locator.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

int64_t TID3Engine::FileSize() const {
  if (!Active()) return 0;
  // A file opened for reading only keeps the size its first read found.
  const int64_t kept = FFile->ReadOnly() ? FFile->Cache().FileSize() : -1;
  return kept >= 0 ? kept : FFile->Stream().Size();
}

void TID3Engine::SpliceFile(std::vector<TFileSplice> splices) {
  if (!Active() || splices.empty()) return;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  Writer().Splice(std::move(splices));
  FFile->RaiseNotDurable();
}

namespace {

// The engine's open file as a stream to read from.
class TEngineBytes : public TStream {
 public:
  TEngineBytes(TID3Engine& engine, int64_t size) : FEngine(engine), FSize(size) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override {
    const std::string bytes = FEngine.ReadFileBytes(position, count);
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(buffer));
    return static_cast<int64_t>(bytes.size());
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
  void SetSize(int64_t) override {}
  int64_t Size() override { return FSize; }

 private:
  TID3Engine& FEngine;
  int64_t FSize;
};

}  // namespace

TTrailerTags TID3Engine::TrailerTags() {
  if (!Active()) return TTrailerTags();
  TEngineBytes bytes(*this, FileSize());
  // A tag at the file's start is never taken for a trailer; one found further in is not in
  // the way.
  const int64_t floor = FPlace.offset == 0 ? FPlace.size : 0;
  return ReadTrailerTags(bytes, LocatedTrailers(bytes, bytes.Size(), floor));
}

TTrailerTags ReadTrailerTags(TID3Engine& engine) {
  return engine.TrailerTags();
}

}  // namespace tagscope
