// Edits a copy of an MP3 file's tag through nothing but what an installed tagscope provides:
// a UTF-8 title, a front cover added, the tag made ID3v2.4, and the change written.
//   edit FILE TITLE PICTURE-FILE
#include <cstdio>
#include <string>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  try {
    tagscope::TFileStream pictureFile(argv[3], tagscope::TFileMode::fmOpenRead);
    const std::string pictureBytes = pictureFile.ReadString(pictureFile.Size());

    tagscope::TID3Engine engine;
    engine.SetFileName(argv[1]);
    engine.SetActive(true);
    engine.SetTitleUtf8(argv[2]);
    tagscope::TID3Picture cover;
    cover.MimeType = "image/png";
    cover.PictureType = 3;  // front cover
    cover.DescriptionUtf8 = "Front";
    tagscope::SetPicture(engine.Tag(), cover, pictureBytes);
    tagscope::ChangeTagVersion(engine.Tag(), 4);
    engine.WriteTag();
    std::printf("%s\n", engine.TitleUtf8().c_str());
  } catch (const tagscope::Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
}
