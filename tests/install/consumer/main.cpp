// Prints an MP3 file's title and artist and the size of its first picture, using only what
// an installed tagscope provides.
#include <cstdio>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/imaging/picture_registry.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  try {
    tagscope::TID3Engine engine;
    engine.SetReadOnly(true);
    engine.SetFileName(argv[1]);
    engine.SetActive(true);
    // Read through const references: reading the tag or a picture changes neither.
    const tagscope::TID3Engine& tag = engine;
    std::printf("%s - %s\n", tag.ArtistUtf8().c_str(), tag.TitleUtf8().c_str());
    tagscope::TMemoryStream bytes;
    tagscope::TID3Picture info;
    if (tag.GetPicture(0, bytes, info)) {
      auto ext = tagscope::TPictureRegistry::ExtensionForMimeType(info.MimeType);
      const auto picture = tagscope::TPictureRegistry::LoadFromBytes(ext, bytes.Bytes());
      const tagscope::TGraphic& shown = *picture;
      std::printf("%s %dx%d\n", info.MimeType.c_str(), shown.Width(), shown.Height());
    }
  } catch (const tagscope::Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
}
