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
// "jpeg" and "jpg" (libjpeg) and "bmp" (the Windows bitmap reader).
//
//   auto picture = TPictureRegistry::LoadFromBytes("gif", bytes);
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

  // A new, empty picture of the class registered for the extension; raises EInvalidGraphic
  // "Unknown picture file extension (.ext)" for an extension nobody reads.
  static std::unique_ptr<TGraphic> Create(const std::string& extension);
  // Reads a file through the reader of its extension.
  static std::unique_ptr<TGraphic> LoadFromFile(const std::string& fileName);
  // Reads a picture held in memory through the reader of the given extension.
  static std::unique_ptr<TGraphic> LoadFromBytes(const std::string& extension,
                                                 const std::string& bytes);

  // The extension a picture of this MIME type is read with: "bmp" for image/bmp, "gif" for
  // image/gif (letter case ignored), "jpg" for anything else, the empty type included.
  static std::string ExtensionForMimeType(const std::string& mimeType);
  // The extension of a file name, without its dot ("" when it has none).
  static std::string ExtractExtension(const std::string& fileName);
};

}  // namespace tagscope
