// The APE tag and the Lyrics3 block as dump and show print them.
#include "cli/trailer_tags_print.h"

#include "tagscope/rtl/charset.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

const char* KindName(TApeItemKind kind) {
  switch (kind) {
    case TApeItemKind::akText:
      return "text";
    case TApeItemKind::akBinary:
      return "binary";
    case TApeItemKind::akLocator:
      return "locator";
    default:
      return "reserved";
  }
}

// APE texts are UTF-8 by definition; what is not comes out with U+FFFD in its place.
std::string Text(const std::string& utf8) {
  return SanitizeUtf8(utf8);
}

const char* Lyrics3FieldName(const std::string& id) {
  static const std::pair<const char*, const char*> names[] = {
      {"IND", "indications"}, {"LYR", "lyrics"}, {"INF", "information"}, {"AUT", "author"},
      {"EAL", "album"},       {"EAR", "artist"}, {"ETT", "title"},       {"IMG", "image links"}};
  for (const auto& [key, name] : names)
    if (id == key) return name;
  return "unknown";
}

void ApeText(std::ostream& out, const TApeTag& a) {
  out << "APE tag (version " << a.Version / 1000 << ") at offset " << a.Place.Offset << ", "
      << a.Place.Size << " bytes" << (a.HasHeader ? " with a header" : "") << ", " << a.Items.size()
      << " items\n";
  for (const TApeItem& item : a.Items) {
    out << "  " << EscapeForTerminal(item.Key) << ": ";
    if (item.IsText() || item.Kind() == TApeItemKind::akLocator) {
      const std::vector<std::string> texts = item.Texts();
      for (size_t i = 0; i < texts.size(); ++i)
        out << (i ? " / " : "") << EscapeForTerminal(Text(texts[i]));
    } else {
      out << KindName(item.Kind()) << ", " << item.Value.size() << " bytes";
    }
    out << (item.ReadOnly() ? " (read only)" : "") << "\n";
  }
  if (!a.Problem.empty()) out << "  damaged: " << EscapeForTerminal(a.Problem) << "\n";
  if (!a.Damage.empty())
    out << "  place not proven, never cut: " << EscapeForTerminal(a.Damage) << "\n";
}

void Lyrics3Text(std::ostream& out, const TLyrics3Block& l) {
  out << "Lyrics3 block (version " << l.Version << ") at offset " << l.Place.Offset << ", "
      << l.Place.Size << " bytes\n";
  if (l.Version == 1) out << "  lyrics: " << EscapeForTerminal(Latin1ToUtf8(l.Lyrics)) << "\n";
  for (const TLyrics3Field& f : l.Fields)
    out << "  " << EscapeForTerminal(Latin1ToUtf8(f.ID)) << " (" << Lyrics3FieldName(f.ID)
        << "): " << EscapeForTerminal(Latin1ToUtf8(f.Value)) << "\n";
  if (!l.Problem.empty()) out << "  damaged: " << EscapeForTerminal(l.Problem) << "\n";
  if (!l.Damage.empty())
    out << "  place not proven, never cut: " << EscapeForTerminal(l.Damage) << "\n";
}

}  // namespace

void CheckCharset(const std::string& charset) {
  if (!charset.empty() && !KnownCharset(charset))
    throw EConvertError(Format("Unknown character set: %s", charset.c_str()));
}

void TrailerTagsText(std::ostream& out, const TTrailerTags& t) {
  if (t.Ape.Present) ApeText(out, t.Ape);
  if (t.Lyrics3.Present) Lyrics3Text(out, t.Lyrics3);
}

void TrailerTagsJson(TJsonWriter& j, const TTrailerTags& t) {
  if (t.Ape.Present) {
    const TApeTag& a = t.Ape;
    j.Key("ape")
        .BeginObject()
        .Member("offset", a.Place.Offset)
        .Member("length", a.Place.Size)
        .Member("version", a.Version)
        .Member("header", a.HasHeader)
        .Member("flags", a.Flags);
    j.Key("items").BeginArray();
    for (const TApeItem& item : a.Items) {
      j.BeginObject()
          .Member("key", Text(item.Key))
          .Member("kind", KindName(item.Kind()))
          .Member("readOnly", item.ReadOnly());
      if (item.IsText() || item.Kind() == TApeItemKind::akLocator) {
        j.Key("values").BeginArray();
        for (const std::string& text : item.Texts()) j.Value(Text(text));
        j.EndArray();
      } else {
        j.Member("size", static_cast<uint64_t>(item.Value.size()));
      }
      j.EndObject();
    }
    j.EndArray();
    if (!a.Problem.empty()) j.Member("problem", a.Problem);
    if (!a.Damage.empty()) j.Member("damaged", a.Damage);
    j.EndObject();
  }
  if (t.Lyrics3.Present) {
    const TLyrics3Block& l = t.Lyrics3;
    j.Key("lyrics3")
        .BeginObject()
        .Member("offset", l.Place.Offset)
        .Member("length", l.Place.Size)
        .Member("version", l.Version);
    if (l.Version == 1) j.Member("lyrics", Latin1ToUtf8(l.Lyrics));
    j.Key("fields").BeginArray();
    for (const TLyrics3Field& f : l.Fields)
      j.BeginObject()
          .Member("id", Latin1ToUtf8(f.ID))
          .Member("name", Lyrics3FieldName(f.ID))
          .Member("value", Latin1ToUtf8(f.Value))
          .EndObject();
    j.EndArray();
    if (!l.Problem.empty()) j.Member("problem", l.Problem);
    if (!l.Damage.empty()) j.Member("damaged", l.Damage);
    j.EndObject();
  }
}

}  // namespace tagscope::cli
