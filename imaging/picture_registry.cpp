#include "tagscope/imaging/picture_registry.h"

#include <algorithm>
#include <mutex>

#include "imaging/bmp_picture.h"
#include "imaging/gif_picture.h"
#include "imaging/jpeg_picture.h"
#include "imaging/png_picture.h"
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
      {"png", {SPNGDescription, Factory<TPNGPicture>()}},
      {"bmp", {SBitmapDescription, Factory<TBitmapPicture>()}},
  };
  return formats;
}

std::mutex LimitsLock;
TDecodeLimits DefaultDecodeLimits;

// A MIME type as the message about it shows it: printable ASCII only, and not too long.
std::string Shown(const std::string& mimeType) {
  constexpr size_t kMostShown = 64;
  std::string shown;
  for (const char c : mimeType.substr(0, kMostShown)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
  if (mimeType.size() > kMostShown) shown += "...";
  return shown;
}

bool StartsWith(const std::string& bytes, std::string_view prefix) {
  return bytes.compare(0, prefix.size(), prefix) == 0;
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

TDecodeLimits TPictureRegistry::DefaultLimits() {
  const std::lock_guard<std::mutex> lock(LimitsLock);
  return DefaultDecodeLimits;
}

void TPictureRegistry::SetDefaultLimits(const TDecodeLimits& limits) {
  const std::lock_guard<std::mutex> lock(LimitsLock);
  DefaultDecodeLimits = limits;
}

std::unique_ptr<TGraphic> TPictureRegistry::Create(const std::string& extension) {
  auto it = Formats().find(Key(extension));
  if (it == Formats().end())
    throw EInvalidGraphic(Format(SUnknownExtension, Key(extension).c_str()));
  std::unique_ptr<TGraphic> picture = it->second.Factory();
  picture->SetLimits(DefaultLimits());
  return picture;
}

std::unique_ptr<TGraphic> TPictureRegistry::LoadFromFile(const std::string& fileName) {
  std::unique_ptr<TGraphic> picture = Create(ExtractExtension(fileName));
  picture->LoadFromFile(fileName);
  return picture;
}

std::unique_ptr<TGraphic> TPictureRegistry::LoadFromBytes(const std::string& extension,
                                                          const std::string& bytes) {
  return LoadFromBytes(extension, bytes, DefaultLimits());
}

std::unique_ptr<TGraphic> TPictureRegistry::LoadFromBytes(const std::string& extension,
                                                          const std::string& bytes,
                                                          const TDecodeLimits& limits) {
  std::unique_ptr<TGraphic> picture = Create(extension);
  picture->SetLimits(limits);
  picture->LoadFromBytes(bytes);
  return picture;
}

std::unique_ptr<TGraphic> TPictureRegistry::LoadPicture(const std::string& mimeType,
                                                        const std::string& bytes) {
  return LoadPicture(mimeType, bytes, DefaultLimits());
}

std::unique_ptr<TGraphic> TPictureRegistry::LoadPicture(const std::string& mimeType,
                                                        const std::string& bytes,
                                                        const TDecodeLimits& limits) {
  const std::string extension = ExtensionForPicture(mimeType, bytes);
  if (extension.empty())
    throw EInvalidGraphic(Format(SUnknownPictureKind, Shown(mimeType).c_str()));
  return LoadFromBytes(extension, bytes, limits);
}

std::string TPictureRegistry::ExtensionForMimeType(const std::string& mimeType) {
  static const std::map<std::string, std::string> extensions = {{"", "jpg"},
                                                                {"image/jpeg", "jpg"},
                                                                {"image/jpg", "jpg"},
                                                                {"image/pjpeg", "jpg"},
                                                                {"image/png", "png"},
                                                                {"image/x-png", "png"},
                                                                {"image/gif", "gif"},
                                                                {"image/bmp", "bmp"},
                                                                {"image/x-ms-bmp", "bmp"},
                                                                {"image/x-bmp", "bmp"}};
  const auto it = extensions.find(AsciiLowerCase(mimeType));
  return it == extensions.end() ? std::string() : it->second;
}

std::string TPictureRegistry::ExtensionForContent(const std::string& bytes) {
  std::string extension;
  if (StartsWith(bytes, "\x89PNG\r\n\x1A\n"))
    extension = "png";
  else if (StartsWith(bytes, "\xFF\xD8\xFF"))
    extension = "jpg";
  else if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a"))
    extension = "gif";
  else if (StartsWith(bytes, "BM") && bytes.size() >= 26)  // file header and core header
    extension = "bmp";
  return IsRegistered(extension) ? extension : std::string();
}

std::string TPictureRegistry::ExtensionForPicture(const std::string& mimeType,
                                                  const std::string& bytes) {
  std::string extension = ExtensionForContent(bytes);
  if (extension.empty()) extension = ExtensionForMimeType(mimeType);
  return IsRegistered(extension) ? extension : std::string();
}

std::string TPictureRegistry::ExtractExtension(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const size_t slash = fileName.find_last_of("/\\:");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return fileName.substr(dot + 1);
}

}  // namespace tagscope
