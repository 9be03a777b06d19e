#include "tagscope/engine/id3_engine.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "engine/file/later_reads.h"
#include "engine/file/tag_file.h"
#include "engine/frames/stream_helpers.h"
#include "engine/tag/id3_layout.h"
#include "engine/tag/unsync.h"
#include "engine/tag_reader.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

TID3Engine::TID3Engine() : FFile(std::make_unique<TTagFile>()) {}

bool TID3Engine::Active() const {
  return FFile->IsOpen();
}

const std::string& TID3Engine::FileName() const {
  return FFile->Name();
}

TID3Engine::~TID3Engine() = default;

void TID3Engine::SetActive(bool value) {
  if (Active() && !value) {
    FFile->Close();
    ClearTag();
    if (OnFileClose) OnFileClose(*this);
  } else if (!Active() && value && OpenFile()) {
    if (FReadOnly)
      FFile->ReadWhole([this] { LoadTag(); });
    else
      LoadTag();
    if (OnFileOpen) OnFileOpen(*this);
  }
}

bool TID3Engine::OpenFile() {
  std::string problem;
  ApplyOptions();
  if (FFile->Open(FFile->Name(), FReadOnly, problem)) return true;
  // A file that is not there leaves the engine inactive, its tag empty as ever while inactive
  // (opening replaces whatever was put in it); the report says why.
  ClearTag();
  FReadReport.complete = false;
  FReadReport.problem = problem;
  return false;
}

void TID3Engine::ApplyOptions() {
  FFile->SetNoJournalListed(FOptions.noJournalListed);
  FFile->SetHoldReadLock(FOptions.holdReadLock);
  FFile->SetFlushGroup(FOptions.flushGroup);
  FFile->SetKeepModified(FOptions.keepModified);
}

void TID3Engine::SetFileSystem(std::shared_ptr<TFileSystem> value) {
  FFile->SetFileSystem(std::move(value));
}

TEngineStatus TID3Engine::Status() const {
  return {FPlace,
          FReadReport,
          FileSize(),
          FFile->RecoveryNote(),
          FFile->JournalPending(),
          FFile->WriterAtWork(),
          FID3V1Imported};
}

void TID3Engine::SetFileName(const std::string& value) {
  if (Active() || value == FFile->Name()) return;
  FFile->SetName(value);
  FOptions.noJournalListed = false;  // the listing was of the other file's folder
}

void TID3Engine::SetPadding(int64_t value) {
  FTag.SetPadding(value);
}

void TID3Engine::SetFrames(const TID3Frames& value) {
  FTag.Frames().Assign(value);
}

void TID3Engine::ReadTag() {
  if (Active()) LoadTag();
}

void TID3Engine::WriteTag() {
  if (!Active()) return;
  SaveTag();
  // The file holds what the engine holds now, all of it accounted for.
  FReadReport = TTagReadReport{true, std::string(), FPlace.offset + FPlace.size, false, {}};
  FTag.SetPaddingChosen(false);
  FFile->RaiseNotDurable();
  if (OnWriteTag) OnWriteTag(*this);
}

void TID3Engine::EraseTag(const std::vector<TFileRange>& trailers) {
  if (!Active()) return;
  RemoveTag(trailers);
  FReadReport = TTagReadReport{true, std::string(), 0, false, {}};
  FFile->RaiseNotDurable();
  if (OnEraseTag) OnEraseTag(*this);
}

void TID3Engine::ClearTag() {
  FFile->Cache().Clear();
  FTag.Clear();
  FID3V1Imported = false;
  FPlace.size = 0;
  FPlace.offset = 0;
  FReadReport = TTagReadReport();
}

void TID3Engine::LoadTag() {
  if (!Active()) return;
  ClearTag();
  TTagReader reader(*FFile, FTag,
                    {FFullID3TagSeek, FOptions.deferLargePayloads, FReadOnly, OnFrameDecrypt});
  const TTagRead read = reader.Read();
  FPlace.offset = read.offset;
  FPlace.size = read.size;
  FReadReport = read.report;
  if (!read.found) {
    FPlace.offset = 0;
    LoadID3V1();
  }
  // The padding just read is the file's, not one the program chose.
  FTag.SetPaddingChosen(false);
  if (OnReadTag) OnReadTag(*this);
}

}  // namespace tagscope
