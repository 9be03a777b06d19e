// tagscope set FILE [--title T] ... : changes fields of a file's tag and writes the tag back.
// tagscope erase FILE: cuts the tag out of a file.
// Every argument is checked before the file is opened; whatever fails, the file is unchanged.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "cli/verbs.h"
#include "engine/id3_engine.h"
#include "engine/stream_helpers.h"
#include "rtl/exception.h"
#include "rtl/files.h"
#include "rtl/utf8.h"

namespace tagscope::cli {

namespace {

// An argument, which must be UTF-8; the engine stores it in the encoding its text needs.
std::string CheckedUtf8(const std::string& utf8, const std::string& what) {
  if (!IsValidUtf8(utf8))
    throw EConvertError(
        Format("The %s \"%s\" is not valid UTF-8", what.c_str(), SanitizeUtf8(utf8).c_str()));
  return utf8;
}

// "NAME=VALUE" split at its first "=".
std::pair<std::string, std::string> SplitPair(const std::string& argument, const char* option,
                                              const char* form) {
  const size_t equals = argument.find('=');
  if (equals == std::string::npos)
    throw EConvertError(Format("%s needs %s, got \"%s\"", option, form, argument.c_str()));
  return {argument.substr(0, equals), argument.substr(equals + 1)};
}

struct TComment {
  std::string description, text, language = "ENG";
};

struct TSetRequest {
  std::vector<std::pair<std::string, std::string>> texts;  // frame ID, text
  std::vector<TComment> comments;
  bool hasPadding = false;
  int64_t padding = 0;
  bool footer = false;
  bool v1 = false;
};

// The options of the set verb as the command line gave them.
struct TSetOptions {
  std::string fileName;
  std::vector<std::pair<const char*, std::string>> fields;  // frame ID, option's value
  std::vector<CLI::Option*> fieldOptions;
  std::vector<std::string> texts, comments, languages;
  CLI::Option* commentOption = nullptr;
  CLI::Option* languageOption = nullptr;
  CLI::Option* paddingOption = nullptr;
  int64_t padding = 0;
  bool footer = false, v1 = false, force = false;
};

void AddComments(const TSetOptions& o, CLI::App& cmd, TSetRequest& request) {
  size_t comment = 0, language = 0;
  bool languageGiven = false;
  for (const CLI::Option* option : cmd.parse_order()) {
    if (option == o.commentOption) {
      const auto [description, text] = SplitPair(o.comments[comment++], "--comment", "DESC=TEXT");
      request.comments.push_back(
          {CheckedUtf8(description, "comment description"), CheckedUtf8(text, "comment"), "ENG"});
      languageGiven = false;
    } else if (option == o.languageOption) {
      const std::string& code = o.languages[language++];
      if (request.comments.empty() || languageGiven)
        throw EConvertError("Each --lang follows the --comment it belongs to");
      const bool letters = code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) {
                             return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                           });
      if (!letters)
        throw EConvertError(
            Format("A language is three letters such as ENG, got \"%s\"", code.c_str()));
      request.comments.back().language = code;
      languageGiven = true;
    }
  }
}

TSetRequest CheckSetOptions(const TSetOptions& o, CLI::App& cmd) {
  TSetRequest request;
  for (size_t i = 0; i < o.fields.size(); ++i) {
    if (o.fieldOptions[i]->count() == 0) continue;
    const std::string what = o.fieldOptions[i]->get_name().substr(2);
    request.texts.emplace_back(o.fields[i].first, CheckedUtf8(o.fields[i].second, what));
  }
  for (const std::string& argument : o.texts) {
    const auto [id, text] = SplitPair(argument, "--text", "ID=TEXT");
    if (id.size() != 4 || id[0] != 'T' || id == "TXXX" || !ValidFrameID(id))
      throw EConvertError(
          Format("--text needs the ID of a text frame such as TCOM, got \"%s\"", id.c_str()));
    request.texts.emplace_back(id, CheckedUtf8(text, id + " text"));
  }
  AddComments(o, cmd, request);
  request.hasPadding = o.paddingOption->count() > 0;
  request.padding = o.padding;
  request.footer = o.footer;
  request.v1 = o.v1;
  if (request.hasPadding && request.footer)
    throw EConvertError(
        "A tag with a footer has no padding: --padding and --footer exclude each other");
  return request;
}

// The most padding a tag can hold: its size field counts at most 2^28 - 1 bytes.
constexpr int64_t kMaxPadding = 0x0FFFFFFF;

// The engine open on an existing file for reading and writing; says what it did to finish a
// change that an earlier writer did not end.
void OpenForWriting(TID3Engine& engine, const std::string& fileName, bool force) {
  TFileInfo info;
  if (GetFileInfo(fileName, info) && info.folder)
    throw EFOpenError(
        Format("Cannot write to \"%s\": it is a folder, not a file", fileName.c_str()));
  if (!FileExists(fileName)) throw EFOpenError(Format("File not found: %s", fileName.c_str()));
  engine.SetReadOnly(false);
  engine.SetForceWrite(force);
  engine.SetFileName(fileName);
  engine.SetActive(true);
  if (!engine.RecoveryNote().empty()) std::cerr << "tagscope: " << engine.RecoveryNote() << "\n";
}

// Runs a write or erase; a refusal over a tag not read in full names the way to go ahead.
void Change(TID3Engine& engine, void (TID3Engine::*operation)()) {
  try {
    (engine.*operation)();
  } catch (const EWriteError& e) {
    if (engine.ReadReport().complete || engine.ForceWrite()) throw;
    throw EWriteError(Format("%s (--force)", e.what()));
  }
}

int Set(const TSetOptions& options, CLI::App& cmd) {
  const TSetRequest request = CheckSetOptions(options, cmd);
  TID3Engine engine;
  OpenForWriting(engine, options.fileName, options.force);
  if (request.footer && engine.Header().VersionNumber() != 4)
    throw EConvertError(Format("Only an ID3v2.4 tag has a footer; the tag of \"%s\" is ID3v2.%d",
                               options.fileName.c_str(), engine.Header().VersionNumber()));
  for (const auto& [id, text] : request.texts) engine.SetFrameTextUtf8(id, text);
  for (const TComment& c : request.comments)
    engine.AddCommentUtf8(c.description, c.text, c.language);
  if (request.hasPadding) engine.SetPadding(request.padding);
  if (request.footer) engine.Header().SetFooterPresent(true);
  engine.SetWriteID3V1(request.v1);
  Change(engine, &TID3Engine::WriteTag);
  return 0;
}

int Erase(const std::string& fileName, bool force) {
  TID3Engine engine;
  OpenForWriting(engine, fileName, force);
  Change(engine, &TID3Engine::EraseTag);
  return 0;
}

RegisterVerb registerSet([](CLI::App& app) {
  static TSetOptions o;
  auto* cmd = app.add_subcommand("set", "Change fields of a file's tag and write it back");
  cmd->add_option("FILE", o.fileName, "MP3 file")->required();
  const std::pair<const char*, const char*> fields[] = {
      {"--title", "TIT2"}, {"--artist", "TPE1"}, {"--album", "TALB"},      {"--year", "TYER"},
      {"--track", "TRCK"}, {"--genre", "TIT1"},  {"--encoded-by", "TENC"}, {"--subtitle", "TIT3"}};
  o.fields.reserve(std::size(fields));
  for (const auto& [name, id] : fields) {
    o.fields.emplace_back(id, std::string());
    o.fieldOptions.push_back(cmd->add_option(name, o.fields.back().second, "Text (UTF-8)"));
  }
  cmd->add_option("--text", o.texts, "ID=TEXT: the text of any text frame");
  o.commentOption = cmd->add_option("--comment", o.comments, "DESC=TEXT: adds a comment");
  o.languageOption =
      cmd->add_option("--lang", o.languages, "Language of the comment before it (ENG)");
  o.paddingOption =
      cmd->add_option("--padding", o.padding, "Padding bytes after the frames")
          ->check(CLI::Validator(
              [](std::string& value) {
                int64_t n = -1;
                const bool number = CLI::detail::lexical_cast(value, n);
                if (number && n >= 0 && n <= kMaxPadding) return std::string();
                return Format("the padding is a number of bytes from 0 to %lld, got \"%s\"",
                              static_cast<long long>(kMaxPadding), value.c_str());
              },
              "BYTES"));
  cmd->add_flag("--footer", o.footer, "End the tag in a footer (no padding)");
  cmd->add_flag("--force", o.force,
                "Write although the tag could not be read in full, dropping what was not read");
  cmd->add_flag("--v1", o.v1, "Also write an ID3v1 trailer");
  return Verb{cmd, [cmd] { return Set(o, *cmd); }};
});

RegisterVerb registerErase([](CLI::App& app) {
  static std::string fileName;
  static bool force = false;
  auto* cmd = app.add_subcommand("erase", "Cut the ID3v2 tag out of a file");
  cmd->add_option("FILE", fileName, "MP3 file")->required();
  cmd->add_flag("--force", force,
                "Erase although the tag could not be read in full; a tag that runs past the "
                "file's end is cut only as far as it was read");
  return Verb{cmd, [] { return Erase(fileName, force); }};
});

}  // namespace

}  // namespace tagscope::cli
