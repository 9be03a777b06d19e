// Values of the set verb's options: texts, values read from files and picture arguments.
#include "cli/set_request.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "tagscope/engine/picture_types.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// A value file holds a text (lyrics, notes), a picture file a cover: both far smaller than this.
constexpr int64_t kMaxValueFile = 16 << 20;
constexpr int64_t kMaxPictureFile = 64 << 20;

// Reads a file named on the command line to its end, up to `limit` bytes: a link planted under
// the name is not followed, and a FIFO or device is refused at once rather than waited for.
// The size the system reports is not trusted (files under /proc report 0).
std::string ReadWholeFile(const std::string& fileName, int64_t limit, const char* what) {
  if (!NameTaken(fileName)) throw EFOpenError(Format("File not found: %s", fileName.c_str()));
  TFileStream file(fileName, TFileMode::fmOpenReadPlain);
  std::string bytes;
  char buffer[64 << 10];
  for (int64_t n; (n = file.Read(buffer, sizeof buffer)) > 0;) {
    if (static_cast<int64_t>(bytes.size()) + n > limit)
      throw EConvertError(Format("%s \"%s\" is too large (more than %lld bytes)", what,
                                 fileName.c_str(), static_cast<long long>(limit)));
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

bool StartsWith(const std::string& bytes, std::string_view prefix, size_t at = 0) {
  return bytes.size() >= at + prefix.size() && bytes.compare(at, prefix.size(), prefix) == 0;
}

}  // namespace

std::string CheckedUtf8(const std::string& utf8, const std::string& what) {
  if (!IsValidUtf8(utf8))
    throw EConvertError(
        Format("The %s \"%s\" is not valid UTF-8", what.c_str(), SanitizeUtf8(utf8).c_str()));
  return utf8;
}

std::string ToLatin1(const std::string& utf8, const std::string& what, bool link) {
  CheckedUtf8(utf8, what);
  if (!FitsLatin1(utf8))
    throw EConvertError(
        Format("The %s \"%s\" holds characters beyond ISO-8859-1, which it "
               "cannot store%s",
               what.c_str(), utf8.c_str(), link ? ": write them as %-escapes" : ""));
  return Utf8ToLatin1(utf8);
}

std::string OptionValue(const std::string& value, bool fromFile, const std::string& what) {
  if (!fromFile || value.empty() || value[0] != '@') return CheckedUtf8(value, what);
  if (StartsWith(value, "@@")) return CheckedUtf8(value.substr(1), what);
  std::string text = ReadWholeFile(value.substr(1), kMaxValueFile, "The value file");
  if (StartsWith(text, "\xEF\xBB\xBF")) text.erase(0, 3);  // a UTF-8 byte-order mark
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (!IsValidUtf8(text))
    throw EConvertError(
        Format("The %s file \"%s\" is not UTF-8 text", what.c_str(), value.c_str() + 1));
  return text;
}

std::string JsonArgument(const std::string& fileName) {
  // Pictures come base64-encoded: a third larger than the largest picture file taken.
  constexpr int64_t kMaxJsonFile = 4 * kMaxPictureFile;
  if (fileName != "-") return ReadWholeFile(fileName, kMaxJsonFile, "The JSON file");
  std::string text;
  char buffer[64 << 10];
  while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
    text.append(buffer, static_cast<size_t>(std::cin.gcount()));
    if (static_cast<int64_t>(text.size()) > kMaxJsonFile)
      throw EConvertError(Format("The JSON on standard input is too large (more than %lld bytes)",
                                 static_cast<long long>(kMaxJsonFile)));
  }
  return text;
}

std::string TextFileArgument(const std::string& fileName, const char* what) {
  return ReadWholeFile(fileName, kMaxValueFile, what);
}

int PictureTypeArgument(const std::string& text, bool allowAll) {
  if (allowAll && SameTextAscii(text, "all")) return -1;
  if (const int named = PictureTypeFromKeyword(text); named >= 0) return named;
  const auto& names = PictureTypeKeywords();
  const bool digits =
      !text.empty() && text.size() <= 2 &&
      std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  if (digits && std::stoi(text) < static_cast<int>(names.size())) return std::stoi(text);
  throw EConvertError(
      Format("A picture type is a number from 0 to 20 or a name such as front or "
             "back%s, got \"%s\"",
             allowAll ? ", or all" : "", text.c_str()));
}

std::string PictureMimeType(const std::string& bytes) {
  if (StartsWith(bytes, "\xFF\xD8\xFF")) return "image/jpeg";
  if (StartsWith(bytes, "\x89PNG\r\n\x1A\n")) return "image/png";
  if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) return "image/gif";
  if (StartsWith(bytes, "BM") && bytes.size() >= 26) return "image/bmp";
  if (StartsWith(bytes, "RIFF") && StartsWith(bytes, "WEBP", 8)) return "image/webp";
  if (StartsWith(bytes, std::string_view("II*\0", 4)) ||
      StartsWith(bytes, std::string_view("MM\0*", 4)))
    return "image/tiff";
  return {};
}

TSetRequest::TPicture PictureArgument(const std::string& argument) {
  // The whole argument when it names a file, else the shortest leading part before a colon
  // that does: a drive letter ("C:\cover.jpg") and colons in the description both work.
  std::string fileName = argument, rest;
  bool hasRest = false;
  if (!FileExists(argument)) {
    for (size_t colon = argument.find(':'); colon != std::string::npos;
         colon = argument.find(':', colon + 1)) {
      if (FileExists(argument.substr(0, colon))) {
        fileName = argument.substr(0, colon);
        rest = argument.substr(colon + 1);
        hasRest = true;
        break;
      }
    }
  }
  TSetRequest::TPicture result;
  result.picture.PictureType = 3;
  if (hasRest) {
    const size_t colon = rest.find(':');
    const std::string type = rest.substr(0, colon);
    if (!type.empty())
      result.picture.PictureType = static_cast<uint8_t>(PictureTypeArgument(type, false));
    if (colon != std::string::npos)
      result.picture.DescriptionUtf8 = CheckedUtf8(rest.substr(colon + 1), "picture description");
  }
  result.data = ReadWholeFile(fileName, kMaxPictureFile, "The picture file");
  result.picture.MimeType = PictureMimeType(result.data);
  if (result.picture.MimeType.empty())
    throw EConvertError(
        Format("\"%s\" is not a JPEG, PNG, GIF, BMP, WebP or TIFF picture", fileName.c_str()));
  return result;
}

}  // namespace tagscope::cli
