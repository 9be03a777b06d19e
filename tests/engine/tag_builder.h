#pragma once

// Builds ID3 tag bytes by hand for the tests, and temporary files that hold them.
#include <cstdint>
#include <string>

namespace tagscope::test {

std::string Bytes(std::initializer_list<int> values);
std::string Plain4(uint32_t value);
std::string Little4(uint32_t value);
std::string SyncSafe4(uint32_t value);

// A 10-byte tag header; the size is written sync-safe.
std::string TagHeader(int version, int flags, uint32_t size);
// A header followed by body and padding zero bytes, the size covering both.
std::string Tag(int version, int flags, const std::string& body, uint32_t padding = 0);

// Frame headers as the standards lay them out: the size counts optional bytes and payload.
std::string FrameV4(const std::string& id, const std::string& payload, int status = 0,
                    int format = 0, const std::string& optional = "");
std::string FrameV3(const std::string& id, const std::string& payload, int status = 0,
                    int format = 0, const std::string& optional = "");
// A text frame payload: encoding 0 and the text.
std::string Text(const std::string& text);

// A file in the temporary folder holding the given bytes, deleted at the end of the test.
class ScopedFile {
 public:
  explicit ScopedFile(const std::string& bytes);
  ~ScopedFile();
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  const std::string& Name() const { return FName; }
  std::string Contents() const;

 private:
  std::string FName;
};

}  // namespace tagscope::test
