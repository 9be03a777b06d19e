// Writing and erasing the tag in the file, and the care a file opened for writing gets.
#include <chrono>
#include <thread>

#include "engine/file_replace.h"
#include "engine/id3_engine.h"
#include "engine/tag_journal.h"
#include "engine/tag_writer.h"
#include "rtl/exception.h"
#include "rtl/files.h"

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
  std::string FrameIDs() const override {
    std::string ids;
    for (int i = 0; i < E.FFrames->Count(); ++i) {
      std::string id = E.FFrames->Items(i).Name();
      id.resize(4, ' ');
      ids += id;
    }
    return ids;
  }
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
  void Forget() override { E.ClearTag(); }

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
  if (GetFileInfo(FFileName, info) && !info.regular)
    throw EFOpenError(
        Format("Cannot write to \"%s\": it is not a regular file (a device, FIFO, "
               "socket or folder), and only regular files are changed",
               FFileName.c_str()));
}

void TID3Engine::PrepareFile() {
  FRecoveryNote.clear();
  FJournalPending = false;
  if (FReadOnly) {
    FJournalPending = FileExists(TTagJournal::NameFor(FFileName));
    return;
  }
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
  FRecoveryNote = TTagJournal::Recover(*FFileSystem, FFileName, *FStream);
  TFileReplacement::RemoveLeftovers(*FFileSystem, FFileName);
}

}  // namespace tagscope
