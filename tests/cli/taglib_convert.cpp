// TagLib's own version change, the yardstick of the tool's: saves the ID3v2 tag of each file
// named in the version given (3 or 4), as TagLib converts frames between the versions.
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: taglib_convert 3|4 FILE...\n");
    return 2;
  }
  const auto version = std::atoi(argv[1]) == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
  for (int i = 2; i < argc; ++i) {
    TagLib::MPEG::File file(argv[i]);
    if (!file.isValid() || !file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version,
                                      TagLib::File::DoNotDuplicate)) {
      std::fprintf(stderr, "cannot convert %s\n", argv[i]);
      return 1;
    }
  }
  return 0;
}
