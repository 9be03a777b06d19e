// Opens arbitrary bytes as an MP3 file and changes its tag's version to 3 and back to 4. Every
// frame the change does not convert or drop (dates, people lists, frames of one version only)
// must keep its texts: the re-encoding for version 3 may change the bytes of a text, never what
// it reads as, and the joining of a list's values with "/" keeps the first value in front.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/frames/stream_helpers.h"
#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Frames the change converts or drops: dates, people lists and those of one version only.
bool IsConverted(const std::string& id) {
  for (const char* converted :
       {"TYER", "TDAT", "TIME", "TORY", "IPLS", "EQUA", "RVAD", "TRDA", "TSIZ"})
    if (id == converted) return true;
  return IsVersion4Frame(id);
}

// What each frame reads as, in order; the frames the change converts left out.
std::vector<std::string> Texts(TID3Engine& e) {
  std::vector<std::string> texts;
  for (int i = 0; i < e.Frames().Count(); ++i) {
    TID3Frames_Item& frame = e.Frames().Items(i);
    const std::string id = frame.Name();
    const std::string& payload = frame.Data().Bytes();
    if (IsConverted(id)) continue;
    std::string text = id + ":";
    if (id == "COMM" || id == "USLT") {
      const TID3Comment c = ParseComment(payload);
      text += c.DescriptionUtf8 + "|" + c.TextUtf8;
    } else if (id == "WXXX") {
      const TID3Url u = ParseURL(payload);
      text += u.DescriptionUtf8 + "|" + u.URLUtf8;
    } else if (id == "APIC") {
      size_t offset = 0;
      const TID3Picture p = ParsePicture(payload, offset);
      text += p.MimeType + "|" + p.DescriptionUtf8 + "|" + payload.substr(offset);
    } else if (id == "TXXX") {
      const TID3UserText t = ParseUserText(payload);
      text += t.DescriptionUtf8 + "|" + t.TextUtf8;
    } else if (!id.empty() && id[0] == 'T') {
      const std::string first = frame.AsTextUtf8();
      text += TrimControl(first.substr(0, first.find('/')));
    } else {
      text += payload;
    }
    texts.push_back(text);
  }
  return texts;
}

const std::string& InputFile() {
  static const std::string name =
      GetTempDir() + "tagscope-version-fuzz-" + std::to_string(::getpid()) + ".mp3";
  return name;
}

void ChangeBothWays() {
  TID3Engine e;
  e.SetReadOnly(true);
  e.SetFileName(InputFile());
  try {
    e.SetActive(true);
  } catch (const Exception&) {
    return;
  }
  if (!e.Active()) return;
  const std::vector<std::string> before = Texts(e);
  ChangeTagVersion(e.Tag(), 3);
  Check(e.Header().VersionNumber() == 3 && !e.Header().FooterPresent());
  Check(Texts(e) == before);
  ChangeTagVersion(e.Tag(), 4);
  Check(e.Header().VersionNumber() == 4);
  Check(Texts(e) == before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    TFileStream file(InputFile(), TFileMode::fmCreate);
    file.WriteBuffer(data, static_cast<int64_t>(size));
  }
  ChangeBothWays();
  RemoveFile(InputFile());
  return 0;
}
