// What a user would write instead of `tagscope dump`: a small program that reads title, artist,
// album and year of each file named on the command line with TagLib, the yardstick of the read
// benchmark. With --tag-only first it reads the tag alone, without the audio properties (which
// make TagLib scan the MPEG stream), like for like with `tagscope dump`.
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  int first = 1;
  const bool properties = !(argc > 1 && std::strcmp(argv[1], "--tag-only") == 0);
  if (!properties) first = 2;
  for (int i = first; i < argc; ++i) {
    TagLib::MPEG::File file(argv[i], properties);
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
