#pragma once

#include <memory>
#include <string>

#include "tagscope/rtl/stream.h"
#include "ui/component.h"

namespace tagscope {

// The picture behind one entry of the viewer's pictures list: MIME type (lower case),
// description (UTF-8) and the picture's bytes, which it owns.
class TPictureInfo : public TObject {
 public:
  TPictureInfo() : FPictureData(std::make_unique<TMemoryStream>()) {}

  const std::string& MimeType() const { return FMimeType; }
  void SetMimeType(const std::string& value) { FMimeType = value; }
  const std::string& Description() const { return FDescription; }
  void SetDescription(const std::string& value) { FDescription = value; }
  TMemoryStream& PictureData() const { return *FPictureData; }

 private:
  std::string FMimeType;
  std::string FDescription;
  std::unique_ptr<TMemoryStream> FPictureData;
};

}  // namespace tagscope
