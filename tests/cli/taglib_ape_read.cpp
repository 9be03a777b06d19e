// A second reader of APE tags: prints what TagLib finds in the APE tag of each file named, one
// line per item (key in capitals, kind, and the values joined by "|" or the binary size), then
// a line "end"; "none" for a file without an APE tag. A line "id3v1" follows a file's items
// when the file ends in an ID3v1 trailer.
#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/mpegfile.h>

#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    TagLib::MPEG::File file(argv[i]);
    if (!file.isValid() || !file.hasAPETag()) {
      std::printf("none\n");
    } else {
      for (const auto& [key, item] : file.APETag()->itemListMap()) {
        if (item.type() == TagLib::APE::Item::Binary) {
          std::printf("%s\tbinary\t%u\n", key.toCString(true), item.binaryData().size());
          continue;
        }
        // A link to outside is kept as bytes, not as a list of texts.
        const TagLib::String text = item.type() == TagLib::APE::Item::Text
                                        ? item.values().toString("|")
                                        : TagLib::String(item.binaryData(), TagLib::String::UTF8);
        std::printf("%s\t%s\t%s\n", key.toCString(true),
                    item.type() == TagLib::APE::Item::Text ? "text" : "locator",
                    text.toCString(true));
      }
    }
    if (file.isValid() && file.hasID3v1Tag()) std::printf("id3v1\n");
    std::printf("end\n");
  }
  return 0;
}
