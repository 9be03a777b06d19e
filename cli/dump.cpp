// tagscope dump [--full-seek] [--json] FILE...: what the tag engine reads from each file.
#include "cli/dump.h"

#include <iostream>
#include <memory>
#include <vector>

#include "cli/verbs.h"
#include "engine/shown_fields.h"
#include "rtl/exception.h"
#include "rtl/file_stream.h"
#include "rtl/utf8.h"

namespace tagscope::cli {

namespace {

using json = nlohmann::ordered_json;

// Byte strings the tag keeps in ISO-8859-1 (frame IDs, languages, MIME types, URLs).
std::string U(const std::string& latin1) {
  return Latin1ToUtf8(latin1);
}

// Text for a terminal: UTF-8 with control characters and escape sequences shown escaped.
std::string T(const std::string& utf8) {
  return EscapeForTerminal(utf8);
}

// A file name as the command line gave it (UTF-8); bytes that are not UTF-8, which a POSIX name
// may hold, become U+FFFD so that the output stays UTF-8.
std::string FileNameText(const std::string& name) {
  return SanitizeUtf8(name);
}

std::string HexBytes(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex.push_back(digits[static_cast<uint8_t>(c) >> 4]);
    hex.push_back(digits[static_cast<uint8_t>(c) & 15]);
  }
  return hex;
}

json RestrictionsJson(const TID3TagRestrictions& r) {
  return {{"tagSize", EnumName(r.TagSize())},
          {"textEncoding", r.TextEncodingRestrictions()},
          {"textSize", EnumName(r.TextSize())},
          {"imageEncoding", r.ImageEncodingRestrictions()},
          {"imageSize", EnumName(r.ImageSize())}};
}

json TagJson(TID3Engine& e) {
  const TID3Header& h = e.Header();
  const TID3ExtendedHeader& x = h.ExtendedHeader();
  return {{"offset", e.TagOffset()},
          {"length", e.TagSize()},
          {"padding", e.Padding()},
          {"size", h.Size()},
          {"version", h.VersionNumber()},
          {"revision", h.VersionRevision()},
          {"unsynchronisation", h.Unsynchronisation()},
          {"extendedHeader", h.ExtendedHeaderPresent()},
          {"experimental", h.Experimental()},
          {"footer", h.FooterPresent()},
          {"extended",
           {{"update", x.TagIsAnUpdate()},
            {"crcPresent", x.CRCDataPresent()},
            {"crc", x.CRCData()},
            {"restricted", x.TagRestricted()},
            {"restrictions", RestrictionsJson(x.TagRestrictions())}}}};
}

json FrameJson(TID3Frames_Item& f) {
  return {{"id", U(f.Name())},
          {"name", U(f.DisplayName())},
          {"size", f.DataSize()},
          {"tagAlterDiscardable", f.TagAlterDiscardable()},
          {"fileAlterDiscardable", f.FileAlterDiscardable()},
          {"readOnly", f.ReadOnly()},
          {"grouping", f.Grouping()},
          {"compress", f.Compress()},
          {"encrypted", f.Encrypted()},
          {"unsynchronisation", f.UnSynchronisation()},
          {"dataLengthIndicator", f.DataLengthIndicator()},
          {"groupId", f.GroupID()},
          {"encryptionId", f.EncryptionID()}};
}

json FieldsJson(TID3Engine& e) {
  return {{"title", e.TitleUtf8()},         {"artist", e.ArtistUtf8()},    {"album", e.AlbumUtf8()},
          {"genre", e.GenreUtf8()},         {"year", e.YearUtf8()},        {"track", e.TrackUtf8()},
          {"encodedBy", e.EncodedByUtf8()}, {"subTitle", e.SubTitleUtf8()}};
}

}  // namespace

json DumpJson(TID3Engine& e) {
  json frames = json::array(), comments = json::array(), pictures = json::array(),
       urls = json::array();
  for (int i = 0; i < e.Frames().Count(); ++i) frames.push_back(FrameJson(e.Frames().Items(i)));
  TID3Comment c;
  for (int i = 0; e.GetComment(i, c); ++i)
    comments.push_back(
        {{"language", U(c.Language)}, {"description", c.DescriptionUtf8}, {"text", c.TextUtf8}});
  TMemoryStream data;
  TID3Picture p;
  for (int i = 0; e.GetPicture(i, data, p); ++i)
    pictures.push_back({{"mimeType", U(p.MimeType)},
                        {"pictureType", p.PictureType},
                        {"description", p.DescriptionUtf8},
                        {"size", data.Size()}});
  TID3Url u;
  for (int i = 0; e.GetURL(i, u); ++i)
    urls.push_back({{"description", u.DescriptionUtf8}, {"url", u.URLUtf8}});
  json result = {{"file", FileNameText(e.FileName())}};
  // The name's own bytes, when they were not UTF-8 and "file" could not hold them exactly.
  if (!IsValidUtf8(e.FileName())) result["fileBytes"] = HexBytes(e.FileName());
  result.update(json{{"active", e.Active()},
                     {"tag", TagJson(e)},
                     {"frames", frames},
                     {"fields", FieldsJson(e)},
                     {"shown", {{"genre", ShownGenre(e)}, {"year", ShownYear(e)}}},
                     {"comments", comments},
                     {"pictures", pictures},
                     {"urls", urls}});
  if (e.JournalPending()) result["journalPending"] = true;
  return result;
}

namespace {

const char* YesNo(bool value) {
  return value ? "yes" : "no";
}

std::string FrameFlags(const TID3Frames_Item& f) {
  std::string flags;
  auto add = [&](bool on, const std::string& name) {
    if (on) flags += (flags.empty() ? "" : ", ") + name;
  };
  add(f.TagAlterDiscardable(), "tag alter discardable");
  add(f.FileAlterDiscardable(), "file alter discardable");
  add(f.ReadOnly(), "read only");
  add(f.Grouping(), "group " + std::to_string(f.GroupID()));
  add(f.Compress(), "compressed");
  add(f.Encrypted(), "encrypted, method " + std::to_string(f.EncryptionID()));
  add(f.UnSynchronisation(), "unsynchronised");
  add(f.DataLengthIndicator(), "data length indicator");
  return flags.empty() ? "" : " [" + flags + "]";
}

void TextHeader(std::ostream& out, TID3Engine& e) {
  if (e.JournalPending())
    out << "An interrupted change left a journal beside this file: what is shown may be half "
           "old, half new until the next write or erase of the file puts it back\n";
  const TID3Header& h = e.Header();
  if (h.Size() < 0) {
    out << "No ID3v2 tag\n";
    return;
  }
  out << "ID3v2." << int(h.VersionNumber()) << "." << int(h.VersionRevision()) << " tag at offset "
      << e.TagOffset() << ", " << e.TagSize() << " bytes in the file (size " << h.Size()
      << ", padding " << e.Padding() << ")\n";
  out << "  unsynchronisation " << YesNo(h.Unsynchronisation()) << ", extended header "
      << YesNo(h.ExtendedHeaderPresent()) << ", experimental " << YesNo(h.Experimental())
      << ", footer " << YesNo(h.FooterPresent()) << "\n";
  if (!h.ExtendedHeaderPresent()) return;
  const TID3ExtendedHeader& x = h.ExtendedHeader();
  out << "  extended header: update " << YesNo(x.TagIsAnUpdate()) << ", CRC "
      << (x.CRCDataPresent() ? std::to_string(x.CRCData()) : std::string("none"));
  if (x.TagRestricted()) {
    const TID3TagRestrictions& r = x.TagRestrictions();
    out << ", restrictions " << EnumName(r.TagSize()) << " " << EnumName(r.TextSize()) << " "
        << EnumName(r.ImageSize()) << (r.TextEncodingRestrictions() ? " text-encoding" : "")
        << (r.ImageEncodingRestrictions() ? " image-encoding" : "");
  }
  out << "\n";
}

}  // namespace

void DumpText(std::ostream& out, TID3Engine& e) {
  out << "File: " << T(e.FileName()) << "\n";
  TextHeader(out, e);
  out << "Frames: " << e.Frames().Count() << "\n";
  for (int i = 0; i < e.Frames().Count(); ++i) {
    TID3Frames_Item& f = e.Frames().Items(i);
    out << "  " << T(U(f.Name())) << "  " << T(U(f.DisplayName())) << ", " << f.DataSize()
        << " bytes" << FrameFlags(f) << "\n";
  }
  out << "Fields:\n";
  const std::pair<const char*, std::string> fields[] = {
      {"Title", e.TitleUtf8()},          {"Artist", e.ArtistUtf8()},    {"Album", e.AlbumUtf8()},
      {"Genre", e.GenreUtf8()},          {"Year", e.YearUtf8()},        {"Track", e.TrackUtf8()},
      {"Encoded by", e.EncodedByUtf8()}, {"Subtitle", e.SubTitleUtf8()}};
  for (const auto& [name, value] : fields) out << "  " << name << ": " << T(value) << "\n";
  // Where the fields above are empty, a viewer falls back to the other frames of the kind.
  out << "Shown:\n  Genre: " << T(ShownGenre(e)) << "\n  Year: " << T(ShownYear(e)) << "\n";
  TID3Comment c;
  for (int i = 0; e.GetComment(i, c); ++i)
    out << "Comment " << i << " [" << T(U(c.Language.c_str())) << "] " << T(c.DescriptionUtf8)
        << ": " << T(c.TextUtf8) << "\n";
  TMemoryStream data;
  TID3Picture p;
  for (int i = 0; e.GetPicture(i, data, p); ++i)
    out << "Picture " << i << ": " << T(U(p.MimeType)) << ", type " << int(p.PictureType) << ", "
        << data.Size() << " bytes, " << T(p.DescriptionUtf8) << "\n";
  TID3Url u;
  for (int i = 0; e.GetURL(i, u); ++i)
    out << "Link " << i << ": " << T(u.DescriptionUtf8) << " " << T(u.URLUtf8) << "\n";
}

namespace {

// Opens the file through the engine, read-only; false (message on stderr) when the file
// cannot be opened. A tag that fails to read is reported and dumped as far as it was read.
bool OpenForDump(TID3Engine& engine, const std::string& file, bool fullSeek, bool& failed) {
  try {
    TFileStream probe(file, TFileMode::fmOpenRead);  // names the reason a file cannot be opened
  } catch (const Exception& e) {
    std::cerr << "tagscope: " << T(e.what()) << "\n";
    failed = true;
    return false;
  }
  engine.SetReadOnly(true);
  engine.SetFullID3TagSeek(fullSeek);
  engine.SetFileName(file);
  try {
    engine.SetActive(true);
  } catch (const Exception& e) {
    std::cerr << "tagscope: " << T(file) << ": " << T(e.what()) << "\n";
    failed = true;
    return engine.Active();
  }
  return true;
}

int RunDump(const std::vector<std::string>& files, bool fullSeek, bool asJson) {
  bool failed = false;
  for (const std::string& file : files) {
    TID3Engine engine;
    if (!OpenForDump(engine, file, fullSeek, failed)) continue;
    if (asJson)
      std::cout << DumpJson(engine).dump() << "\n";
    else
      DumpText(std::cout, engine);
    std::cout.flush();
  }
  return failed ? 1 : 0;
}

struct DumpOptions {
  std::vector<std::string> files;
  bool fullSeek = false;
  bool json = false;
};

static RegisterVerb registration([](CLI::App& app) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* cmd = app.add_subcommand("dump", "Print what the tag engine reads from MP3 files");
  cmd->add_flag("--full-seek", options->fullSeek, "Search the whole file for the tag");
  cmd->add_flag("--json", options->json, "One JSON object per file, one per line");
  cmd->add_option("FILE", options->files, "MP3 files")->required();
  cmd->footer("Examples:\n  tagscope dump song.mp3\n  tagscope dump --json *.mp3");
  return Verb{cmd, [options] { return RunDump(options->files, options->fullSeek, options->json); }};
});

}  // namespace

}  // namespace tagscope::cli
