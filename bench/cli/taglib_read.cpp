// What a user would write instead of `tagscope dump`: a small program that reads title, artist,
// album and year of each file named on the command line with TagLib, the yardstick of the read
// benchmark.
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    TagLib::MPEG::File file(argv[i]);
    const TagLib::Tag* tag = file.tag();
    if (!tag) {
      std::printf("%s: no tag\n", argv[i]);
      continue;
    }
    std::printf("%s\t%s\t%s\t%s\t%u\n", argv[i], tag->title().toCString(true),
                tag->artist().toCString(true), tag->album().toCString(true), tag->year());
  }
  return 0;
}
