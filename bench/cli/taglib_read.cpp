// What a user would write instead of `tagscope dump`: a small program that reads title, artist,
// album and year of each file named on the command line with TagLib, the yardstick of the read
// benchmark, and its audio properties (length, bitrate, sample rate, channels) as `tagscope dump`
// reports them. With --tag-only first it reads the tag alone, without the audio properties (which
// make TagLib scan the MPEG stream).
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  const bool tagOnly = argc > 1 && std::strcmp(argv[1], "--tag-only") == 0;
  for (int i = tagOnly ? 2 : 1; i < argc; ++i) {
    TagLib::MPEG::File file(argv[i], !tagOnly, TagLib::AudioProperties::Average);
    const TagLib::Tag* tag = file.tag();
    if (!tag) {
      std::printf("%s: no tag\n", argv[i]);
      continue;
    }
    std::printf("%s\t%s\t%s\t%s\t%u", argv[i], tag->title().toCString(true),
                tag->artist().toCString(true), tag->album().toCString(true), tag->year());
    if (const TagLib::AudioProperties* p = tagOnly ? nullptr : file.audioProperties())
      std::printf("\t%d ms\t%d kbit/s\t%d Hz\t%d channels", p->lengthInMilliseconds(), p->bitrate(),
                  p->sampleRate(), p->channels());
    std::printf("\n");
  }
  return 0;
}
