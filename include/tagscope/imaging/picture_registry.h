#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "tagscope/imaging/graphic.h"

namespace tagscope {

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

// Maps a file extension (without its dot, compared without regard to letter case) to the
// picture class that reads it and a description. At first use it holds "gif" (the GIF reader),
// "jpeg" and "jpg" (libjpeg), "png" (libspng) and "bmp" (the Windows bitmap reader).
//
//   auto picture = TPictureRegistry::LoadPicture(mimeType, bytes);
//   std::string size = Format("%dx%d", picture->Width(), picture->Height());
//
// Every load raises a tagscope::Exception whose message is fit to show to the user.
class TPictureRegistry {
 public:
  // Adds or replaces the reader of an extension ("gif" or ".gif").
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicFactory factory);
  static void UnregisterFileFormat(const std::string& extension);
  static bool IsRegistered(const std::string& extension);
  // The description of an extension's reader, or "" when none is registered.
  static std::string Description(const std::string& extension);

  // The decoding limits that pictures made here start with: TDecodeLimits' own defaults until
  // they are set. Safe to use from any thread.
  static TDecodeLimits DefaultLimits();
  static void SetDefaultLimits(const TDecodeLimits& limits);

  // A new, empty picture of the class registered for the extension, with the default limits;
  // raises EInvalidGraphic "Unknown picture file extension (.ext)" for an extension nobody
  // reads.
  static std::unique_ptr<TGraphic> Create(const std::string& extension);
  // Reads a file through the reader of its extension.
  static std::unique_ptr<TGraphic> LoadFromFile(const std::string& fileName);
  // Reads a picture held in memory through the reader of the given extension.
  static std::unique_ptr<TGraphic> LoadFromBytes(const std::string& extension,
                                                 const std::string& bytes);
  static std::unique_ptr<TGraphic> LoadFromBytes(const std::string& extension,
                                                 const std::string& bytes,
                                                 const TDecodeLimits& limits);
  // Reads an attached picture through the reader that ExtensionForPicture picks; raises
  // EInvalidGraphic "image/webp: pictures of this kind cannot be shown" when there is none.
  static std::unique_ptr<TGraphic> LoadPicture(const std::string& mimeType,
                                               const std::string& bytes);
  static std::unique_ptr<TGraphic> LoadPicture(const std::string& mimeType,
                                               const std::string& bytes,
                                               const TDecodeLimits& limits);

  // The extension a picture of this MIME type is read with (letter case ignored): "jpg" for
  // image/jpeg and the empty type, "png", "gif" and "bmp" for theirs; "" for a type that names
  // no format read here.
  static std::string ExtensionForMimeType(const std::string& mimeType);
  // The registered extension whose format the bytes' signature shows ("png", "jpg", "gif",
  // "bmp"), or "" when they start like none of them.
  static std::string ExtensionForContent(const std::string& bytes);
  // The extension an attached picture is read with: that of its bytes' signature, whatever its
  // MIME type claims, else that of its MIME type; "" when neither names a format read here.
  static std::string ExtensionForPicture(const std::string& mimeType, const std::string& bytes);
  // The extension of a file name, without its dot ("" when it has none).
  static std::string ExtractExtension(const std::string& fileName);
};

}  // namespace tagscope
