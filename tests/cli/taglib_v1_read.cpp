// A second reader of the ID3v1 trailers the tool writes: prints what TagLib finds in the
// trailer of each file named, one line each: title, year, track, genre and comment, tab-separated,
// or "none" for a file without a trailer.
#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>

#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    TagLib::MPEG::File file(argv[i]);
    if (!file.isValid() || !file.hasID3v1Tag()) {
      std::printf("none\n");
      continue;
    }
    const TagLib::ID3v1::Tag* tag = file.ID3v1Tag();
    std::printf("%s\t%u\t%u\t%s\t%s\n", tag->title().toCString(true), tag->year(), tag->track(),
                tag->genre().toCString(true), tag->comment().toCString(true));
  }
  return 0;
}
