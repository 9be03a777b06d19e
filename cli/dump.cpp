// tagscope dump [--full-seek] [--json] FILE...: what the tag engine reads from each file.
#include "cli/dump.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/json_writer.h"
#include "cli/verbs.h"
#include "engine/shown_fields.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// Byte strings the tag keeps in ISO-8859-1 (frame IDs, languages, MIME types, URLs).
std::string U(const std::string& latin1) {
  const bool ascii = std::all_of(latin1.begin(), latin1.end(), [](char c) { return c >= 0; });
  return ascii ? latin1 : Latin1ToUtf8(latin1);
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

void RestrictionsJson(TJsonWriter& j, const TID3TagRestrictions& r) {
  j.BeginObject()
      .Member("tagSize", EnumName(r.TagSize()))
      .Member("textEncoding", r.TextEncodingRestrictions())
      .Member("textSize", EnumName(r.TextSize()))
      .Member("imageEncoding", r.ImageEncodingRestrictions())
      .Member("imageSize", EnumName(r.ImageSize()))
      .EndObject();
}

void TagJson(TJsonWriter& j, TID3Engine& e) {
  const TID3Header& h = e.Header();
  const TID3ExtendedHeader& x = h.ExtendedHeader();
  const TTagReadReport& r = e.ReadReport();
  j.BeginObject()
      .Member("offset", e.TagOffset())
      .Member("length", e.TagSize())
      .Member("padding", e.Padding())
      .Member("size", h.Size())
      .Member("version", h.VersionNumber())
      .Member("revision", h.VersionRevision())
      .Member("unsynchronisation", h.Unsynchronisation())
      .Member("extendedHeader", h.ExtendedHeaderPresent())
      .Member("experimental", h.Experimental())
      .Member("footer", h.FooterPresent());
  j.Key("extended")
      .BeginObject()
      .Member("update", x.TagIsAnUpdate())
      .Member("crcPresent", x.CRCDataPresent())
      .Member("crc", x.CRCData())
      .Member("restricted", x.TagRestricted());
  RestrictionsJson(j.Key("restrictions"), x.TagRestrictions());
  j.EndObject();
  j.Key("read")
      .BeginObject()
      .Member("complete", r.complete)
      .Member("problem", U(r.problem))
      .Member("accountedEnd", r.accountedEnd)
      .Member("extendedHeaderFlagWrong", r.extendedHeaderFlagWrong);
  if (!r.framesFoundAt.empty()) j.Member("framesFoundAt", U(r.framesFoundAt));
  j.EndObject();
  j.EndObject();
}

void FrameJson(TJsonWriter& j, TID3Frames_Item& f) {
  j.BeginObject()
      .Member("id", U(f.Name()))
      .Member("name", U(f.DisplayName()))
      .Member("size", f.DataSize())
      .Member("tagAlterDiscardable", f.TagAlterDiscardable())
      .Member("fileAlterDiscardable", f.FileAlterDiscardable())
      .Member("readOnly", f.ReadOnly())
      .Member("grouping", f.Grouping())
      .Member("compress", f.Compress())
      .Member("encrypted", f.Encrypted())
      .Member("unsynchronisation", f.UnSynchronisation())
      .Member("dataLengthIndicator", f.DataLengthIndicator())
      .Member("groupId", f.GroupID())
      .Member("encryptionId", f.EncryptionID())
      .EndObject();
}

void FieldsJson(TJsonWriter& j, TID3Engine& e) {
  j.BeginObject()
      .Member("title", e.TitleUtf8())
      .Member("artist", e.ArtistUtf8())
      .Member("album", e.AlbumUtf8())
      .Member("genre", e.GenreUtf8())
      .Member("year", e.YearUtf8())
      .Member("track", e.TrackUtf8())
      .Member("encodedBy", e.EncodedByUtf8())
      .Member("subTitle", e.SubTitleUtf8())
      .EndObject();
}

}  // namespace

std::string DumpJson(TID3Engine& e) {
  TJsonWriter j;
  j.BeginObject().Member("file", FileNameText(e.FileName()));
  // The name's own bytes, when they were not UTF-8 and "file" could not hold them exactly.
  if (!IsValidUtf8(e.FileName())) j.Member("fileBytes", HexBytes(e.FileName()));
  j.Member("active", e.Active());
  TagJson(j.Key("tag"), e);
  j.Key("frames").BeginArray();
  for (int i = 0; i < e.Frames().Count(); ++i) FrameJson(j, e.Frames().Items(i));
  j.EndArray();
  FieldsJson(j.Key("fields"), e);
  j.Key("shown")
      .BeginObject()
      .Member("genre", ShownGenre(e))
      .Member("year", ShownYear(e))
      .EndObject();
  j.Key("comments").BeginArray();
  TID3Comment c;
  for (int i = 0; e.GetComment(i, c); ++i)
    j.BeginObject()
        .Member("language", U(c.Language))
        .Member("description", c.DescriptionUtf8)
        .Member("text", c.TextUtf8)
        .EndObject();
  j.EndArray().Key("pictures").BeginArray();
  TID3Picture p;
  std::string_view data;
  for (int i = 0; e.GetPicture(i, p, data); ++i)
    j.BeginObject()
        .Member("mimeType", U(p.MimeType))
        .Member("pictureType", p.PictureType)
        .Member("description", p.DescriptionUtf8)
        .Member("size", static_cast<uint64_t>(data.size()))
        .EndObject();
  j.EndArray().Key("urls").BeginArray();
  TID3Url u;
  for (int i = 0; e.GetURL(i, u); ++i)
    j.BeginObject().Member("description", u.DescriptionUtf8).Member("url", u.URLUtf8).EndObject();
  j.EndArray();
  if (e.JournalPending()) j.Member("journalPending", true);
  j.EndObject();
  return j.Text();
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
  const TTagReadReport& r = e.ReadReport();
  if (!r.framesFoundAt.empty())
    out << "  " << T(U(r.framesFoundAt)) << "\n";
  else if (r.extendedHeaderFlagWrong)
    out << "  the header's flag announces an extended header, but none follows: frames read "
           "from right after the header\n";
  if (!r.complete)
    out << "  damaged: " << T(U(r.problem)) << "; read as far as byte " << r.accountedEnd << "\n";
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
  TID3Picture p;
  std::string_view data;
  for (int i = 0; e.GetPicture(i, p, data); ++i)
    out << "Picture " << i << ": " << T(U(p.MimeType)) << ", type " << int(p.PictureType) << ", "
        << data.size() << " bytes, " << T(p.DescriptionUtf8) << "\n";
  TID3Url u;
  for (int i = 0; e.GetURL(i, u); ++i)
    out << "Link " << i << ": " << T(u.DescriptionUtf8) << " " << T(u.URLUtf8) << "\n";
}

namespace {

// Opens the file through the engine, read-only; false (message on stderr) when the file
// cannot be opened. A tag that fails to read is reported and dumped as far as it was read.
bool OpenForDump(TID3Engine& engine, const std::string& file, bool fullSeek, bool& failed) {
  engine.SetReadOnly(true);
  engine.SetFullID3TagSeek(fullSeek);
  engine.SetFileName(file);
  try {
    engine.SetActive(true);
  } catch (const Exception& e) {
    std::cerr << "tagscope: " << T(e.what()) << "\n";
    failed = true;
    return engine.Active();
  }
  if (!engine.Active()) {
    std::cerr << "tagscope: " << T(engine.ReadReport().problem) << "\n";
    failed = true;
  }
  return engine.Active();
}

int RunDump(const std::vector<std::string>& files, bool fullSeek, bool asJson) {
  bool failed = false;
  for (const std::string& file : files) {
    TID3Engine engine;
    if (!OpenForDump(engine, file, fullSeek, failed)) continue;
    if (asJson)
      std::cout << DumpJson(engine) << "\n";
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
