// tagscope set FILE [--title T] ... : changes a file's tag and writes it back.
// Every argument is checked before the file is opened; whatever fails, the file is unchanged.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/ape_move.h"
#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/set_from_name.h"
#include "cli/set_plan.h"
#include "cli/set_request.h"
#include "cli/set_timed.h"
#include "cli/set_version.h"
#include "cli/verbs.h"
#include "tagscope/engine/chapters.h"
#include "tagscope/engine/file_naming.h"
#include "tagscope/engine/frame_names.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// "NAME=VALUE" split at its first "=".
std::pair<std::string, std::string> SplitPair(const std::string& argument, const char* option,
                                              const char* form) {
  const size_t equals = argument.find('=');
  if (equals == std::string::npos)
    throw EConvertError(Format("%s needs %s, got \"%s\"", option, form, argument.c_str()));
  return {argument.substr(0, equals), argument.substr(equals + 1)};
}

// The options of the set verb as the command line gave them.
struct TSetOptions {
  std::vector<std::string> fileNames;
  std::vector<std::pair<const char*, std::string>> fields;  // frame ID, option's value
  std::vector<CLI::Option*> fieldOptions;
  std::string year;
  CLI::Option* yearOption = nullptr;
  std::vector<std::string> texts, comments, languages, deletions, pictures, pictureDeletions, urls,
      userUrls, userTexts, ratings, lyrics;
  CLI::Option* commentOption = nullptr;
  CLI::Option* languageOption = nullptr;
  CLI::Option* paddingOption = nullptr;
  int64_t padding = 0;
  bool footer = false, v1 = false, v23 = false, v24 = false, dryRun = false, fromFile = false,
       force = false;
  // Frames of any ID and kind.
  std::string fromJson, playCount;
  CLI::Option* fromJsonOption = nullptr;
  CLI::Option* playCountOption = nullptr;
  std::vector<std::string> frameTexts, uniqueIds, volumes;
  // Chapters and synchronised lyrics.
  std::string chaptersFile, lrcFile, lrcCharset;
  bool deleteChapters = false;
  CLI::Option* chaptersOption = nullptr;
  CLI::Option* lrcOption = nullptr;
  // Fields from the file's name, folders walked, the modification time kept.
  std::string fromName;
  CLI::Option* fromNameOption = nullptr;
  bool recursive = false, preserveModified = false;
  bool apeToId3 = false;
};

// Which option writes which frame: two options that would write the same one are refused,
// rather than one of them silently winning. A target is named as the message shows it.
class TClaims {
 public:
  void Claim(const std::string& target, const std::string& option) {
    const auto [at, added] = FClaims.emplace(target, option);
    if (!added)
      throw EConvertError(Format("%s and %s both set %s: give only one of them", at->second.c_str(),
                                 option.c_str(), target.c_str()));
  }
  static std::string Frame(const std::string& id) { return "the frame " + id; }
  // The option that writes a text frame, or "".
  std::string Owner(const std::string& id) const {
    const auto it = FClaims.find(Frame(id));
    return it == FClaims.end() ? std::string() : it->second;
  }

 private:
  std::map<std::string, std::string> FClaims;
};

// --lang names the language of the --comment or --lrc before it.
void AddComments(const TSetOptions& o, CLI::App& cmd, TSetRequest& request) {
  size_t comment = 0, language = 0;
  bool languageGiven = false, afterLrc = false;
  for (const CLI::Option* option : cmd.parse_order()) {
    if (option == o.lrcOption) {
      afterLrc = true;
      languageGiven = false;
    } else if (option == o.commentOption) {
      afterLrc = false;
      const auto [description, text] = SplitPair(o.comments[comment++], "--comment", "DESC=TEXT");
      request.comments.push_back({CheckedUtf8(description, "comment description"),
                                  OptionValue(text, o.fromFile, "comment")});
      languageGiven = false;
    } else if (option == o.languageOption) {
      const std::string& code = o.languages[language++];
      if ((request.comments.empty() && !afterLrc) || languageGiven)
        throw EConvertError("Each --lang follows the --comment or --lrc it belongs to");
      const bool letters = code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) {
                             return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                           });
      if (!letters)
        throw EConvertError(
            Format("A language is three letters such as ENG, got \"%s\"", code.c_str()));
      (afterLrc ? request.syncedLanguage : request.comments.back().language) = code;
      languageGiven = true;
    }
  }
}

// A whole number from 0 to `most`, or the error naming what it was for.
uint64_t WholeNumber(const std::string& text, uint64_t most, const std::string& what) {
  const bool digits =
      !text.empty() && text.size() <= 19 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoull(text) > most)
    throw EConvertError(Format("%s is a whole number from 0 to %llu, got \"%s\"", what.c_str(),
                               static_cast<unsigned long long>(most), text.c_str()));
  return std::stoull(text);
}

void AddTexts(const TSetOptions& o, TSetRequest& request, TClaims& claims) {
  for (size_t i = 0; i < o.fields.size(); ++i) {
    if (o.fieldOptions[i]->count() == 0) continue;
    const std::string option = o.fieldOptions[i]->get_name();
    claims.Claim(TClaims::Frame(o.fields[i].first), option);
    request.texts.emplace_back(o.fields[i].first,
                               OptionValue(o.fields[i].second, o.fromFile, option.substr(2)));
    // Beats per minute are a whole number.
    if (option == "--bpm" && !request.texts.back().second.empty())
      WholeNumber(request.texts.back().second, 65535, "The BPM");
  }
  if (o.yearOption->count() > 0) {
    claims.Claim(TClaims::Frame("TYER"), "--year");
    claims.Claim(TClaims::Frame("TDRC"), "--year");
    request.year = CheckedUtf8(o.year, "year");
  }
  // --text given more than once for one ID gives that frame several values.
  std::vector<std::pair<std::string, std::vector<std::string>>> values;
  for (const std::string& argument : o.texts) {
    const auto [id, text] = SplitPair(argument, "--text", "ID=TEXT");
    if (id.size() != 4 || id[0] != 'T' || id == "TXXX" || !ValidFrameID(id))
      throw EConvertError(
          Format("--text needs the ID of a text frame such as TCOM, got \"%s\"", id.c_str()));
    auto same = std::find_if(values.begin(), values.end(),
                             [&, &id = id](auto& v) { return v.first == id; });
    if (same == values.end()) {
      claims.Claim(TClaims::Frame(id), "--text " + id);
      same = values.insert(values.end(), {id, {}});
    }
    same->second.push_back(OptionValue(text, o.fromFile, id + " text"));
  }
  for (auto& [id, texts] : values) {
    if (texts.size() == 1)
      request.texts.emplace_back(id, std::move(texts[0]));
    else
      request.textLists.emplace_back(id, std::move(texts));
  }
}

// --rating EMAIL=RATING[:COUNT] and --lyrics [LANG:]DESC=TEXT.
void AddRatingsAndLyrics(const TSetOptions& o, TSetRequest& request, TClaims& claims) {
  for (const std::string& argument : o.ratings) {
    const auto [email, value] = SplitPair(argument, "--rating", "EMAIL=0..255[:COUNT]");
    TSetRequest::TRating r;
    r.email = ToLatin1(email, "rating's email");
    const size_t colon = value.find(':');
    r.rating = static_cast<uint8_t>(WholeNumber(value.substr(0, colon), 255, "A rating"));
    if (colon != std::string::npos)
      r.count = WholeNumber(value.substr(colon + 1), INT64_MAX, "A play count");
    claims.Claim("the rating of \"" + email + "\"", "--rating " + email);
    request.ratings.push_back(std::move(r));
  }
  for (const std::string& argument : o.lyrics) {
    const auto [key, text] = SplitPair(argument, "--lyrics", "[LANG:]DESC=TEXT");
    TSetRequest::TLyrics l;
    const bool language =
        key.size() >= 4 && key[3] == ':' && std::all_of(key.begin(), key.begin() + 3, [](char c) {
          return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        });
    if (language) l.language = key.substr(0, 3);
    l.description = CheckedUtf8(language ? key.substr(4) : key, "lyrics description");
    l.text = OptionValue(text, o.fromFile, "lyrics");
    claims.Claim("the lyrics \"" + l.description + "\" in " + l.language, "--lyrics " + key);
    request.lyrics.push_back(std::move(l));
  }
}

void AddLinksAndUserTexts(const TSetOptions& o, TSetRequest& request, TClaims& claims) {
  for (const std::string& argument : o.urls) {
    const auto [id, url] = SplitPair(argument, "--url", "ID=URL");
    if (id.size() != 4 || id[0] != 'W' || id == "WXXX" || !ValidFrameID(id))
      throw EConvertError(Format(
          "--url needs the ID of a link frame such as WOAR (--user-url sets WXXX), got \"%s\"",
          id.c_str()));
    request.links.emplace_back(id, ToLatin1(url, id + " link", true));
  }
  for (const std::string& argument : o.userUrls) {
    const auto [description, url] = SplitPair(argument, "--user-url", "DESC=URL");
    CheckedUtf8(description, "link description");
    claims.Claim("the user link \"" + description + "\"", "--user-url " + description);
    request.userUrls.emplace_back(description, ToLatin1(url, "link", true));
  }
  for (const std::string& argument : o.userTexts) {
    const auto [description, text] = SplitPair(argument, "--user-text", "DESC=TEXT");
    CheckedUtf8(description, "user text description");
    claims.Claim("the user text \"" + description + "\"", "--user-text " + description);
    request.userTexts.emplace_back(description, OptionValue(text, o.fromFile, "user text"));
  }
}

void AddPictures(const TSetOptions& o, TSetRequest& request, TClaims& claims) {
  for (const std::string& type : o.pictureDeletions)
    request.pictureDeletions.push_back(PictureTypeArgument(type, true));
  for (const std::string& argument : o.pictures) {
    TSetRequest::TPicture picture = PictureArgument(argument);
    const int type = picture.picture.PictureType;
    // A tag holds one file icon of each kind, whatever its description.
    const std::string described =
        type == 1 || type == 2 ? "" : " described \"" + picture.picture.DescriptionUtf8 + "\"";
    claims.Claim(Format("the picture of type %d", type) + described, "--picture " + argument);
    request.pictures.push_back(std::move(picture));
  }
}

void AddDeletions(const TSetOptions& o, TSetRequest& request, const TClaims& claims) {
  for (const std::string& id : o.deletions) {
    if (id.size() != 4 || !ValidFrameID(id))
      throw EConvertError(
          Format("--delete needs a frame ID of four letters or digits, got \"%s\"", id.c_str()));
    if (const std::string owner = claims.Owner(id); !owner.empty())
      throw EConvertError(Format("--delete %s removes the frame that %s sets: give only one",
                                 id.c_str(), owner.c_str()));
    request.deletions.push_back(id);
  }
}

// The option that sets a frame of a kind --frame does not write.
std::string OptionForKind(std::string_view id) {
  static const std::pair<std::string_view, std::string_view> options[] = {
      {"APIC", "--picture"},  {"COMM", "--comment"}, {"TXXX", "--user-text"},
      {"WXXX", "--user-url"}, {"UFID", "--ufid"},    {"PCNT", "--play-count"},
      {"POPM", "--rating"},   {"USLT", "--lyrics"},  {"RVA2", "--volume"}};
  for (const auto& [frame, option] : options)
    if (frame == id) return std::string(option);
  return "--from-json";
}

// --frame ID=VALUE: a text or link frame of any ID, several values when repeated.
void AddFrameTexts(const TSetOptions& o, TSetRequest& request, TClaims& claims) {
  for (const std::string& argument : o.frameTexts) {
    const auto [id, value] = SplitPair(argument, "--frame", "ID=VALUE");
    if (id.size() != 4 || !ValidFrameID(id))
      throw EConvertError(
          Format("--frame needs a frame ID of four letters A-Z or digits such as TCMP, got \"%s\"",
                 id.c_str()));
    // A frame no version or common addition defines is shown by readers as bytes, if at all.
    if (FrameName(id) == id && !o.force)
      throw EConvertError(
          Format("--frame %s: no version defines a frame %s; give --force to write it all the same",
                 id.c_str(), id.c_str()));
    const std::string_view kind = FrameKind(id);
    if (kind != "text" && kind != "url" && kind != "raw")
      throw EConvertError(Format("--frame writes texts and links; %s holds other content: use %s",
                                 id.c_str(), OptionForKind(id).c_str()));
    auto same = std::find_if(request.frameTexts.begin(), request.frameTexts.end(),
                             [&, &id = id](auto& v) { return v.first == id; });
    if (same == request.frameTexts.end()) {
      claims.Claim(TClaims::Frame(id), "--frame " + id);
      same = request.frameTexts.insert(request.frameTexts.end(), {id, {}});
    }
    same->second.push_back(kind == "url" ? ToLatin1(value, id + " link", true)
                                         : OptionValue(value, o.fromFile, id + " text"));
  }
}

// --ufid OWNER=ID, --play-count N and --volume ID=DB.
void AddOwnedFrames(const TSetOptions& o, TSetRequest& request, TClaims& claims) {
  for (const std::string& argument : o.uniqueIds) {
    const auto [owner, identifier] = SplitPair(argument, "--ufid", "OWNER=ID");
    if (owner.empty()) throw EConvertError("--ufid needs the identifier's owner, such as a URL");
    // The identifier is at most 64 bytes.
    if (CheckedUtf8(identifier, "unique file identifier").size() > 64)
      throw EConvertError(
          Format("A unique file identifier is at most 64 bytes, got %zu", identifier.size()));
    claims.Claim("the unique file identifier of \"" + owner + "\"", "--ufid " + owner);
    request.uniqueIds.emplace_back(ToLatin1(owner, "identifier's owner"), identifier);
  }
  if (o.playCountOption->count() > 0) {
    claims.Claim(TClaims::Frame("PCNT"), "--play-count");
    request.playCount = WholeNumber(o.playCount, INT64_MAX, "A play count");
  }
  for (const std::string& argument : o.volumes) {
    const auto [identification, decibels] = SplitPair(argument, "--volume", "ID=DB");
    char* end = nullptr;
    const double db = std::strtod(decibels.c_str(), &end);
    // Adjustments are stored in 1/512 dB in 16 bits.
    if (decibels.empty() || *end != '\0' || !(db >= -64.0 && db < 64.0))
      throw EConvertError(
          Format("A volume adjustment is a number of dB from -64 to 63.99 such as -6.5, got \"%s\"",
                 decibels.c_str()));
    claims.Claim("the volume of \"" + identification + "\"", "--volume " + identification);
    request.volumes.emplace_back(ToLatin1(identification, "volume identification"),
                                 static_cast<int>(std::lround(db * 512)));
  }
  if (o.fromJsonOption->count() > 0)
    request.fromJson = ParseDumpJson(JsonArgument(o.fromJson), o.force);
}

// --chapters, --delete-chapters and --lrc; the lyrics claim the unsynchronised lyrics of their
// language too, which they write beside the timed ones.
void AddTimed(const TSetOptions& o, TSetRequest& request, TClaims& claims) {
  if (o.chaptersOption->count() > 0 && o.deleteChapters)
    throw EConvertError("--chapters and --delete-chapters exclude each other");
  if (o.chaptersOption->count() > 0) ReadChapterList(o.chaptersFile, request);
  request.deleteChapters = o.deleteChapters;
  if (o.lrcOption->count() == 0) {
    if (!o.lrcCharset.empty()) throw EConvertError("--lrc-charset goes with --lrc");
    return;
  }
  claims.Claim("the lyrics \"\" in " + request.syncedLanguage, "--lrc");
  ReadLrc(o.lrcFile, o.lrcCharset, request);
}

TSetRequest CheckSetOptions(const TSetOptions& o, CLI::App& cmd) {
  TSetRequest request;
  TClaims claims;
  if (o.v23 && o.v24) throw EConvertError("--id3v2.3 and --id3v2.4 exclude each other");
  request.version = o.v23 ? 3 : o.v24 ? 4 : 0;
  if (o.fromNameOption->count() > 0) {
    request.fromName.emplace(o.fromName);
    for (const std::string& id : FramesOfFormat(*request.fromName))
      claims.Claim(TClaims::Frame(id), "--from-name");
  }
  AddTexts(o, request, claims);
  AddComments(o, cmd, request);
  AddRatingsAndLyrics(o, request, claims);
  AddLinksAndUserTexts(o, request, claims);
  AddPictures(o, request, claims);
  AddFrameTexts(o, request, claims);
  AddOwnedFrames(o, request, claims);
  AddTimed(o, request, claims);
  AddDeletions(o, request, claims);
  if (o.paddingOption->count() > 0) request.padding = o.padding;
  request.footer = o.footer;
  request.v1 = o.v1;
  request.dryRun = o.dryRun;
  request.force = o.force;
  if (request.padding && request.footer)
    throw EConvertError(
        "A tag with a footer has no padding: --padding and --footer exclude each other");
  if (request.footer && request.version == 3)
    throw EConvertError(
        "Only an ID3v2.4 tag has a footer: --footer and --id3v2.3 exclude each other");
  return request;
}

// The most padding a tag can hold: its size field counts at most 2^28 - 1 bytes.
constexpr int64_t kMaxPadding = 0x0FFFFFFF;

// "A, B, C".
std::string Listed(const std::vector<std::string>& ids) {
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ", ") + id;
  return list;
}

// The note that frames went because the tag's version has no form for them.
void NoteDropped(std::vector<std::string>& notes, const std::vector<std::string>& dropped,
                 int version, const std::string& fileName) {
  if (dropped.empty()) return;
  notes.push_back(Format("Note: ID3v2.%d has no form for %s: dropped from \"%s\"", version,
                         Listed(dropped).c_str(), EscapeForTerminal(fileName).c_str()));
}

// Makes the change in the engine's tag; returns the notes to print once it is written.
std::vector<std::string> Apply(const TSetRequest& r, TID3Engine& engine,
                               const std::string& fileName) {
  std::vector<std::string> notes;
  TID3Tag& tag = engine.Tag();
  // The frames of --from-json replace the tag's before anything else changes them.
  if (r.fromJson) {
    if (!r.fromJson->dropped.empty())
      notes.push_back(
          Format("Note: later versions have no form for the ID3v2.2 frame%s %s of the "
                 "JSON: left out of \"%s\"",
                 r.fromJson->dropped.size() > 1 ? "s" : "", Listed(r.fromJson->dropped).c_str(),
                 EscapeForTerminal(fileName).c_str()));
    const std::vector<std::string> dropped = WriteJsonFrames(*r.fromJson, tag);
    NoteDropped(notes, dropped, std::max(engine.Header().VersionNumber(), uint8_t{3}), fileName);
  }
  // Also a tag of the version asked for is made a proper one: dates of the other version in it
  // are converted.
  if (r.version != 0) NoteDropped(notes, ChangeTagVersion(tag, r.version), r.version, fileName);
  if (r.fromName) SetFromName(tag, *r.fromName, fileName);
  if (r.footer && engine.Header().VersionNumber() != 4)
    throw EConvertError(Format("Only an ID3v2.4 tag has a footer; the tag of \"%s\" is ID3v2.%d",
                               fileName.c_str(), engine.Header().VersionNumber()));
  for (const std::string& id : r.deletions) DeleteFrames(tag, id);
  // The tables of contents list none of the chapters or tables that went.
  if (engine.Active() &&
      std::any_of(r.deletions.begin(), r.deletions.end(),
                  [](const std::string& id) { return id == "CHAP" || id == "CTOC"; }))
    PruneTablesOfContents(tag);
  for (int type : r.pictureDeletions) DeletePictures(tag, type);
  // Frames of the other version are set in a tag of that version and converted into this one.
  const std::set<std::string> convert = FramesToConvert(r, engine, fileName, notes);
  TID3Tag other;
  other.Header().SetVersionNumber(engine.Header().VersionNumber() >= 4 ? 3 : 4);
  auto tagFor = [&](const std::string& id) -> TID3Tag& {
    return convert.count(id) > 0 ? other : tag;
  };
  // A year, day or time changes that part of the recording time.
  if (engine.Header().VersionNumber() >= 4 &&
      (convert.count("TYER") + convert.count("TDAT") + convert.count("TIME")) > 0)
    AddVersion3Dates(other, tag);
  for (const auto& [id, text] : r.texts) {
    if (FrameKind(id) == "people")
      SetTextValues(tagFor(id), id, {text});
    else
      tagFor(id).SetFrameTextUtf8(id, text);
  }
  for (const auto& [id, texts] : r.textLists) SetTextValues(tagFor(id), id, texts);
  for (const auto& rating : r.ratings) SetRating(tag, rating.email, rating.rating, rating.count);
  for (const auto& l : r.lyrics) SetLyrics(tag, l.language, l.description, l.text);
  if (r.year) SetShownYear(tag, *r.year);
  for (const auto& c : r.comments) SetComment(tag, c.description, c.text, c.language);
  for (const auto& [description, text] : r.userTexts) SetUserText(tag, description, text);
  for (const auto& [description, url] : r.userUrls) SetUserURL(tag, description, url);
  std::map<std::string, std::vector<std::string>> links;
  for (const auto& [id, url] : r.links) links[id].push_back(url);
  for (const auto& [id, urls] : links) SetLinkFrames(tag, id, urls);
  for (const auto& p : r.pictures) SetPicture(tag, p.picture, p.data);
  for (const auto& [id, values] : r.frameTexts) {
    if (FrameKind(id) == "url") {
      SetLinkFrames(tag, id, values);
    } else if (values.size() == 1 && values[0].empty()) {
      DeleteFrames(tag, id);
    } else {
      SetTextValues(tagFor(id), id, values);
    }
  }
  for (const auto& [owner, identifier] : r.uniqueIds) SetUniqueFileID(tag, owner, identifier);
  if (r.playCount) SetPlayCount(tag, *r.playCount);
  for (const auto& [identification, adjustment] : r.volumes)
    SetVolume(tag, identification, adjustment);
  if (engine.Active() && other.Frames().Count() > 0)
    NoteDropped(notes, AddConvertedFrames(tag, other),
                std::max(engine.Header().VersionNumber(), uint8_t{3}), fileName);
  ApplyTimed(r, engine, fileName);
  if (r.padding) engine.SetPadding(*r.padding);
  if (r.footer) engine.Header().SetFooterPresent(true);
  engine.SetWriteID3V1(r.v1);
  return notes;
}

// The same change for every file named; the options are checked once, before any file is opened.
int Set(const TSetOptions& options, CLI::App& cmd) {
  const TSetRequest request = CheckSetOptions(options, cmd);
  const std::vector<TWalkFile> files = CollectFiles(options.fileNames, options.recursive);
  return ChangeEachFile(
      files, request.dryRun ? "not changed (dry run)" : "written",
      [&](const std::string& fileName) {
        TID3Engine engine;
        // Kept through the open file, never set again through the name.
        engine.Options().keepModified = options.preserveModified && !request.dryRun;
        // A dry run opens the file for reading only: it cannot change it.
        OpenEngine(engine, fileName, request.dryRun, options.force);
        // The edits apply to the frames a write puts in place of an imported ID3v1 trailer.
        engine.SettleID3V1Import();
        const TTagLines before = TagLines(engine, false);
        const std::vector<std::string> notes = Apply(request, engine, fileName);
        // The APE tag is cut by the tag's write, in the same change.
        if (options.apeToId3) MoveApeTag(engine, options.force, std::cout);
        if (request.dryRun) {
          PrintChanges(std::cout, fileName, before, TagLines(engine, request.v1));
        } else {
          Change(engine, &TID3Engine::WriteTag);
        }
        // What went from the tag is told once the change is made: a failed one changed nothing.
        for (const std::string& note : notes) PrintNote(note);
      },
      // Many files at once where nothing is printed along the way.
      !request.dryRun && !options.apeToId3);
}

const char* const kSetExample = R"(Examples:
  tagscope set song.mp3 --title "Café" --artist Band --year 2004 --genre Rock
  tagscope set song.mp3 --picture cover.jpg:front --user-url "Home=https://example.org"
  tagscope set song.mp3 --id3v2.3 --delete TXXX --value-from-file --comment "Notes=@notes.txt"
  tagscope set song.mp3 --delete-picture all --dry-run
  tagscope set song.mp3 --frame TCMP=1 --ufid "http://musicbrainz.org=5f1c..." --play-count 12
  tagscope dump --json --binary a.mp3 | tagscope set b.mp3 --from-json -
  tagscope set book.mp3 --chapters chapters.txt --lrc song.lrc --lang deu
  tagscope set -r Music --from-name "%{artist}/%{album}/%{track} %{title}" -p)";

void AddSetOptions(CLI::App& cmd, TSetOptions& o) {
  cmd.add_option("FILE", o.fileNames,
                 "MP3 files (and folders, with -r), each given the same change")
      ->required();
  cmd.add_flag("-r,--recursive", o.recursive, "Change the MP3 files in the folders named");
  cmd.add_flag("-p,--preserve-mtime", o.preserveModified, "Keep each file's modification time");
  o.fromNameOption =
      cmd.add_option(
             "--from-name", o.fromName,
             "FORMAT: fields from the file's name, as in \"%{track} - %{artist} - %{title}\" "
             "(fields: artist albumartist album title track disc year genre; / for folders)")
          ->type_name("FORMAT");
  const std::pair<const char*, const char*> fields[] = {
      {"--title", "TIT2"},      {"--artist", "TPE1"},   {"--album", "TALB"},
      {"--track", "TRCK"},      {"--genre", "TCON"},    {"--grouping", "TIT1"},
      {"--encoded-by", "TENC"}, {"--subtitle", "TIT3"}, {"--album-artist", "TPE2"},
      {"--disc", "TPOS"},       {"--composer", "TCOM"}, {"--bpm", "TBPM"}};
  o.fields.reserve(std::size(fields));
  for (const auto& [name, id] : fields) {
    o.fields.emplace_back(id, std::string());
    o.fieldOptions.push_back(
        cmd.add_option(name, o.fields.back().second, std::string("Text of ") + id));
  }
  o.yearOption = cmd.add_option("--year", o.year, "Year: TYER in ID3v2.3, TDRC in ID3v2.4");
  cmd.add_option("--text", o.texts,
                 "ID=TEXT: the text of any text frame; repeated for one ID, its several values");
  cmd.add_option("--rating", o.ratings,
                 "EMAIL=0..255[:COUNT]: the rating (POPM) of that email, with a play count");
  cmd.add_option("--lyrics", o.lyrics,
                 "[LANG:]DESC=TEXT: the lyrics (USLT) of that language (eng) and description; "
                 "empty TEXT removes");
  o.commentOption = cmd.add_option("--comment", o.comments,
                                   "DESC=TEXT: the comment of that description and language (eng)");
  o.languageOption =
      cmd.add_option("--lang", o.languages, "Language of the --comment or --lrc before it (eng)");
  cmd.add_option("--user-text", o.userTexts, "DESC=TEXT: a user text (TXXX); empty TEXT removes");
  cmd.add_option("--url", o.urls, "ID=URL: a link frame such as WOAR; empty URL removes");
  cmd.add_option("--user-url", o.userUrls, "DESC=URL: a user link (WXXX); empty URL removes");
  cmd.add_option("--picture", o.pictures,
                 "FILE[:TYPE[:DESC]]: adds a picture, replacing one of that type and description");
  cmd.add_option("--delete-picture", o.pictureDeletions, "TYPE|all: removes pictures of a type");
  cmd.add_option("--delete", o.deletions, "ID: removes every frame with the ID");
  cmd.add_option("--frame", o.frameTexts,
                 "ID=VALUE: a text or link frame of any ID (TCMP, GRP1, TSO2, XSOP...); "
                 "repeated for one ID, its several values; empty VALUE removes");
  cmd.add_option("--ufid", o.uniqueIds,
                 "OWNER=ID: the unique file identifier (UFID) of that owner; empty ID removes");
  o.playCountOption = cmd.add_option("--play-count", o.playCount, "N: the play counter (PCNT)");
  cmd.add_option("--volume", o.volumes,
                 "ID=DB: the relative volume (RVA2) of that identification (track, album), "
                 "master volume in dB");
  o.fromJsonOption = cmd.add_option(
      "--from-json", o.fromJson,
      "FILE|-: the frames of dump --json --binary output for one file replace the tag's; "
      "the other options apply after it");
  o.chaptersOption = cmd.add_option(
      "--chapters", o.chaptersFile,
      "FILE: chapters (CHAP, CTOC) from a list, \"HH:MM:SS[.mmm] Title\" a line, or ;FFMETADATA1");
  cmd.add_flag("--delete-chapters", o.deleteChapters, "Removes the chapters (CHAP, CTOC)");
  o.lrcOption = cmd.add_option(
      "--lrc", o.lrcFile, "FILE: timed lyrics (SYLT) from LRC, and their words as lyrics (USLT)");
  cmd.add_option("--lrc-charset", o.lrcCharset,
                 "The character set of the --lrc file (WINDOWS-1251, GBK, ...) when it is not "
                 "UTF-8; found from its bytes when not given");
  cmd.add_flag("--id3v2.3", o.v23,
               "Write an ID3v2.3 tag (dates become TYER, TDAT, TIME; frames it lacks go)");
  cmd.add_flag("--id3v2.4", o.v24, "Write an ID3v2.4 tag (dates become TDRC)");
  cmd.add_flag("--value-from-file", o.fromFile,
               "Text values written @FILE are read from FILE (@@ for a leading @)");
  o.paddingOption =
      cmd.add_option("--padding", o.padding, "Padding bytes after the frames")
          ->check(CLI::Validator(
              [](std::string& value) {
                int64_t n = -1;
                const bool number = CLI::detail::lexical_cast(value, n);
                if (number && n >= 0 && n <= kMaxPadding) return std::string();
                return Format("the padding is a number of bytes from 0 to %lld, got \"%s\"",
                              static_cast<long long>(kMaxPadding), value.c_str());
              },
              "BYTES"));
  cmd.add_flag("--footer", o.footer, "End the tag in a footer (no padding)");
  cmd.add_flag("--force", o.force,
               "Write although the tag could not be read in full, dropping what was not read; "
               "write frames the tag's version (or any version) lacks as they are");
  cmd.add_flag("--v1", o.v1, "Also write an ID3v1 trailer");
  cmd.add_flag("--ape-to-id3", o.apeToId3,
               "Move the APE tag's items (ReplayGain, title, artist, ...) into the ID3v2 tag and "
               "remove the APE tag");
  cmd.add_flag("--dry-run", o.dryRun, "Print what the change would do; change nothing");
  // Each repeatable option takes one value per use, so that files may follow it.
  for (CLI::Option* option : cmd.get_options())
    if (!option->get_positional()) option->allow_extra_args(false);
  cmd.footer(kSetExample);
}

RegisterVerb registerSet([](CLI::App& app) {
  static TSetOptions o;
  auto* cmd = app.add_subcommand("set", "Change a file's tag and write it back");
  AddSetOptions(*cmd, o);
  return Verb{cmd, [cmd] { return Set(o, *cmd); }};
});

}  // namespace

}  // namespace tagscope::cli
