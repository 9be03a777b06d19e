#include "tagscope/imaging/picture_registry.h"

#include <algorithm>

#include "imaging/bmp_picture.h"
#include "imaging/gif_picture.h"
#include "imaging/jpeg_picture.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/file_stream.h"

namespace tagscope {

namespace {

struct TFileFormat {
  std::string Description;
  TGraphicFactory Factory;
};

std::string Key(const std::string& extension) {
  const bool dotted = !extension.empty() && extension[0] == '.';
  return AsciiLowerCase(dotted ? extension.substr(1) : extension);
}

template <class T>
TGraphicFactory Factory() {
  return [] { return std::make_unique<T>(); };
}

std::map<std::string, TFileFormat>& Formats() {
  static std::map<std::string, TFileFormat> formats = {
      {"gif", {SGifDescription, Factory<TGifPicture>()}},
      {"jpeg", {SJPEGDescription, Factory<TJPEGPicture>()}},
      {"jpg", {SJPEGDescription, Factory<TJPEGPicture>()}},
      {"bmp", {SBitmapDescription, Factory<TBitmapPicture>()}},
  };
  return formats;
}

}  // namespace

void TPictureRegistry::RegisterFileFormat(const std::string& extension,
                                          const std::string& description, TGraphicFactory factory) {
  Formats()[Key(extension)] = TFileFormat{description, std::move(factory)};
}

void TPictureRegistry::UnregisterFileFormat(const std::string& extension) {
  Formats().erase(Key(extension));
}

bool TPictureRegistry::IsRegistered(const std::string& extension) {
  return Formats().count(Key(extension)) > 0;
}

std::string TPictureRegistry::Description(const std::string& extension) {
  auto it = Formats().find(Key(extension));
  return it == Formats().end() ? std::string() : it->second.Description;
}

std::unique_ptr<TGraphic> TPictureRegistry::Create(const std::string& extension) {
  auto it = Formats().find(Key(extension));
  if (it == Formats().end())
    throw EInvalidGraphic(Format(SUnknownExtension, Key(extension).c_str()));
  return it->second.Factory();
}

std::unique_ptr<TGraphic> TPictureRegistry::LoadFromFile(const std::string& fileName) {
  std::unique_ptr<TGraphic> picture = Create(ExtractExtension(fileName));
  picture->LoadFromFile(fileName);
  return picture;
}

std::unique_ptr<TGraphic> TPictureRegistry::LoadFromBytes(const std::string& extension,
                                                          const std::string& bytes) {
  std::unique_ptr<TGraphic> picture = Create(extension);
  picture->LoadFromBytes(bytes);
  return picture;
}

std::string TPictureRegistry::ExtensionForMimeType(const std::string& mimeType) {
  const std::string mime = AsciiLowerCase(mimeType);
  if (mime == "image/bmp") return "bmp";
  if (mime == "image/gif") return "gif";
  return "jpg";
}

std::string TPictureRegistry::ExtractExtension(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of("/\\:");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return fileName.substr(dot + 1);
}

}  // namespace tagscope
