#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_move.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// An open folder, closed with its owner.
class TFolderHandle {
 public:
  explicit TFolderHandle(int fd) : FFd(fd) {}
  ~TFolderHandle() {
    if (FFd >= 0) ::close(FFd);
  }
  TFolderHandle(const TFolderHandle&) = delete;
  TFolderHandle& operator=(const TFolderHandle&) = delete;
  int Fd() const { return FFd; }
  void Reset(int fd) {
    if (FFd >= 0) ::close(FFd);
    FFd = fd;
  }

 private:
  int FFd;
};

[[noreturn]] void Fail(const std::string& what, const std::string& name) {
  throw EFCreateError(
      Format("Cannot %s \"%s\": %s", what.c_str(), name.c_str(), LastSystemErrorText().c_str()));
}

// Where renameat2 cannot refuse to replace, a new hard link can: it fails when the name is
// taken. File systems without hard links get an empty file made exclusively at the target,
// which the rename then replaces: only a file this call made can be replaced.
TMoveOutcome MoveByLink(int from, const std::string& name, int to, const std::string& leaf) {
  if (::linkat(from, name.c_str(), to, leaf.c_str(), 0) == 0) {
    if (::unlinkat(from, name.c_str(), 0) != 0) Fail("remove the old name", name);
    return TMoveOutcome::moMoved;
  }
  if (errno == EEXIST) return TMoveOutcome::moTargetTaken;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV) Fail("move", name);
  const int placeholder =
      ::openat(to, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (placeholder < 0) {
    if (errno == EEXIST) return TMoveOutcome::moTargetTaken;
    Fail("move", name);
  }
  ::close(placeholder);
  if (::renameat(from, name.c_str(), to, leaf.c_str()) != 0) {
    const int reason = errno;
    ::unlinkat(to, leaf.c_str(), 0);
    errno = reason;
    Fail("move", name);
  }
  return TMoveOutcome::moMoved;
}

// The folders on the way to a target, opened one inside the other; those made here are
// removed again (when still empty) unless the move ends in them.
class TFolderPath {
 public:
  explicit TFolderPath(int base) { FFolders.push_back(std::make_unique<TFolderHandle>(base)); }
  ~TFolderPath() {
    if (FKeep) return;
    for (size_t i = FFolders.size() - 1; i > 0; --i)
      if (FMade[i]) ::unlinkat(FFolders[i - 1]->Fd(), FNames[i].c_str(), AT_REMOVEDIR);
  }
  TFolderPath(const TFolderPath&) = delete;
  TFolderPath& operator=(const TFolderPath&) = delete;
  int Last() const { return FFolders.back()->Fd(); }
  // Enters the folder `part` of the last one, made when missing; -1 when it cannot be opened
  // as a folder without following a link.
  bool Enter(const std::string& part, bool& made) {
    made = ::mkdirat(Last(), part.c_str(), 0777) == 0;
    if (!made && errno != EEXIST) return false;
    FFolders.push_back(std::make_unique<TFolderHandle>(
        ::openat(Last(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)));
    FNames.push_back(part);
    FMade.push_back(made);
    return Last() >= 0;
  }
  void Keep() { FKeep = true; }

 private:
  std::vector<std::unique_ptr<TFolderHandle>> FFolders;
  std::vector<std::string> FNames{""};
  std::vector<bool> FMade{false};
  bool FKeep = false;
};

}  // namespace

TMoveOutcome MoveWithoutReplacing(const std::string& folder, const std::string& name,
                                  const std::string& target) {
  const std::string start = folder.empty() ? "." : folder;
  const TFolderHandle base(::open(start.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (base.Fd() < 0) Fail("open the folder", start);
  // The target's folders, each made where missing and opened without following a link.
  TFolderPath path(::dup(base.Fd()));
  if (path.Last() < 0) Fail("open the folder", start);
  size_t from = 0;
  for (size_t slash = target.find('/'); slash != std::string::npos;
       from = slash + 1, slash = target.find('/', from)) {
    bool made = false;
    if (!path.Enter(target.substr(from, slash - from), made)) {
      const bool inTheWay = !made && (errno == ELOOP || errno == ENOTDIR);
      Fail(inTheWay ? "open the folder (a link or a file is in the way)" : "make the folder",
           target.substr(0, slash));
    }
  }
  const std::string leaf = target.substr(from);
  TMoveOutcome outcome = TMoveOutcome::moMoved;
  if (::renameat2(base.Fd(), name.c_str(), path.Last(), leaf.c_str(), RENAME_NOREPLACE) == 0)
    outcome = TMoveOutcome::moMoved;
  else if (errno == EEXIST)
    return TMoveOutcome::moTargetTaken;
  else if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
    outcome = MoveByLink(base.Fd(), name, path.Last(), leaf);
  else
    Fail("move", name);
  if (outcome == TMoveOutcome::moMoved) path.Keep();
  return outcome;
}

}  // namespace tagscope
