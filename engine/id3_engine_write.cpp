// Writing and erasing the tag in the file, and the care a file opened for writing gets.
#include <chrono>
#include <thread>

#include "engine/file_replace.h"
#include "engine/tag_journal.h"
#include "engine/tag_writer.h"
#include "rtl/files.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

// What the tag writer may see and change of the engine.
class TID3Engine::TWriterHost : public TTagWriterHost {
 public:
  explicit TWriterHost(TID3Engine& engine) : E(engine) {}

  const std::string& FileName() const override { return E.FFileName; }
  bool ReadOnly() const override { return E.FReadOnly; }
  TFileSystem& Files() override { return *E.FFileSystem; }
  TStream& File() override { return *E.FStream; }
  const TTagReadReport& ReadReport() const override { return E.FReadReport; }
  bool ForceWrite() const override { return E.FForceWrite; }
  TID3Header& Header() override { return *E.FHeader; }
  std::vector<std::string> FrameIDs() const override {
    std::vector<std::string> ids;
    for (int i = 0; i < E.FFrames->Count(); ++i) ids.push_back(E.FFrames->Items(i).Name());
    return ids;
  }
  void DeleteFrame(int index) override { E.FFrames->Delete(index); }
  std::string FrameBytes(uint8_t version) override {
    TMemoryStream frames;
    E.FFrames->WriteFrames(frames, version);
    return frames.Bytes();
  }
  TTagPlace Place() const override {
    return {E.FTagOffset, E.FTagSize, E.FPadding, E.FHeader->Size()};
  }
  void SetPlace(const TTagPlace& place) override {
    E.FTagOffset = place.offset;
    E.FTagSize = place.size;
    E.FPadding = place.padding;
    E.FHeader->SetSize(place.headerSize);
  }
  bool PaddingChosen() const override { return E.FPaddingChosen; }
  bool WantsTrailer() const override { return E.FWriteID3V1; }
  void WriteTrailer(TStream& file, int64_t tagEnd) override {
    if (E.FWriteID3V1) E.WriteID3V1To(file, tagEnd);
  }
  std::unique_ptr<TStream> ReleaseFile() override { return std::move(E.FStream); }
  void AdoptFile(std::unique_ptr<TStream> file) override {
    E.FStream = std::move(file);
    E.FStream->Lock(TFileLock::flExclusive);
  }

 private:
  TID3Engine& E;
};

void TID3Engine::SaveTag() {
  if (!Active()) return;
  TWriterHost host(*this);
  TTagWriter(host).Save();
}

void TID3Engine::RemoveTag() {
  if (!Active()) return;
  TWriterHost host(*this);
  TTagWriter(host).Remove();
}

void TID3Engine::CheckWritableFile() const {
  TFileInfo info;
  // A folder is no file at all: opening it fails as for a missing file.
  if (GetFileInfo(FFileName, info) && !info.regular && !info.folder)
    throw EFOpenError(
        Format("Cannot write to \"%s\": it is not a regular file (a device, FIFO, "
               "socket or folder), and only regular files are changed",
               FFileName.c_str()));
}

namespace {

// Size and time of the last write of the open file: what changes when a writer touches it.
std::pair<int64_t, int64_t> Stamp(TStream& file) {
  TFileFacts facts;
  if (!file.Describe(facts)) return {file.Size(), 0};
  return {facts.size, facts.modified};
}

}  // namespace

void TID3Engine::LoadTagWhole() {
  // No writer at work, and none can begin while the shared lock is held: the read sees the
  // file whole, unless a writer was stopped half way, whose journal then tells.
  if (FStream->Lock(TFileLock::flShared, false)) {
    try {
      LoadTag();
    } catch (...) {
      FStream->Lock(TFileLock::flNone);
      throw;
    }
    FStream->Lock(TFileLock::flNone);
    FJournalPending = TTagJournal::Pending(*FFileSystem, FFileName, *FStream);
    return;
  }
  // A live writer holds the file: the read is taken again while a change of its is under way,
  // or when the file changed while it was read, for as long as patience lasts.
  using namespace std::chrono;
  const auto patience = milliseconds(1000);
  const auto start = steady_clock::now();
  for (;;) {
    const auto before = Stamp(*FStream);
    LoadTag();
    FJournalPending = TTagJournal::Pending(*FFileSystem, FFileName, *FStream);
    const bool whole = !FJournalPending && Stamp(*FStream) == before;
    if (whole || steady_clock::now() - start >= patience) return;
    std::this_thread::sleep_for(milliseconds(5));
  }
}

void TID3Engine::PrepareFile() {
  FRecoveryNote.clear();
  FJournalPending = false;
  if (FReadOnly) return;
  // The lock is held until the file is closed, from the read to the end of every write. A
  // writer that waited may find that the name now leads to the file another writer put in
  // place: it opens that one instead.
  // Where the platform cannot rename over an open file, the writer before may have let go
  // of the old file just before its new one takes the name: that one's lock is waited for.
  constexpr int kAttempts = 1000;
  for (int attempt = 1; attempt < kAttempts; ++attempt) {
    FStream->Lock(TFileLock::flExclusive);
    TFileInfo info;
    const std::string identity = FStream->Identity();
    if (!identity.empty() && GetFileInfo(FFileName, info) && info.identity != identity) {
      FStream = FFileSystem->Open(FFileName, TFileMode::fmOpenReadWrite);
    } else if (TFileReplacement::Replacing(*FFileSystem, FFileName)) {
      FStream->Lock(TFileLock::flNone);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } else {
      break;
    }
  }
  FRecoveryNote = TTagJournal::Recover(*FFileSystem, FFileName, *FStream).note;
  TFileReplacement::RemoveLeftovers(*FFileSystem, FFileName);
}

}  // namespace tagscope
