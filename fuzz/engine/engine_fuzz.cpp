// Opens arbitrary bytes as an MP3 file through the tag engine (at offset 0 and with the full
// search, with and without a decrypt handler) and reads everything a viewer or the dump would.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>

#include "cli/dump.h"
#include "cli/verbs.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope::cli {
// dump.cpp registers its verb here; the harness never runs it.
std::vector<std::function<Verb(CLI::App&)>>& VerbRegistry() {
  static std::vector<std::function<Verb(CLI::App&)>> registry;
  return registry;
}
}  // namespace tagscope::cli

namespace {

using namespace tagscope;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

const std::string& InputFile() {
  static const std::string name =
      GetTempDir() + "tagscope-engine-fuzz-" + std::to_string(std::random_device{}()) + ".mp3";
  return name;
}

void ReadEverything(TID3Engine& e) {
  (void)e.Title(), (void)e.Artist(), (void)e.Album(), (void)e.Genre();
  (void)e.Year(), (void)e.Track(), (void)e.EncodedBy(), (void)e.SubTitle();
  for (int i = 0; i < e.Frames().Count(); ++i) {
    TID3Frames_Item& f = e.Frames().Items(i);
    (void)f.DisplayName(), (void)f.AsText();
    (void)e.GetFrameText(f.Name());
  }
  TID3Comment c;
  for (int i = 0; e.GetComment(i, c); ++i) {
  }
  TMemoryStream data;
  TID3Picture p;
  for (int i = 0; e.GetPicture(i, data, p); ++i) {
  }
  TID3Url u;
  for (int i = 0; e.GetURL(i, u); ++i) {
  }
  (void)cli::DumpJson(e);
  NullBuffer null;
  std::ostream out(&null);
  cli::DumpText(out, e);
}

// The frames as read must serialise in both layouts and read back.
void WriteAndReread(TID3Engine& e) {
  for (uint8_t version : {3, 4}) {
    TMemoryStream written;
    try {
      e.Frames().WriteFrames(written, version);
    } catch (const Exception&) {
      continue;
    }
    written.SetPosition(0);
    TID3Frames back;
    try {
      back.ReadFrames(written, version, written.Size(), nullptr);
    } catch (const Exception&) {
    }
  }
}

// What the engine reads through the bytes its tag read kept is the file's own.
void CheckKeptBytes(TID3Engine& e) {
  TFileStream plain(InputFile(), TFileMode::fmOpenRead);
  const TMpegAudioProperties kept = e.ReadAudio();
  const TMpegAudioProperties direct =
      ReadMpegAudio(plain, e.Status().place.offset == 0 ? e.Status().place.size : 0);
  if (kept.found != direct.found || kept.firstFrameOffset != direct.firstFrameOffset ||
      kept.audioEnd != direct.audioEnd || kept.frameCount != direct.frameCount ||
      kept.encoder != direct.encoder || kept.id3v1 != direct.id3v1)
    __builtin_trap();
  for (const int64_t at :
       {int64_t(0), e.Status().place.size, std::max<int64_t>(plain.Size() - 5, 0)}) {
    std::string bytes(16, '\0');
    bytes.resize(static_cast<size_t>(std::max<int64_t>(plain.ReadAt(at, bytes.data(), 16), 0)));
    if (e.ReadFileBytes(at, 16) != bytes) __builtin_trap();
  }
}

// The read report agrees with itself and with the tag's place in the file.
void CheckReport(TID3Engine& e) {
  const TTagReadReport& r = e.Status().readReport;
  if (r.complete != r.problem.empty()) __builtin_trap();
  const int64_t tagEnd = e.Status().place.offset + e.Status().place.size;
  if (e.Status().place.size > 0 && r.complete && r.accountedEnd != tagEnd) __builtin_trap();
  if (e.Status().place.size > 0 &&
      (r.accountedEnd < e.Status().place.offset || r.accountedEnd > tagEnd))
    __builtin_trap();
}

// An engine that leaves large payloads in the file shows what one that reads them all shows,
// and reads them in full when asked.
void CheckDeferred() {
  TID3Engine eager, lazy;
  for (TID3Engine* e : {&eager, &lazy}) {
    e->SetReadOnly(true);
    e->Options().deferLargePayloads = e == &lazy;
    e->SetFileName(InputFile());
    e->SetActive(true);
  }
  if (cli::DumpJson(eager) != cli::DumpJson(lazy)) __builtin_trap();
  if (eager.Frames().Count() != lazy.Frames().Count()) __builtin_trap();
  for (int i = 0; i < eager.Frames().Count(); ++i)
    if (eager.Frames().Items(i).Payload() != lazy.Frames().Items(i).Payload()) __builtin_trap();
}

void Run(bool fullSeek, bool decrypt) {
  TID3Engine e;
  e.SetReadOnly(true);
  e.SetFullID3TagSeek(fullSeek);
  if (decrypt)
    e.OnFrameDecrypt = [](TID3Frames_Item&, TStream& s) {
      auto& m = static_cast<TMemoryStream&>(s);
      std::string bytes = m.Bytes();
      for (char& ch : bytes) ch = static_cast<char>(ch ^ 0x5A);
      m.SetBytes(bytes);
    };
  e.SetFileName(InputFile());
  // Damaged tags are reported, never raised.
  e.SetActive(true);
  CheckReport(e);
  CheckKeptBytes(e);
  ReadEverything(e);
  WriteAndReread(e);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    TFileStream file(InputFile(), TFileMode::fmCreate);
    file.WriteBuffer(data, static_cast<int64_t>(size));
  }
  Run(false, false);
  Run(true, true);
  CheckDeferred();
  RemoveFile(InputFile());
  return 0;
}
