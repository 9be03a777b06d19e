#include "engine/file/change_mark.h"

#include "engine/file/file_facts.h"
#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// The value: a version, then the fields separated by zero bytes, which no path holds.
constexpr char kVersion[] = "TSCM1";
constexpr size_t kMostValue = 8192;

std::string AbsoluteFolder(const std::string& path) {
  std::string folder = ResolveFileName(path.empty() ? "." : path);
  if (folder.empty() || folder.back() != PathDelimiter()) folder += PathDelimiter();
  return folder;
}

}  // namespace

TChangeMark TChangeMark::For(const TBeside& place) {
  TChangeMark mark;
  mark.nonce = beside::RandomDigits() + beside::RandomDigits();
  mark.folder = AbsoluteFolder(place.Folder().Path());
  mark.target = place.Leaf();
  return mark;
}

std::string TChangeMark::Encode() const {
  std::string value(kVersion);
  for (const std::string* field : {&nonce, &folder, &target}) {
    value += '\0';
    value += *field;
  }
  return value;
}

std::optional<TChangeMark> TChangeMark::Decode(const std::string& value) {
  if (value.size() > kMostValue) return std::nullopt;
  std::string fields[4];
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t end = i < 3 ? value.find('\0', at) : value.size();
    if (end == std::string::npos) return std::nullopt;
    fields[i] = value.substr(at, end - at);
    at = end + 1;
  }
  TChangeMark mark{fields[1], fields[2], fields[3]};
  // A nonce of hexadecimal digits, an absolute folder, a plain name in it.
  const bool sound = fields[0] == kVersion && mark.nonce.size() == 16 &&
                     mark.nonce.find_first_not_of("0123456789ABCDEF") == std::string::npos &&
                     !mark.folder.empty() && mark.folder.back() == PathDelimiter() &&
                     !mark.target.empty() &&
                     mark.target.find(PathDelimiter()) == std::string::npos && mark.target != "." &&
                     mark.target != "..";
  if (!sound) return std::nullopt;
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
