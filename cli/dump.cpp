// tagscope dump [--full-seek] [--json] [-r] FILE...: what the tag engine reads from each file.
#include "cli/dump.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "cli/audio_facts.h"
#include "cli/json_writer.h"
#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/trailer_print.h"
#include "cli/trailer_tags_print.h"
#include "cli/verbs.h"
#include "tagscope/engine/chapters.h"
#include "tagscope/engine/frame_names.h"
#include "tagscope/engine/replay_gain.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/engine/synced_lyrics.h"
#include "tagscope/engine/text_repair.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// Byte strings the tag keeps in ISO-8859-1 (frame IDs, languages, MIME types, URLs).
std::string U(const std::string& latin1) {
  return IsAscii(latin1) ? latin1 : Latin1ToUtf8(latin1);
}
// The same without a copy where the text is ASCII (mostly): a dump writes several for every
// frame of every file. `spare` holds the converted text otherwise.
std::string_view U(std::string_view latin1, std::string& spare) {
  if (IsAscii(latin1)) return latin1;
  spare = Latin1ToUtf8(std::string(latin1));
  return spare;
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

void TagJson(TJsonWriter& j, TID3Engine& e, const TEngineStatus& status) {
  const TID3Header& h = e.Header();
  const TID3ExtendedHeader& x = h.ExtendedHeader();
  const TTagReadReport& r = status.readReport;
  j.BeginObject()
      .Member("offset", status.place.offset)
      .Member("length", status.place.size)
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

// The name of any frame ID (`id`, the item's); an item without an ID keeps the name DisplayName
// gives it. The table's names are viewed, not copied, where no conversion is needed.
std::string_view NameOf(const TID3Frames_Item& f, const std::string& id, std::string& spare) {
  if (id.empty()) return U(spare = f.DisplayName(), spare);
  return U(FrameName(id), spare);
}

// Whether the content renders back into the payload byte for byte.
bool RendersBack(const TID3Frames_Item& f, const TFrameValue& value, uint8_t version) {
  if (!value.Problems.empty()) return false;
  try {
    return RenderFrameContent(f.Name(), value, version) == f.Payload();
  } catch (const EFrameValueError&) {
    return false;
  }
}

void FrameJson(TJsonWriter& j, TID3Frames_Item& f, uint8_t version, TBinaryDetail binary) {
  const std::string id = f.Name();
  std::string spareId, spareName;
  j.BeginObject()
      .Member("id", U(id, spareId))
      .Member("name", NameOf(f, id, spareName))
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
      .Member("encryptionId", f.EncryptionID());
  // Sizes alone need no payload read in full; hashes and bytes do.
  const TFrameValue value = binary == TBinaryDetail::bdSize ? DescribeFrameContent(f, version)
                                                            : DecodeFrameContent(f, version);
  FrameContentJson(j, value, binary);
  // The payload's own bytes too where its content does not render back into them (a damaged
  // frame, a terminator after the last text): `set --from-json` writes them back as they are.
  if (binary == TBinaryDetail::bdBytes && !RendersBack(f, value, version)) {
    TFrameField payload;
    payload.Type = TFieldType::ftBytes;
    payload.Bytes = f.Payload();
    FieldJson(j.Key("payload"), payload, binary);
  }
  j.EndObject();
}

void FieldsJson(TJsonWriter& j, const TID3Tag& t) {
  j.BeginObject()
      .Member("title", t.TitleUtf8())
      .Member("artist", t.ArtistUtf8())
      .Member("album", t.AlbumUtf8())
      .Member("genre", t.GenreUtf8())
      .Member("year", t.YearUtf8())
      .Member("track", t.TrackUtf8())
      .Member("encodedBy", t.EncodedByUtf8())
      .Member("subTitle", t.SubTitleUtf8())
      .EndObject();
}

}  // namespace

std::string DumpJson(TID3Engine& e, const TMpegAudioProperties* audio, TBinaryDetail binary,
                     const std::string& v1Charset, const TStreamReport* check) {
  // One writer a thread, its room kept from file to file.
  thread_local TJsonWriter j;
  j.Clear();
  j.BeginObject();
  // The name's own bytes too, when they were not UTF-8 and "file" could not hold them exactly.
  if (IsValidUtf8(e.FileName()))
    j.Member("file", std::string_view(e.FileName()));
  else
    j.Member("file", FileNameText(e.FileName())).Member("fileBytes", HexBytes(e.FileName()));
  j.Member("active", e.Active());
  const TEngineStatus status = e.Status();
  TagJson(j.Key("tag"), e, status);
  j.Key("frames").BeginArray();
  const uint8_t version = e.Header().VersionNumber();
  for (int i = 0; i < e.Frames().Count(); ++i) FrameJson(j, e.Frames().Items(i), version, binary);
  j.EndArray();
  FieldsJson(j.Key("fields"), e.Tag());
  j.Key("shown")
      .BeginObject()
      .Member("genre", ShownGenre(e.Tag()))
      .Member("year", ShownYear(e.Tag()))
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
  int64_t size = 0;
  for (int i = 0; e.Tag().GetPictureInfo(i, p, size); ++i)
    j.BeginObject()
        .Member("mimeType", U(p.MimeType))
        .Member("pictureType", p.PictureType)
        .Member("description", p.DescriptionUtf8)
        .Member("size", static_cast<uint64_t>(size))
        .EndObject();
  j.EndArray().Key("urls").BeginArray();
  TID3Url u;
  for (int i = 0; e.GetURL(i, u); ++i)
    j.BeginObject().Member("description", u.DescriptionUtf8).Member("url", u.URLUtf8).EndObject();
  j.EndArray();
  if (audio) AudioJson(j.Key("audio"), *audio);
  const TTrailerTags trailers = e.TrailerTags();
  if (trailers.ID3v1) TrailerJson(j.Key("id3v1"), trailers.ID3v1Fields, v1Charset);
  TrailerTagsJson(j, trailers);
  if (status.journalPending) j.Member("journalPending", true);
  ReplayGainJson(j.Key("replayGain"),
                 ReadReplayGain(e.Tag(), trailers.Ape.Present ? &trailers.Ape : nullptr));
  FindingsJson(j.Key("findings"),
               QuickStreamFindings(e, audio ? *audio : TMpegAudioProperties(), trailers));
  if (check) {
    j.Key("check").BeginObject();
    StreamReportMembers(j, *check);
    j.EndObject();
  }
  j.EndObject();
  // With room for the end of the line that follows the object where many are printed.
  std::string text;
  text.reserve(j.View().size() + 1);
  text.assign(j.View());
  return text;
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
  const TEngineStatus status = e.Status();
  if (status.writerAtWork)
    out << "Another program was changing this file while it was read: what is shown may be "
           "half old, half new\n";
  if (status.journalPending) out << kJournalPendingWarning << "\n";
  const TID3Header& h = e.Header();
  if (h.Size() < 0) {
    out << "No ID3v2 tag\n";
    return;
  }
  out << "ID3v2." << int(h.VersionNumber()) << "." << int(h.VersionRevision()) << " tag at offset "
      << status.place.offset << ", " << status.place.size << " bytes in the file (size " << h.Size()
      << ", padding " << e.Padding() << ")\n";
  out << "  unsynchronisation " << YesNo(h.Unsynchronisation()) << ", extended header "
      << YesNo(h.ExtendedHeaderPresent()) << ", experimental " << YesNo(h.Experimental())
      << ", footer " << YesNo(h.FooterPresent()) << "\n";
  const TTagReadReport& r = status.readReport;
  if (!r.framesFoundAt.empty())
    out << "  " << EscapeForTerminal(U(r.framesFoundAt)) << "\n";
  else if (r.extendedHeaderFlagWrong)
    out << "  the header's flag announces an extended header, but none follows: frames read "
           "from right after the header\n";
  if (!r.complete)
    out << "  damaged: " << EscapeForTerminal(U(r.problem)) << "; read as far as byte "
        << r.accountedEnd << "\n";
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

void DumpText(std::ostream& out, TID3Engine& e, const TMpegAudioProperties* audio,
              const std::string& v1Charset, const TStreamReport* check) {
  out << "File: " << EscapeForTerminal(e.FileName()) << "\n";
  TextHeader(out, e);
  out << "Frames: " << e.Frames().Count() << "\n";
  for (int i = 0; i < e.Frames().Count(); ++i) {
    TID3Frames_Item& f = e.Frames().Items(i);
    std::string spare;
    out << "  " << EscapeForTerminal(U(f.Name())) << "  "
        << EscapeForTerminal(NameOf(f, f.Name(), spare)) << ", " << f.DataSize() << " bytes"
        << FrameFlags(f) << ": "
        << FrameContentText(DescribeFrameContent(f, e.Header().VersionNumber())) << "\n";
  }
  out << "Fields:\n";
  const TID3Tag& t = e.Tag();
  const std::pair<const char*, std::string> fields[] = {
      {"Title", t.TitleUtf8()},          {"Artist", t.ArtistUtf8()},    {"Album", t.AlbumUtf8()},
      {"Genre", t.GenreUtf8()},          {"Year", t.YearUtf8()},        {"Track", t.TrackUtf8()},
      {"Encoded by", t.EncodedByUtf8()}, {"Subtitle", t.SubTitleUtf8()}};
  for (const auto& [name, value] : fields)
    out << "  " << name << ": " << EscapeForTerminal(value) << "\n";
  // Where the fields above are empty, a viewer falls back to the other frames of the kind.
  out << "Shown:\n  Genre: " << EscapeForTerminal(ShownGenre(t))
      << "\n  Year: " << EscapeForTerminal(ShownYear(t)) << "\n";
  TID3Comment c;
  for (int i = 0; e.GetComment(i, c); ++i)
    out << "Comment " << i << " [" << EscapeForTerminal(U(c.Language.c_str())) << "] "
        << EscapeForTerminal(c.DescriptionUtf8) << ": " << EscapeForTerminal(c.TextUtf8) << "\n";
  TID3Picture p;
  int64_t size = 0;
  for (int i = 0; t.GetPictureInfo(i, p, size); ++i)
    out << "Picture " << i << ": " << EscapeForTerminal(U(p.MimeType)) << ", type "
        << int(p.PictureType) << ", " << size << " bytes, " << EscapeForTerminal(p.DescriptionUtf8)
        << "\n";
  TID3Url u;
  for (int i = 0; e.GetURL(i, u); ++i)
    out << "Link " << i << ": " << EscapeForTerminal(u.DescriptionUtf8) << " "
        << EscapeForTerminal(u.URLUtf8) << "\n";
  // The trailer beside the tag: readers that know no ID3v2 show its fields.
  const TTrailerTags trailers = e.TrailerTags();
  if (trailers.ID3v1) TrailerText(out, trailers.ID3v1Fields, v1Charset);
  if (audio) AudioText(out, *audio, &trailers);
  TrailerTagsText(out, trailers);
  ReplayGainText(out, ReadReplayGain(e.Tag(), trailers.Ape.Present ? &trailers.Ape : nullptr));
  // The whole walk's findings hold the others.
  if (check) {
    if (check->findings.empty())
      out << Format("Check: clean (%lld frames, %.3f s)\n", static_cast<long long>(check->frames),
                    check->duration);
    else
      out << "Check:\n";
    for (const TStreamFinding& f : check->findings) out << "  " << FindingText(f) << "\n";
    return;
  }
  const std::vector<TStreamFinding> findings =
      QuickStreamFindings(e, audio ? *audio : TMpegAudioProperties(), trailers);
  if (!findings.empty()) out << "Findings:\n";
  for (const TStreamFinding& f : findings) out << "  " << FindingText(f) << "\n";
}

namespace {

// Opens the file through the engine, read-only; false (message in the outcome) when the file
// cannot be opened. A tag that fails to read is reported and dumped as far as it was read.
bool OpenForDump(TID3Engine& engine, const TWalkFile& file, bool fullSeek, bool defer,
                 TFileOutcome& o) {
  engine.SetReadOnly(true);
  engine.SetFullID3TagSeek(fullSeek);
  engine.SetFileName(file.path);
  engine.Options().deferLargePayloads = defer;
  engine.Options().noJournalListed = file.noJournalListed;
  // The engine is closed as soon as the file is dumped.
  engine.Options().holdReadLock = true;
  try {
    engine.SetActive(true);
  } catch (const Exception& e) {
    o.err = ErrorLine(e.what());
    o.failed = true;
    return engine.Active();
  }
  if (!engine.Active()) {
    o.err = ErrorLine(engine.Status().readReport.problem);
    o.failed = true;
  }
  return engine.Active();
}

// What --chapters and --lrc print: the chapters a line each, or the synchronised lyrics as LRC,
// in the forms set reads.
enum class TTimedDump { tdNone, tdChapters, tdLrc };

std::string TimedText(TID3Engine& engine, TTimedDump what, const std::string& language,
                      std::string& err, std::string& note) {
  if (what == TTimedDump::tdChapters) return FormatChapterList(GetChapters(engine.Tag()));
  std::optional<TSyncLyricsFrame> lyrics = GetSyncedLyrics(engine.Tag(), language);
  // Lyrics in several languages: the first, and a note of the others, which --lang picks.
  const std::vector<std::string> languages = SyncedLyricsLanguages(engine.Tag());
  std::string names;
  for (const std::string& l : languages) names += (names.empty() ? "" : ", ") + l;
  if (language.empty() && languages.size() > 1)
    note = ErrorLine("note: the lyrics are in " + names +
                     "; the first is shown, --lang LANGUAGE shows another");
  if (!language.empty() && !lyrics && !languages.empty())
    note = ErrorLine("note: no lyrics in " + language + "; the lyrics are in " + names);
  if (!lyrics) return {};
  if (lyrics->TimestampFormat == TSyncLyricsFrame::kMpegFrames) {
    // Times counted in audio frames: milliseconds by the stream's frame duration.
    const TMpegAudioProperties audio = engine.ReadAudio();
    if (!audio.found || audio.first.sampleRate <= 0) {
      err = ErrorLine(
          "The lyrics are timed in MPEG frames, and the file holds no audio that "
          "gives their length");
      return {};
    }
    for (TSyncedLine& line : lyrics->Lines)
      line.Time = static_cast<uint32_t>(
          std::min<uint64_t>(0xFFFFFFFF, uint64_t{line.Time} * audio.first.samplesPerFrame * 1000 /
                                             static_cast<uint64_t>(audio.first.sampleRate)));
  }
  return FormatLrc(lyrics->Lines);
}

// A file found in a folder is dumped only when its content is MP3. The file is opened once:
// its first bytes, tag and audio facts are all read through the engine.
TFileOutcome DumpFile(const TWalkFile& file, bool fullSeek, bool asJson, TBinaryDetail binary,
                      TTimedDump timed = TTimedDump::tdNone, bool several = false,
                      const std::string& v1Charset = std::string(), bool check = false,
                      const std::string& language = std::string()) {
  TFileOutcome o;
  TID3Engine engine;
  // The trailer's texts in the character set named, when they stand in for a tag.
  if (!v1Charset.empty())
    engine.OnReadTag = [&](TID3Engine& e) {
      if (e.Header().Size() < 0) RecodeSingleByteTexts(e.Tag(), v1Charset);
    };
  // A dump that shows sizes only leaves large payloads in the file.
  if (!OpenForDump(engine, file, fullSeek, binary == TBinaryDetail::bdSize, o)) return o;
  if (file.found && !LooksLikeMp3(engine.ReadFileBytes(0, 4))) return PassedOver();
  if (timed != TTimedDump::tdNone) {
    std::string note;
    const std::string text = TimedText(engine, timed, language, o.err, note);
    o.failed = !o.err.empty();
    o.err = note + o.err;
    o.out = several ? "File: " + EscapeForTerminal(file.path) + "\n" + text : text;
    return o;
  }
  const TMpegAudioProperties audio = engine.ReadAudio();
  std::optional<TStreamReport> walk;
  if (check) {
    TFileStream stream(file.path, TFileMode::fmOpenRead);
    walk = WalkStream(stream);
  }
  const TStreamReport* report = walk ? &*walk : nullptr;
  if (asJson) {
    o.out = DumpJson(engine, &audio, binary, v1Charset, report);
    o.out += "\n";
  } else {
    std::ostringstream out;
    DumpText(out, engine, &audio, v1Charset, report);
    o.out = out.str();
  }
  return o;
}

struct DumpOptions {
  std::vector<std::string> files;
  bool fullSeek = false;
  bool json = false;
  bool recursive = false;
  bool hash = false;
  bool binary = false;
  std::string v1Charset;
  bool chapters = false;
  bool lrc = false;
  bool check = false;
  std::string language;
};

int RunDump(const DumpOptions& options) {
  const TBinaryDetail binary = options.binary ? TBinaryDetail::bdBytes
                               : options.hash ? TBinaryDetail::bdHash
                                              : TBinaryDetail::bdSize;
  if (options.chapters + options.lrc + options.json > 1)
    throw EConvertError("--chapters, --lrc and --json exclude each other");
  if (!options.language.empty() && !options.lrc) throw EConvertError("--lang goes with --lrc");
  const TTimedDump timed = options.chapters ? TTimedDump::tdChapters
                           : options.lrc    ? TTimedDump::tdLrc
                                            : TTimedDump::tdNone;
  CheckCharset(options.v1Charset);
  const std::vector<TWalkFile> files = CollectFiles(options.files, options.recursive);
  return RunForEachFile(
      files,
      [&](const TWalkFile& f) {
        return DumpFile(f, options.fullSeek, options.json, binary, timed, files.size() > 1,
                        options.v1Charset, options.check, options.language);
      },
      0, true);
}

static RegisterVerb registration([](CLI::App& app) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* cmd = app.add_subcommand("dump", "Print what the tag engine reads from MP3 files");
  cmd->add_flag("--full-seek", options->fullSeek, "Search the whole file for the tag");
  cmd->add_flag("--json", options->json, "One JSON object per file, one per line");
  cmd->add_flag("-r,--recursive", options->recursive,
                "Read the MP3 files in the folders named and below them");
  // Hashing is asked for: on files with cover art it takes most of the time of a dump.
  cmd->add_flag("--hash", options->hash, "With --json, the SHA-256 of each binary payload");
  cmd->add_flag("--binary", options->binary,
                "With --json, the bytes of each binary payload (base64) and their SHA-256");
  cmd->add_option("--v1-charset", options->v1Charset,
                  "Read the ID3v1 trailer's texts in this character set (WINDOWS-1251, ...)");
  cmd->add_flag("--chapters", options->chapters,
                "Only the chapters, \"HH:MM:SS.mmm Title\" a line, as set --chapters reads them");
  cmd->add_flag("--lrc", options->lrc,
                "Only the synchronised lyrics (SYLT), as LRC, as set --lrc reads them");
  cmd->add_flag("--check", options->check,
                "Walk every frame of the audio too and add what tagscope check reports");
  cmd->add_option("--lang", options->language,
                  "With --lrc, the lyrics in this language (three letters, such as deu)");
  cmd->add_option("FILE", options->files, "MP3 files (and folders, with -r)")->required();
  cmd->footer(
      "Examples:\n  tagscope dump song.mp3\n  tagscope dump --json *.mp3\n  tagscope dump -r "
      "Music\n  tagscope dump --check --json song.mp3");
  return Verb{cmd, [options] { return RunDump(*options); }};
});

}  // namespace

}  // namespace tagscope::cli
