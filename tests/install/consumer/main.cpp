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
    std::printf("%s - %s\n", engine.ArtistUtf8().c_str(), engine.TitleUtf8().c_str());
    tagscope::TMemoryStream bytes;
    tagscope::TID3Picture info;
    if (engine.GetPicture(0, bytes, info)) {
      auto ext = tagscope::TPictureRegistry::ExtensionForMimeType(info.MimeType);
      auto picture = tagscope::TPictureRegistry::LoadFromBytes(ext, bytes.Bytes());
      std::printf("%s %dx%d\n", info.MimeType.c_str(), picture->Width(), picture->Height());
    }
  } catch (const tagscope::Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
}
