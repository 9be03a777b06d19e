#include "cli/set_from_name.h"

#include <filesystem>

#include "tagscope/engine/shown_fields.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope::cli {

namespace {

// The frame a field is written to; the year goes where SetShownYear puts it.
const char* FrameOf(TNameField field) {
  switch (field) {
    case TNameField::nfArtist:
      return "TPE1";
    case TNameField::nfAlbumArtist:
      return "TPE2";
    case TNameField::nfAlbum:
      return "TALB";
    case TNameField::nfTitle:
      return "TIT2";
    case TNameField::nfTrack:
      return "TRCK";
    case TNameField::nfDisc:
      return "TPOS";
    case TNameField::nfYear:
      return "TYER";
    case TNameField::nfGenre:
      return "TCON";
  }
  return "";
}

// The last `count` parts of a path, "/" between them, the extension left off; "" when the path,
// made absolute, has fewer.
std::string LastParts(const std::string& path, size_t count) {
  const std::u8string absolute =
      std::filesystem::absolute(std::filesystem::path(std::u8string(path.begin(), path.end())))
          .u8string();
  std::vector<std::string> parts;
  std::string part;
  for (const char8_t c : absolute) {
    if (c == '/' || c == static_cast<char8_t>(PathDelimiter())) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(static_cast<char>(c));
    }
  }
  if (!part.empty()) parts.push_back(part);
  if (parts.size() < count) return "";
  std::string name;
  for (size_t i = parts.size() - count; i < parts.size(); ++i)
    name += (name.empty() ? "" : "/") + parts[i];
  name.resize(name.size() - NameExtension(name).size());
  return name;
}

}  // namespace

std::vector<std::string> FramesOfFormat(const TNameFormat& format) {
  std::vector<std::string> frames;
  for (const TNameFormat::TPart& part : format.Parts()) {
    if (!part.isField) continue;
    if (part.field == TNameField::nfYear) {
      frames.insert(frames.end(), {"TYER", "TDRC"});
    } else {
      frames.push_back(FrameOf(part.field));
    }
  }
  return frames;
}

void SetFromName(TID3Tag& tag, const TNameFormat& format, const std::string& fileName) {
  const std::string name = LastParts(fileName, format.Depth() + 1);
  const auto values = name.empty() ? std::nullopt : format.Match(name);
  if (!values)
    throw EConvertError(
        Format("The name of \"%s\" does not match the format: left alone", fileName.c_str()));
  for (const auto& [field, value] : *values) {
    if (field == TNameField::nfYear) {
      SetShownYear(tag, value);
      continue;
    }
    std::string text = value;
    if (field == TNameField::nfTrack || field == TNameField::nfDisc) {
      const std::string old = tag.GetFrameTextUtf8(FrameOf(field));
      if (const size_t slash = old.find('/'); slash != std::string::npos) text += old.substr(slash);
    }
    tag.SetFrameTextUtf8(FrameOf(field), text);
  }
}

}  // namespace tagscope::cli
