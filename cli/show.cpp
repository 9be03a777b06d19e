// tagscope show [-r] FILE...: runs the viewer form without windows and prints its pages.
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/trailer_print.h"
#include "cli/trailer_tags_print.h"
#include "cli/verbs.h"
#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/text_repair.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"
#include "ui/headless/headless_factory.h"
#include "viewer/viewer_frame.h"

namespace tagscope::cli {

namespace {

// The text of a label without its "&" accelerator mark.
std::string LabelText(const TLabel& label) {
  std::string text = label.Caption();
  std::erase(text, '&');
  return text;
}

void PrintPair(std::ostream& out, const TLabel& label, const TEdit& first, const TLabel& of,
               const TEdit& second) {
  out << "  " << LabelText(label) << ": " << EscapeForTerminal(first.Text()) << " " << LabelText(of)
      << " " << EscapeForTerminal(second.Text()) << "\n";
}

// Values joined as show prints a text of several.
std::string JoinedValues(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& value : values) text += (text.empty() ? "" : "; ") + value;
  return text;
}

// What a field shows beyond the form's one-line edit: every value of a text frame with several
// (the edit holds the first), and the genre by name ("(17)" and "(17)Rock" are "Rock").
std::string FullText(const TEdit& edit, const char* id, const TViewerFrame& f) {
  const TID3Tag& tag = f.TagEngine().Tag();
  if (&edit == f.edGenre) {
    // A content group (TIT1) fills the genre field as it is; else the content type does.
    if (!tag.GenreUtf8().empty() || edit.Text().empty()) return edit.Text();
    const std::string names = JoinedValues(GenreNames(TextValues(tag, "TCON")));
    return names.empty() ? edit.Text() : names;
  }
  const std::vector<std::string> values = TextValues(tag, id);
  // The form may show a text of its own (the ID3v1 trailer's, for a damaged title).
  if (values.size() < 2 || values.front() != edit.Text()) return edit.Text();
  return JoinedValues(values);
}

void PrintStandard(std::ostream& out, const TViewerFrame& f) {
  out << f.TabSheet1->Caption() << "\n";
  const std::tuple<TLabel*, TEdit*, const char*> fields[] = {
      {f.Label1, f.edTitle, "TIT2"},     {f.Label2, f.edArtist, "TPE1"},
      {f.Label3, f.edAlbum, "TALB"},     {f.Label6, f.edComposer, "TCOM"},
      {f.Label9, f.edBand, "TPE2"},      {f.Label10, f.edConductor, "TPE3"},
      {f.Label11, f.edLyricist, "TEXT"}, {f.Label4, f.edGenre, "TCON"},
      {f.Label12, f.edMood, "TMOO"},     {f.Label13, f.edPublisher, "TPUB"},
      {f.Label5, f.edYear, "TYER"}};
  for (const auto& [label, edit, id] : fields)
    out << "  " << LabelText(*label) << ": " << EscapeForTerminal(FullText(*edit, id, f)) << "\n";
  PrintPair(out, *f.Label14, *f.edTrack, *f.Label15, *f.edTracks);
  PrintPair(out, *f.Label16, *f.edDisk, *f.Label17, *f.edDisks);
}

void PrintRows(std::ostream& out, const TTabSheet& page, const TListView& list) {
  out << page.Caption() << "\n";
  for (int i = 0; i < list.ItemCount(); ++i)
    out << "  " << EscapeForTerminal(list.ItemCaption(i)) << ": "
        << EscapeForTerminal(list.SubItem(i, 0)) << "\n";
}

void PrintPictures(std::ostream& out, const TViewerFrame& f) {
  out << f.TabSheet3->Caption() << "\n";
  for (int i = 0; i < f.lbPictures->Count(); ++i) {
    out << "  " << f.lbPictures->Item(i);
    if (const auto* info = dynamic_cast<const TPictureInfo*>(f.lbPictures->Object(i)))
      out << " (" << EscapeForTerminal(Latin1ToUtf8(info->MimeType())) << ", "
          << info->PictureData().Bytes().size() << " bytes)";
    if (i == f.lbPictures->ItemIndex()) {
      const std::string error = f.pnlPicture->Caption();
      out << ": "
          << EscapeForTerminal(error.empty() ? f.txtImageSize->Caption() : "error: " + error);
    }
    out << "\n";
    if (const auto* info = dynamic_cast<const TPictureInfo*>(f.lbPictures->Object(i));
        info && !info->Description().empty())
      out << "    " << EscapeForTerminal(info->Description()) << "\n";
  }
}

// The details page: each group's rows under its heading.
void PrintDetails(std::ostream& out, const TViewerFrame& f) {
  out << f.TabSheet5->Caption() << "\n";
  const TListView& list = *f.lvDetails;
  for (int i = 0; i < list.ItemCount(); ++i) {
    if (list.SubItemCount(i) == 0)
      out << "  " << EscapeForTerminal(list.ItemCaption(i)) << "\n";
    else
      out << "    " << EscapeForTerminal(list.ItemCaption(i)) << ": "
          << EscapeForTerminal(list.SubItem(i, 0)) << "\n";
  }
}

// The five pages of one file; headed by its name when several files are shown.
TFileOutcome ShowFile(const std::string& fileName, bool named, const std::string& v1Charset) {
  // The form shows a missing file as an empty tag; on the command line that would hide a typo.
  if (!FileExists(fileName)) throw EFOpenError(Format("File not found: %s", fileName.c_str()));
  THeadlessFactory factory;
  TViewerFrame frame(factory, 0);
  frame.Show();
  // The trailer's texts in the character set named, when they stand in for a tag.
  if (!v1Charset.empty())
    frame.TagEngine().OnReadTag = [&](TID3Engine& e) {
      if (e.Header().Size() < 0) RecodeSingleByteTexts(e.Tag(), v1Charset);
    };
  frame.LoadFile(fileName);
  std::ostringstream out;
  if (named) out << "File: " << EscapeForTerminal(fileName) << "\n";
  if (frame.TagEngine().Status().journalPending) out << kJournalPendingWarning << "\n";
  PrintStandard(out, frame);
  PrintRows(out, *frame.TabSheet2, *frame.lvComments);
  PrintPictures(out, frame);
  PrintRows(out, *frame.TabSheet4, *frame.lvUrls);
  PrintDetails(out, frame);
  // The trailer beside an ID3v2 tag, which the pages show only by its presence.
  TID3Engine& engine = frame.TagEngine();
  const TTrailerTags trailers = engine.TrailerTags();
  if (engine.Header().Size() >= 0 && trailers.ID3v1)
    TrailerText(out, trailers.ID3v1Fields, v1Charset);
  TrailerTagsText(out, trailers);
  return TFileOutcome{out.str(), "", false};
}

struct TShowOptions {
  std::vector<std::string> files;
  bool recursive = false;
  std::string v1Charset;
};

RegisterVerb registerShow([](CLI::App& app) {
  static TShowOptions o;
  auto* cmd = app.add_subcommand("show", "Show a file's tag as the viewer window holds it");
  cmd->add_flag("-r,--recursive", o.recursive, "Show the MP3 files in the folders named");
  cmd->add_option("FILE", o.files, "MP3 files (and folders, with -r)")->required();
  cmd->add_option("--v1-charset", o.v1Charset,
                  "Read the ID3v1 trailer's texts in this character set (WINDOWS-1251, ...)");
  cmd->footer("Examples:\n  tagscope show song.mp3\n  tagscope show -r Music");
  return Verb{cmd, [] {
                CheckCharset(o.v1Charset);
                const std::vector<TWalkFile> files = CollectFiles(o.files, o.recursive);
                const bool named = files.size() > 1;
                return RunForEachFile(files, [named](const TWalkFile& f) {
                  return ShowFile(f.path, named, o.v1Charset);
                });
              }};
});

}  // namespace

}  // namespace tagscope::cli
