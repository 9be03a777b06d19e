// engine_write_samples FOLDER: writes tags with the engine into files of FOLDER, for another
// program to read back, and lists what each file should hold in FOLDER/manifest.tsv:
//   file  NAME  VERSION  HEADER-FLAGS
//   frame NAME  ID  STATUS  FORMAT  PAYLOAD-HEX
// STATUS bits: 1 tag alter, 2 file alter, 4 read only; FORMAT bits: 1 compressed, 2 frame
// unsynchronised, 4 data length indicator; HEADER-FLAGS bits: 1 unsynchronised, 2 extended
// header, 4 footer.
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/write_test_support.h"

namespace tagscope::test {
namespace {

struct FrameSample {
  std::string id;
  std::string payload;
  int status = 0;
  int format = 0;
};

struct FileSample {
  std::string name;
  uint8_t version;
  int headerFlags;
  std::vector<FrameSample> frames;
};

std::string Hex(const std::string& bytes) {
  std::string out;
  char digits[3];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", c);
    out += digits;
  }
  return out;
}

void Apply(TID3Frames_Item& item, const FrameSample& sample) {
  item.SetName(sample.id);
  item.Data().SetBytes(sample.payload);
  item.SetTagAlterDiscardable(sample.status & 1);
  item.SetFileAlterDiscardable(sample.status & 2);
  item.SetReadOnly(sample.status & 4);
  if (sample.format & 1) item.SetCompress(true);
  item.SetUnSynchronisation(sample.format & 2);
  item.SetDataLengthIndicator(sample.format & 5);
}

void Write(const std::string& folder, const FileSample& sample, std::ostream& manifest) {
  const std::string name = folder + "/" + sample.name;
  std::ofstream(name, std::ios::binary) << PatternBytes(700, 1);
  TID3Engine engine;
  engine.SetFileName(name);
  engine.SetActive(true);
  TID3Header& header = engine.Header();
  header.SetVersionNumber(sample.version);
  header.SetUnsynchronisation(sample.headerFlags & 1);
  header.SetExtendedHeaderPresent(sample.headerFlags & 2);
  if (sample.headerFlags & 2) {
    // A stale CRC: the writer computes the tag's own. Version 4 also carries the other flags.
    header.ExtendedHeader().SetCRCData(0x0BADCAFE);
    header.ExtendedHeader().SetTagIsAnUpdate(sample.version == 4);
    header.ExtendedHeader().SetTagRestricted(sample.version == 4);
    header.ExtendedHeader().TagRestrictions().DecodeFlags(0x48);
  }
  header.SetFooterPresent(sample.headerFlags & 4);
  engine.SetPadding(sample.headerFlags & 4 ? 0 : 64);
  manifest << "file\t" << sample.name << "\t" << int(sample.version) << "\t" << sample.headerFlags
           << "\n";
  for (const FrameSample& frame : sample.frames) {
    Apply(engine.Frames().Add(), frame);
    manifest << "frame\t" << sample.name << "\t" << frame.id << "\t" << frame.status << "\t"
             << frame.format << "\t" << Hex(frame.payload) << "\n";
  }
  engine.WriteTag();
}

// Private frames whose payloads take every size from 3 to well past 128 bytes.
std::vector<FrameSample> Sizes(const std::function<int(int)>& status,
                               const std::function<int(int)>& format) {
  std::vector<FrameSample> frames;
  for (int size = 3; size <= 300; ++size) {
    std::string owner = "s" + std::to_string(size);
    if (owner.size() + 1 > static_cast<size_t>(size)) continue;
    const std::string data = PatternBytes(size - owner.size() - 1, size);
    frames.push_back({"PRIV", owner + '\0' + data, status(size), format(size)});
  }
  return frames;
}

std::vector<FrameSample> Fields() {
  const std::string picture =
      std::string(1, '\0') + "image/jpeg" + '\0' + '\3' + "Cover" + '\0' + PatternBytes(900, 4);
  const std::string comment = std::string(1, '\0') + "eng" + "Note" + '\0' + "A comment";
  return {{"TIT2", std::string(1, '\0') + "Title"},
          {"TPE1", std::string(1, '\0') + "Artist \xe9"},
          {"APIC", picture, 1, 0},
          {"COMM", comment},
          {"XABC", PatternBytes(130, 2), 7, 0},
          {"XABD", PatternBytes(127, 3), 2, 0}};
}

std::vector<FileSample> Samples() {
  auto none = [](int) { return 0; };
  auto statusBits = [](int size) { return size % 8; };
  auto version3Formats = [](int size) { return size % 3 == 0 ? 1 : 0; };
  auto version4Formats = [](int size) { return size % 5; };
  return {
      {"v3-sizes.mp3", 3, 0, Sizes(statusBits, version3Formats)},
      {"v4-sizes.mp3", 4, 0, Sizes(statusBits, version4Formats)},
      {"v3-unsync.mp3", 3, 1, Sizes(none, version3Formats)},
      {"v3-ext.mp3", 3, 2, Sizes(statusBits, none)},
      {"v4-ext.mp3", 4, 2, Sizes(none, none)},
      {"v3-fields.mp3", 3, 0, Fields()},
      {"v3-fields-unsync.mp3", 3, 1, Fields()},
      {"v4-fields-footer.mp3", 4, 4, Fields()},
  };
}

}  // namespace
}  // namespace tagscope::test

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: engine_write_samples FOLDER\n";
    return 2;
  }
  try {
    std::ofstream manifest(std::string(argv[1]) + "/manifest.tsv", std::ios::binary);
    for (const auto& sample : tagscope::test::Samples())
      tagscope::test::Write(argv[1], sample, manifest);
  } catch (const tagscope::Exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
