#include "tagscope/imaging/graphic.h"

#include <utility>

#include "tagscope/rtl/file_stream.h"

namespace tagscope {

namespace {
constexpr const char* SCannotChangeSize = "Cannot change the size of this picture";
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, TFileMode::fmOpenRead);
  LoadFromStream(stream);
}

void TGraphic::LoadFromBytes(std::string bytes) {
  TMemoryStream stream(std::move(bytes));
  LoadFromStream(stream);
}

void TGraphic::SetWidth(int) {
  throw EInvalidGraphicOperation(SCannotChangeSize);
}
void TGraphic::SetHeight(int) {
  throw EInvalidGraphicOperation(SCannotChangeSize);
}

void TGraphic::Progress(TProgressStage stage, int percent, const std::string& message) {
  if (OnProgress) OnProgress(*this, stage, percent, false, message);
}

void TGraphic::Changed() {
  if (OnChange) OnChange(*this);
}

const TBitmapData& TStillPicture::FrameBitmap(int index) const {
  if (index != 0 || Empty())
    throw EInvalidGraphicOperation(Format("Frame index out of range (%d)", index));
  return FBitmap;
}

void TStillPicture::Assign(TBitmapData bitmap) {
  FBitmap = std::move(bitmap);
  Changed();
}

}  // namespace tagscope
