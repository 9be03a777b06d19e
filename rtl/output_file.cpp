#include "tagscope/rtl/output_file.h"

#include <memory>

#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

[[noreturn]] void RaiseTaken(const std::string& name) {
  throw EFCreateError(Format(SFCreateErrorEx, name.c_str(), SOutputExists));
}

}  // namespace

bool WriteOutputFile(const std::string& name, bool replace,
                     const std::function<bool(TStream&)>& write) {
  // Asked first, so that nothing is written for a name that cannot be had; the rename below
  // decides.
  if (!replace && NameTaken(name)) RaiseTaken(name);
  std::string temporary;
  std::unique_ptr<TStream> stream = beside::CreateTemp(name, temporary, [](const std::string& n) {
    return std::make_unique<TFileStream>(n, TFileMode::fmCreateNew);
  });
  try {
    if (!write(*stream)) {
      stream.reset();
      RemoveFile(temporary);
      return false;
    }
    // An old file replaced by a new one not yet on the disk would be lost to a power cut.
    stream->Flush();
    stream.reset();
    if (replace) {
      beside::RenameOver(temporary, name);
    } else if (!RenameNoReplace(temporary, name)) {
      if (NameTaken(name)) RaiseTaken(name);
      throw EFCreateError(Format(SFCreateErrorEx, name.c_str(), LastSystemErrorText().c_str()));
    }
  } catch (...) {
    stream.reset();
    RemoveFile(temporary);
    throw;
  }
  return true;
}

}  // namespace tagscope
