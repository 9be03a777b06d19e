#include "tests/engine/tag_builder.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include "tagscope/rtl/files.h"

namespace tagscope::test {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string Plain4(uint32_t v) {
  return Bytes({int(v >> 24), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)});
}

std::string Little4(uint32_t v) {
  return Bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)});
}

std::string SyncSafe4(uint32_t v) {
  return Bytes({int(v >> 21 & 0x7F), int(v >> 14 & 0x7F), int(v >> 7 & 0x7F), int(v & 0x7F)});
}

std::string TagHeader(int version, int flags, uint32_t size) {
  return "ID3" + Bytes({version, 0, flags}) + SyncSafe4(size);
}

std::string Tag(int version, int flags, const std::string& body, uint32_t padding) {
  return TagHeader(version, flags, static_cast<uint32_t>(body.size() + padding)) + body +
         std::string(padding, '\0');
}

std::string FrameV4(const std::string& id, const std::string& payload, int status, int format,
                    const std::string& optional) {
  return id + SyncSafe4(static_cast<uint32_t>(optional.size() + payload.size())) +
         Bytes({status, format}) + optional + payload;
}

std::string FrameV3(const std::string& id, const std::string& payload, int status, int format,
                    const std::string& optional) {
  return id + Plain4(static_cast<uint32_t>(optional.size() + payload.size())) +
         Bytes({status, format}) + optional + payload;
}

std::string Text(const std::string& text) {
  return std::string(1, '\0') + text;
}

ScopedFile::ScopedFile(const std::string& bytes) {
  // A random part keeps test programs that run at the same time apart.
  static const std::string run = std::to_string(std::random_device{}());
  static std::atomic<int> counter{0};
  FName = GetTempDir() + "tagscope-engine-test-" + run + "-" + std::to_string(counter++) + ".mp3";
  std::ofstream out(FName, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

ScopedFile::~ScopedFile() {
  RemoveFile(FName);
}

std::string ScopedFile::Contents() const {
  std::ifstream in(FName, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace tagscope::test
