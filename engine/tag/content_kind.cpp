// Telling what a file holds by the first bytes of its content, so that a tag is not glued to
// the front of a file that is no MP3.
#include "engine/tag/content_kind.h"

#include <algorithm>
#include <array>

#include "engine/tag/id3_layout.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

namespace {

struct TSignature {
  size_t at;
  std::string_view bytes;
  const char* name;
};

using namespace std::string_view_literals;

// Checked in order: the more particular kinds of a container before the container itself.
constexpr std::array kSignatures = {
    TSignature{0, "fLaC"sv, "a FLAC file"},
    TSignature{0, "OggS"sv, "an Ogg file"},
    TSignature{4, "ftyp"sv, "an MP4 file"},
    TSignature{8, "WAVE"sv, "a WAV file"},  // after "RIFF", checked below
    TSignature{8, "AVI "sv, "an AVI file"},
    TSignature{8, "WEBP"sv, "a WebP picture"},
    TSignature{8, "AIFF"sv, "an AIFF file"},  // after "FORM"
    TSignature{8, "AIFC"sv, "an AIFF file"},
    TSignature{0, "\xFF\xD8\xFF"sv, "a JPEG picture"},
    TSignature{0, "\x89PNG\r\n\x1A\n"sv, "a PNG picture"},
    TSignature{0, "GIF87a"sv, "a GIF picture"},
    TSignature{0, "GIF89a"sv, "a GIF picture"},
    TSignature{0, "II*\0"sv, "a TIFF picture"},
    TSignature{0, "MM\0*"sv, "a TIFF picture"},
    TSignature{0, "%PDF-"sv, "a PDF document"},
    TSignature{0, "PK\x03\x04"sv, "a ZIP archive"},
    TSignature{0, "Rar!\x1A\x07"sv, "a RAR archive"},
    TSignature{0, "7z\xBC\xAF\x27\x1C"sv, "a 7-Zip archive"},
    TSignature{0, "\x1F\x8B"sv, "a gzip archive"},
    TSignature{0, "\177ELF"sv, "a program"},
    TSignature{0, "MThd"sv, "a MIDI file"},
    TSignature{0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11"sv, "a WMA or ASF file"},
    TSignature{0, "\x1A\x45\xDF\xA3"sv, "a Matroska or WebM file"},
    TSignature{0, "MAC "sv, "a Monkey's Audio file"},
    TSignature{0, "wvpk"sv, "a WavPack file"},
    TSignature{0, "MPCK"sv, "a Musepack file"},
    TSignature{0, ".snd"sv, "an AU file"},
    TSignature{0, "DSD "sv, "a DSF file"},
    TSignature{0, "caff"sv, "a CAF file"},
};

bool HasAt(std::string_view head, size_t at, std::string_view bytes) {
  return head.size() >= at + bytes.size() && head.substr(at, bytes.size()) == bytes;
}

}  // namespace

std::string ForeignContentName(std::string_view head) {
  for (const TSignature& s : kSignatures) {
    if (!HasAt(head, s.at, s.bytes)) continue;
    // The kinds told at byte 8 are those of a RIFF or FORM container only.
    if (s.at == 8 && !HasAt(head, 0, "RIFF") && !HasAt(head, 0, "FORM")) continue;
    return s.name;
  }
  if (HasAt(head, 0, "RIFF")) return "a RIFF file";
  // An ADTS frame header: the sync of an MPEG audio frame with the layer bits an MPEG audio
  // frame never has.
  if (head.size() >= 2 && static_cast<uint8_t>(head[0]) == 0xFF &&
      (static_cast<uint8_t>(head[1]) & 0xF6) == 0xF0)
    return "an AAC file";
  return {};
}

std::string ForeignContentOf(TStream& stream, int64_t from) {
  // Several ID3v2 tags may stand one after another; the content begins past the last.
  constexpr int kMaxStackedTags = 16;
  std::array<char, ContentSignatureBytes> head{};
  for (int i = 0; i <= kMaxStackedTags; ++i) {
    const int64_t n = stream.ReadAt(from, head.data(), static_cast<int64_t>(head.size()));
    const std::string_view bytes(head.data(), static_cast<size_t>(std::max<int64_t>(n, 0)));
    const TByteReader r(bytes);
    if (bytes.size() < static_cast<size_t>(id3::HeaderSize) || bytes.substr(0, 3) != "ID3" ||
        !r.IsSyncSafeAt(id3::SizeOffset, id3::SizeWidth))
      return ForeignContentName(bytes);
    const bool footer = (r.ByteAt(id3::FlagsOffset) & id3::FlagFooter) != 0;
    from += id3::HeaderSize * (footer ? 2 : 1) +
            static_cast<int64_t>(r.SyncSafeAt(id3::SizeOffset, id3::SizeWidth));
  }
  return {};
}

}  // namespace tagscope
