#pragma once

#include <functional>
#include <memory>
#include <string>

#include "rtl/file_stream.h"

namespace tagscope {

// A name for a scratch file in the temporary folder: "ID3TMP" + upper-case hexadecimal digits
// + ".tmp", chosen at random and not naming an existing file at the time of the call.
// Callers create the file exclusively (TTempFile does), since the name is not reserved.
std::string MakeTempFileName();

// A scratch file created exclusively under a fresh MakeTempFileName name (another name is
// tried while the chosen one turns out to exist), open for reading and writing, and deleted
// when the object goes away (also when an error passes).
class TTempFile {
 public:
  // nameSource chooses the candidate names (MakeTempFileName unless a test says otherwise).
  explicit TTempFile(const std::function<std::string()>& nameSource = MakeTempFileName);
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  TFileStream& Stream() { return *FStream; }
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
  std::unique_ptr<TFileStream> FStream;
};

}  // namespace tagscope
