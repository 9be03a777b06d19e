#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tagscope::cli {

// What stands under a name in a folder, as far as a walk needs to know.
enum class TEntryKind {
  ekFolder,  // a folder (a link to one is ekOther: a walk never follows it)
  ekFile,    // a regular file or a link to one, or a name that could not be looked at (an
             // attempt to open it tells why)
  ekOther,   // a FIFO, device, socket or link to a folder
};

struct TWalkEntry {
  std::string name;  // without folder, UTF-8
  TEntryKind kind;
};

class TWalkFolderHandle;  // the platform's open folder

// A folder opened for a walk. The folders in it are opened through it, by their names alone:
// a walk reaches folders deeper than a path may be long, and a folder renamed above one being
// read does not lead it elsewhere.
class TWalkFolder {
 public:
  // Opens the folder `path`; null, with the system's reason, when it cannot.
  static std::unique_ptr<TWalkFolder> Open(const std::string& path, std::string& reason);
  ~TWalkFolder();
  TWalkFolder(const TWalkFolder&) = delete;
  TWalkFolder& operator=(const TWalkFolder&) = delete;

  // Opens the folder `name` in this one, never through a link; null with the reason.
  std::unique_ptr<TWalkFolder> OpenSub(const std::string& name, std::string& reason) const;
  // The folder's identity on its volume: the same for every way to the folder.
  const std::string& Identity() const { return FIdentity; }
  // Adds the names in the folder ("." and ".." left out) to `entries`; false, with the reason,
  // when the folder could not be read to its end.
  bool List(std::vector<TWalkEntry>& entries, std::string& reason) const;

 private:
  TWalkFolder(std::unique_ptr<TWalkFolderHandle> handle, std::string identity);

  std::unique_ptr<TWalkFolderHandle> FHandle;
  std::string FIdentity;
};

}  // namespace tagscope::cli
