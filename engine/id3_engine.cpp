#include "engine/id3_engine.h"

#include <algorithm>

#include "engine/tag_locator.h"
#include "engine/unsync.h"
#include "rtl/exception.h"
#include "rtl/files.h"

namespace tagscope {

namespace {
constexpr int64_t kHeaderSize = 10;  // also the footer's size
}

TID3Engine::TID3Engine()
    : FFrames(std::make_unique<TID3Frames>(this)), FHeader(std::make_unique<TID3Header>(this)) {}

TID3Engine::~TID3Engine() = default;

void TID3Engine::SetActive(bool value) {
  if (Active() && !value) {
    FStream.reset();
    ClearTag();
    if (OnFileClose) OnFileClose(*this);
  } else if (!Active() && value && FileExists(FFileName)) {
    if (!FReadOnly) CheckWritableFile();
    FStream = FFileSystem->Open(FFileName,
                                FReadOnly ? TFileMode::fmOpenRead : TFileMode::fmOpenReadWrite);
    try {
      PrepareFile();
    } catch (...) {
      FStream.reset();
      throw;
    }
    LoadTag();
    if (OnFileOpen) OnFileOpen(*this);
  }
}

void TID3Engine::SetFileName(const std::string& value) {
  if (!Active()) FFileName = value;
}

void TID3Engine::SetPadding(int64_t value) {
  FPadding = FHeader->FooterPresent() || value < 0 ? 0 : value;
  FPaddingChosen = true;
}

void TID3Engine::SetHeader(const TID3Header&) {
  throw EConvertError(Format(SAssignError, "TID3Header", "TID3Header"));
}

void TID3Engine::SetFrames(const TID3Frames& value) {
  FFrames->Assign(value);
}

void TID3Engine::ReadTag() {
  if (Active()) LoadTag();
}

void TID3Engine::WriteTag() {
  if (!Active()) return;
  SaveTag();
  // The file holds what the engine holds now, all of it accounted for.
  FReadReport = TTagReadReport{true, std::string(), FTagOffset + FTagSize, false};
  FPaddingChosen = false;
  if (OnWriteTag) OnWriteTag(*this);
}

void TID3Engine::EraseTag() {
  if (!Active()) return;
  RemoveTag();
  FReadReport = TTagReadReport{true, std::string(), 0, false};
  if (OnEraseTag) OnEraseTag(*this);
}

void TID3Engine::ClearTag() {
  FHeader->Clear();
  FFrames->Clear();
  FPadding = 0;
  FTagSize = 0;
  FTagOffset = 0;
  FReadReport = TTagReadReport();
  FPaddingChosen = false;
}

void TID3Engine::LoadTag() {
  if (!Active()) return;
  ClearTag();
  if (!LocateTag()) FTagOffset = 0;
  FStream->SetPosition(FTagOffset);
  if (FHeader->LoadTagHeader(*FStream)) {
    ReadTagBody();
  } else {
    LoadID3V1();
  }
  // The padding just read is the file's, not one the program chose.
  FPaddingChosen = false;
  if (OnReadTag) OnReadTag(*this);
}

bool TID3Engine::LocateTag() {
  if (HasTagSignatureAt(*FStream, 0)) return true;
  FStream->SetPosition(0);
  if (!FFullID3TagSeek) return false;
  const int64_t found = FindTagSignature(*FStream);
  if (found < 0) return false;
  FTagOffset = found;
  FStream->SetPosition(found);
  return true;
}

void TID3Engine::ReadTagBody() {
  const int64_t bodyStart = FTagOffset + kHeaderSize;
  const int64_t fileSize = FStream->Size();
  const int64_t declared = FHeader->Size();
  // The tag's extent in the file, as stored, never past the file's end.
  FTagSize = std::min(kHeaderSize + declared + (FHeader->FooterPresent() ? kHeaderSize : 0),
                      fileSize - FTagOffset);
  const uint8_t version = FHeader->VersionNumber();
  if (!FHeader->Unsynchronisation() || version >= 4) {
    if (FHeader->ExtendedHeaderPresent()) FHeader->LoadExtendedHeader(*FStream);
    const int64_t remaining = bodyStart + declared - FStream->Position();
    SetPadding(FFrames->ReadFrames(*FStream, version, remaining, OnFrameDecrypt));
    return;
  }
  // Versions 2 and 3 unsynchronise everything after the header: read the decoded bytes,
  // and measure the padding in the file's bytes.
  const std::string stored =
      FStream->ReadString(std::clamp<int64_t>(declared, 0, fileSize - bodyStart));
  TMemoryStream decoded(UndoUnsynchronisation(stored));
  if (FHeader->ExtendedHeaderPresent()) FHeader->LoadExtendedHeader(decoded);
  FFrames->ReadFrames(decoded, version, decoded.Size() - decoded.Position(), OnFrameDecrypt);
  const int64_t framesEnd = StoredOffset(stored, decoded.Position());
  FStream->SetPosition(bodyStart + framesEnd);
  SetPadding(static_cast<int64_t>(stored.size()) - framesEnd);
}

}  // namespace tagscope
