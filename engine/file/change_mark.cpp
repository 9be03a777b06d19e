#include "engine/file/change_mark.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/file/file_facts.h"
#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// The value: a version, then the fields separated by zero bytes, which no path holds.
constexpr char kVersion[] = "TSCM1";
constexpr size_t kMostValue = 8192;

// The folder as a path from the root: the working folder's path before a relative one. Links
// on the way are left as they are; the path only has to lead to the folder.
std::string AbsoluteFolder(const std::string& path) {
  std::string folder = path;
  if (folder.empty() || folder.front() != PathDelimiter()) {
    std::error_code failed;
    const std::string here = std::filesystem::current_path(failed).string();
    if (failed) return ResolveFileName(path.empty() ? "." : path) + PathDelimiter();
    folder = here + (here.empty() || here.back() != PathDelimiter() ? "/" : "") + folder;
  }
  if (folder.back() != PathDelimiter()) folder += PathDelimiter();
  return folder;
}

bool PlainName(const std::string& name) {
  return !name.empty() && name.find(PathDelimiter()) == std::string::npos && name != "." &&
         name != "..";
}

}  // namespace

TChangeMark TChangeMark::For(const TBeside& place, bool located) {
  TChangeMark mark;
  mark.nonce = beside::RandomDigits() + beside::RandomDigits();
  if (located) {
    mark.folder = FolderOf(place);
    mark.target = place.Leaf();
  }
  return mark;
}

std::string TChangeMark::FolderOf(const TBeside& place) {
  return AbsoluteFolder(place.Folder().Path());
}

std::string TChangeMark::Encode() const {
  std::string value = std::string(kVersion) + '\0' + nonce;
  if (!folder.empty()) value += '\0' + folder + '\0' + target;
  return value;
}

std::optional<TChangeMark> TChangeMark::Decode(const std::string& value) {
  if (value.size() > kMostValue) return std::nullopt;
  std::vector<std::string> fields;
  for (size_t at = 0;;) {
    const size_t end = value.find('\0', at);
    fields.push_back(value.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  if ((fields.size() != 2 && fields.size() != 4) || fields[0] != kVersion) return std::nullopt;
  TChangeMark mark;
  mark.nonce = fields[1];
  if (fields.size() == 4) {
    mark.folder = fields[2];
    mark.target = fields[3];
  }
  // A nonce of hexadecimal digits; an absolute folder and a plain name in it, where given.
  const bool nonce = mark.nonce.size() == 16 &&
                     mark.nonce.find_first_not_of("0123456789ABCDEF") == std::string::npos;
  const bool place =
      fields.size() == 2 || (!mark.folder.empty() && mark.folder.front() == PathDelimiter() &&
                             mark.folder.back() == PathDelimiter() && PlainName(mark.target));
  if (!nonce || !place) return std::nullopt;
  return mark;
}

std::optional<TChangeMark> TChangeMark::Read(TStream& file, bool* supported) {
  std::string value;
  const TStream::TAttribute found = file.GetAttribute(kAttribute, value);
  if (supported) *supported = found != TStream::TAttribute::Unsupported;
  if (found != TStream::TAttribute::Present) return std::nullopt;
  return Decode(value);
}

bool TChangeMark::Store(TStream& file) const {
  return file.SetAttribute(kAttribute, Encode());
}

void TChangeMark::Remove(TStream& file) {
  file.RemoveAttribute(kAttribute);
}

}  // namespace tagscope
