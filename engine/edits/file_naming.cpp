#include "tagscope/engine/file_naming.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

constexpr std::array<std::pair<TNameField, std::string_view>, 8> kFieldNames = {{
    {TNameField::nfArtist, "artist"},
    {TNameField::nfAlbumArtist, "albumartist"},
    {TNameField::nfAlbum, "album"},
    {TNameField::nfTitle, "title"},
    {TNameField::nfTrack, "track"},
    {TNameField::nfDisc, "disc"},
    {TNameField::nfYear, "year"},
    {TNameField::nfGenre, "genre"},
}};

constexpr size_t kMaxFormatBytes = 4096;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// Fields whose values are numbers: they pad, and a name gives them digits only.
bool IsNumberField(TNameField field) {
  return field == TNameField::nfTrack || field == TNameField::nfDisc || field == TNameField::nfYear;
}

// Characters that no name may hold on Windows, besides the control characters.
bool ForbiddenInName(char c) {
  return std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos ||
         static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

std::string Joined(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& value : values) text += (text.empty() ? "" : ", ") + value;
  return text;
}

// "3/12" is track 3 (of 12).
std::string NumberBeforeSlash(const std::string& text) {
  return text.substr(0, text.find('/'));
}

std::string WithoutLeadingZeros(std::string digits) {
  const size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

// Device names that Windows keeps for itself in every folder.
bool IsReservedName(std::string_view stem) {
  std::string upper;
  for (const char c : stem) upper.push_back(AsciiUpper(c));
  for (const char* name : {"CON", "PRN", "AUX", "NUL"})
    if (upper == name) return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

// The part of a format that a field stands in: "track:02" has the field track and width 2.
TNameFormat::TPart ParseField(std::string_view inside) {
  TNameFormat::TPart part;
  part.isField = true;
  const size_t colon = inside.find(':');
  const std::string_view name = inside.substr(0, colon);
  const auto it = std::find_if(kFieldNames.begin(), kFieldNames.end(),
                               [&](const auto& entry) { return entry.second == name; });
  if (it == kFieldNames.end())
    throw EConvertError(
        Format("The format names no field \"%s\"; the fields are artist, "
               "albumartist, album, title, track, disc, year and genre",
               std::string(name).c_str()));
  part.field = it->first;
  if (colon != std::string_view::npos) {
    const std::string_view width = inside.substr(colon + 1);
    if (!IsNumberField(part.field) || !AllDigits(width) || width.size() > 2)
      throw EConvertError(Format("%%{%s} pads numbers only, to a width of digits such as 02",
                                 std::string(inside).c_str()));
    part.width = std::stoi(std::string(width));
  }
  return part;
}

// A folder or file name of the format's own text must not be empty, "." or "..".
void CheckComponent(const std::vector<TNameFormat::TPart>& parts, size_t from, size_t to) {
  std::string literal;
  bool field = false;
  for (size_t i = from; i < to; ++i) {
    field = field || parts[i].isField;
    if (!parts[i].isField) literal += parts[i].text;
  }
  if (!field && (literal.empty() || literal == "." || literal == ".."))
    throw EConvertError(
        "Each folder of the format needs a name: no empty one, no \".\" and no \"..\"");
}

}  // namespace

std::string_view NameFieldName(TNameField field) {
  for (const auto& [f, name] : kFieldNames)
    if (f == field) return name;
  return "";
}

TNameValues TagNameValues(const TID3Tag& tag) {
  TNameValues values;
  values[TNameField::nfArtist] = Joined(TextValues(tag, "TPE1"));
  values[TNameField::nfAlbumArtist] = Joined(TextValues(tag, "TPE2"));
  values[TNameField::nfAlbum] = Joined(TextValues(tag, "TALB"));
  values[TNameField::nfTitle] = Joined(TextValues(tag, "TIT2"));
  values[TNameField::nfTrack] = NumberBeforeSlash(tag.GetFrameTextUtf8("TRCK"));
  values[TNameField::nfDisc] = NumberBeforeSlash(tag.GetFrameTextUtf8("TPOS"));
  values[TNameField::nfYear] = ShownYear(tag);
  values[TNameField::nfGenre] = Joined(GenreNames(TextValues(tag, "TCON")));
  return values;
}

std::string SafeNameText(std::string_view value) {
  std::string safe;
  safe.reserve(value.size());
  for (const char c : value) safe.push_back(ForbiddenInName(c) ? '_' : c);
  return safe;
}

std::string SafeNameComponent(std::string_view stem, std::string_view extension, size_t maxBytes) {
  std::string name(stem);
  const size_t room = maxBytes > extension.size() ? maxBytes - extension.size() : 1;
  if (name.size() > room) {
    // Cut before the character that would cross the limit, never inside one.
    size_t cut = 0;
    for (size_t at = 0; at < name.size();) {
      size_t next = at;
      NextUtf8(name, next);
      if (next > room) break;
      cut = at = next;
    }
    name.resize(cut);
  }
  if (name.empty()) name = "_";
  // Windows drops trailing dots and blanks, so "A." and "A" would be one name there; an
  // extension, which ends in a letter or digit, ends the name itself.
  for (size_t i = name.size();
       extension.empty() && i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i)
    name[i - 1] = '_';
  const size_t dot = name.find('.');
  if (IsReservedName(std::string_view(name).substr(0, dot)))
    name.insert(dot == std::string::npos ? name.size() : dot, "_");
  return name + std::string(extension);
}

std::string NameExtension(std::string_view fileName) {
  const size_t slash = fileName.find_last_of("/\\");
  if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || fileName.size() - dot - 1 > 16 ||
      dot + 1 == fileName.size())
    return "";
  const std::string_view extension = fileName.substr(dot + 1);
  const bool plain = std::all_of(extension.begin(), extension.end(), [](char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
  return plain ? std::string(fileName.substr(dot)) : "";
}

TNameFormat::TNameFormat(std::string_view format) {
  if (format.empty()) throw EConvertError("The name format is empty");
  // Matching a name walks the parts one call deeper each: a bound keeps that shallow.
  if (format.size() > kMaxFormatBytes)
    throw EConvertError(Format("The name format is longer than %zu bytes", kMaxFormatBytes));
  if (format.front() == '/')
    throw EConvertError("The name format makes names inside the file's folder: no leading \"/\"");
  if (!IsValidUtf8(format)) throw EConvertError("The name format is not UTF-8");
  std::string literal;
  auto flush = [&] {
    if (!literal.empty()) FParts.push_back(TPart{false, TNameField::nfArtist, 0, literal});
    literal.clear();
  };
  for (size_t at = 0; at < format.size(); ++at) {
    const char c = format[at];
    if (c == '%' && format.substr(at, 2) == "%%") {
      literal.push_back('%');
      ++at;
    } else if (c == '%' && format.substr(at, 2) == "%{") {
      const size_t close = format.find('}', at);
      if (close == std::string_view::npos)
        throw EConvertError("A field of the name format lacks its closing \"}\"");
      flush();
      FParts.push_back(ParseField(format.substr(at + 2, close - at - 2)));
      at = close;
    } else if (c == '%') {
      throw EConvertError("A \"%\" in the name format begins a field %{...} or is written %%");
    } else if (c == '/') {
      flush();
      FParts.push_back(TPart{false, TNameField::nfArtist, 0, "/"});
      ++FDepth;
    } else if (ForbiddenInName(c)) {
      throw EConvertError(Format("The name format holds \"%c\", which Windows forbids in names",
                                 c >= 0x20 && c != 0x7F ? c : '?'));
    } else {
      literal.push_back(c);
    }
  }
  flush();
  size_t from = 0;
  for (size_t i = 0; i <= FParts.size(); ++i)
    if (i == FParts.size() || (!FParts[i].isField && FParts[i].text == "/")) {
      CheckComponent(FParts, from, i);
      from = i + 1;
    }
}

std::string TNameFormat::Expand(const TNameValues& values, std::string_view extension) const {
  std::vector<std::string> missing;
  std::vector<std::string> components(1);
  for (const TPart& part : FParts) {
    if (!part.isField) {
      if (part.text == "/")
        components.emplace_back();
      else
        components.back() += part.text;
      continue;
    }
    const auto it = values.find(part.field);
    std::string value = it == values.end() ? std::string() : it->second;
    if (value.empty()) {
      const std::string name(NameFieldName(part.field));
      if (std::find(missing.begin(), missing.end(), name) == missing.end()) missing.push_back(name);
      continue;
    }
    if (part.width > 0 && AllDigits(value) && value.size() < static_cast<size_t>(part.width))
      value.insert(0, static_cast<size_t>(part.width) - value.size(), '0');
    components.back() += SafeNameText(value);
  }
  if (!missing.empty()) throw EConvertError("The tag has no " + Joined(missing));
  std::string path;
  for (size_t i = 0; i < components.size(); ++i) {
    const bool last = i + 1 == components.size();
    path += (i ? "/" : "") + SafeNameComponent(components[i], last ? extension : "");
  }
  return path;
}

namespace {

// Matches parts[index...] against name[at...], the fields taking as little as they can. A format
// of many fields could try very many ways to split a name: `budget` bounds the tries, and a
// name that needs more counts as no match.
bool MatchFrom(const std::vector<TNameFormat::TPart>& parts, size_t index, std::string_view name,
               size_t at, TNameValues& values, size_t& budget) {
  if (budget == 0) return false;
  --budget;
  if (index == parts.size()) return at == name.size();
  const TNameFormat::TPart& part = parts[index];
  if (!part.isField)
    return name.substr(at).starts_with(part.text) &&
           MatchFrom(parts, index + 1, name, at + part.text.size(), values, budget);
  // A field holds no "/" and, for numbers, digits only; it ends before the rest matches.
  for (size_t end = at + 1; end <= name.size(); ++end) {
    const char last = name[end - 1];
    if (last == '/' || (IsNumberField(part.field) && !IsDigit(last))) return false;
    std::string value(name.substr(at, end - at));
    const auto known = values.find(part.field);
    // A field named twice must read the same both times.
    if (known != values.end() && known->second != value) continue;
    const bool had = known != values.end();
    values[part.field] = value;
    if (MatchFrom(parts, index + 1, name, end, values, budget)) return true;
    if (!had) values.erase(part.field);
  }
  return false;
}

}  // namespace

std::optional<TNameValues> TNameFormat::Match(std::string_view name) const {
  TNameValues values;
  size_t budget = 200000;
  if (!MatchFrom(FParts, 0, name, 0, values, budget)) return std::nullopt;
  for (auto& [field, value] : values)
    if (field == TNameField::nfTrack || field == TNameField::nfDisc)
      value = WithoutLeadingZeros(value);
  return values;
}

}  // namespace tagscope
