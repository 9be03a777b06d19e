#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/file_range.h"
#include "tagscope/engine/file_system.h"
#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/id3_frames.h"
#include "tagscope/engine/id3_header.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/id3v1_trailer.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/tag_place.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/file_stream.h"

namespace tagscope {

class TTagFile;
class TTagWriter;
class TFlushGroup;
struct TTrailerPlaces;

// Works on one MP3 file: setting Active opens FileName, finds its ID3v2 tag and reads it into
// the tag in memory, Tag (or imports the ID3v1 trailer); the accessors read and change its
// frames while the file is open, and writing puts the tag back into the file.
// How an engine treats its files, beside its own properties: settings of the file side, taken
// when a file is opened and when it is changed.
struct TEngineOptions {
  // Large payloads (a cover's bytes) are read when first asked for, not with the tag: a program
  // that lists frames, their sizes and descriptions (DescribeFrameContent, GetPictureInfo) then
  // reads little of a file with cover art. For files opened for reading only. A payload read
  // later raises EReadError (from Payload, and what reads through it) when the file has
  // changed or was closed since its tag was read.
  bool deferLargePayloads = false;
  // For reading only: the caller listed the folder of FileName before setting Active, and no
  // writer's name (beside::IsWritersName) stood in it. Where the file system keeps the marks a
  // writer sets before it makes a journal, a file that carries none is then not looked for a
  // journal beside it (journalPending): a program reading many files of a folder it listed
  // saves one look-up per file. Cleared when FileName changes.
  bool noJournalListed = false;
  // For reading only: the shared lock under which the tag is read is held until the file is
  // closed, not let go once the tag is read. The audio facts and the blocks behind the audio,
  // read after the tag, then come from the very file the tag was read from, and the lock goes
  // with the file (a program reading many files saves a call on each). Writers of the file wait
  // while it is held: an engine that stays open on a file (a viewer) leaves this off.
  bool holdReadLock = false;
  // A write of the tag also cuts the APE tag behind the audio (and a Lyrics3 block beside it,
  // as TTrailerTags::ApeRanges), in the same change: the file afterwards holds the new tag and
  // no APE tag, or is unchanged. A damaged APE tag, whose place is not proven, is left.
  bool dropApeTag = false;
  // A forced write or erase goes ahead although the read did not account for the whole tag,
  // dropping what it could not read, or although the file is plainly not MP3 by its content (a
  // FLAC file, a picture: ForeignContent). Unforced, both refuse with EWriteRefused, nothing
  // changed. No write, forced or not, makes a tag that a later read could not see whole (more
  // frames than MaxFrameCount, more bytes than a tag's header can count).
  bool forceWrite = false;
  // Each change of the file keeps its time of last write as it was before the change. The time
  // is set through the open file that ends up with the content (the new file a rewrite put in
  // place, else the file itself), before its last flush: never through the file's name, which
  // may lead elsewhere by then. A change whose time cannot be kept is not made.
  bool keepModified = false;
  // Engines writing many files at once, on threads of their own, share the flushes of their
  // folders through one group (see TFlushGroup); none by default.
  std::shared_ptr<TFlushGroup> flushGroup;
};

// What an engine knows of its open file beside the tag's content.
struct TEngineStatus {
  // Where the tag stands in the file and how many bytes it occupies there (size 0: no tag).
  TTagPlace place;
  // What the last read accounted for (a write refuses, unless forced, when not complete).
  TTagReadReport readReport;
  int64_t fileSize = 0;  // 0 while inactive
  // What opening the file for writing did to finish a change that an earlier writer did not
  // end (rolled back or completed from its journal); empty when there was none.
  std::string recoveryNote;
  // Whether the marked journal of a change cut short lay beside the file when it was opened for
  // reading only: the file may be half old, half new until the next writer puts it right.
  bool journalPending = false;
  // Whether another program was changing the file while it was read for reading only, for
  // longer than a reader waits: what was read may be half old, half new.
  bool writerAtWork = false;
  // The frames are the ID3v1 trailer's import as the viewer shows it (LoadID3V1), not yet
  // turned into what a write puts in the file (SettleID3V1Import).
  bool id3v1Imported = false;
};

class TID3Engine {
 public:
  using TNotifyEvent = std::function<void(TID3Engine& sender)>;

  TID3Engine();
  virtual ~TID3Engine();

  // --- state and file ---
  bool Active() const;
  void SetActive(bool value);
  const std::string& FileName() const;
  void SetFileName(const std::string& value);  // ignored while active
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value) { FReadOnly = value; }
  bool FullID3TagSeek() const { return FFullID3TagSeek; }
  void SetFullID3TagSeek(bool value) { FFullID3TagSeek = value; }
  bool WriteID3V1() const { return FWriteID3V1; }
  void SetWriteID3V1(bool value) { FWriteID3V1 = value; }
  int64_t Padding() const { return FTag.Padding(); }
  // Stores 0 for a negative value or when the header has a footer. Padding set here is kept by
  // a write; the padding a read found gives way when the frames grow.
  void SetPadding(int64_t value);
  // The file side's settings: changed in place, taken by the next opening and change.
  TEngineOptions& Options() { return FOptions; }
  const TEngineOptions& Options() const { return FOptions; }
  // Where the tag stands, what its read accounted for, what opening the file found.
  TEngineStatus Status() const;

  // The tag in memory, which works without a file: its frame content is read and changed
  // through it (and the edits of tag_edit.h, version_change.h, shown_fields.h). Empty while the
  // engine is inactive: closing the file forgets the tag, opening it reads the tag anew.
  TID3Tag& Tag() { return FTag; }
  const TID3Tag& Tag() const { return FTag; }
  TID3Header& Header() { return FTag.Header(); }
  TID3Frames& Frames() { return FTag.Frames(); }
  void SetFrames(const TID3Frames& value);  // copies the items

  // --- operations ---
  // Reads the whole tag again (OnReadTag); nothing while inactive.
  virtual void ReadTag();
  // Writes the in-memory tag into the file (OnWriteTag).
  virtual void WriteTag();
  // Erases the tag (OnEraseTag). The given runs of bytes behind it (the trailers other taggers
  // append: ID3v1, APEv2, Lyrics3; TTrailerTags has their ranges) are cut out of the file in
  // the same change: whatever fails, and wherever the process stops, the file ends with all of
  // it or none of it done. Each run must lie past the tag and within the file.
  virtual void EraseTag(const std::vector<TFileRange>& trailers = {});
  // Imports the ID3v1 trailer into frames; writes one built from the fields.
  void LoadID3V1();
  void SaveID3V1();
  // The import shows every field of the trailer as the viewer's pages have it (the year as
  // TYER, empty fields, track "0", the comment described "MAIN" in "ENG"); a write puts the
  // frames other taggers write instead. This turns the imported frames into those now, so
  // that edits apply to them: the year as TDRC in a tag of version 4, no empty frames, no
  // track 0, the comment in "eng" with no description. Nothing when the tag was not imported
  // or has been turned already; WriteTag does it itself.
  void SettleID3V1Import();
  // Cuts the ID3v1 trailer off the end of the file; false when the file ends in none.
  bool RemoveID3V1();
  // What the file plainly is by the first bytes of its content (past its ID3v2 tags) when that
  // is not MP3: "a FLAC file", "a JPEG picture"; empty for MP3 or anything not recognised.
  std::string ForeignContent();
  // The audio facts of the open file (ReadMpegAudio, past a tag at the file's start, counting
  // the frames of a length in doubt up to `countBound` bytes of audio), and up to `count` of
  // its bytes from `position`. In a file opened for reading only, bytes that the read of the
  // tag fetched are not read again. Nothing while inactive.
  TMpegAudioProperties ReadAudio(int64_t countBound = kDefaultCountBound);
  std::string ReadFileBytes(int64_t position, int64_t count);

  // --- blocks behind the audio (trailer_tags.h) ---
  // The blocks behind the audio of the open file, as ReadTrailerTags reads them (the ID3v1
  // trailer field by field among them); found once with the audio facts. None while inactive.
  TTrailerTags TrailerTags();
  // Puts each splice's bytes in place of its range (which lie behind the tag and do not
  // overlap) in one change: in place under a journal where no byte after a splice moves (the
  // same length, or a cut at the file's end), else the file written anew beside it; splices
  // that all cut (no bytes) take the file's end off where that is all. The file afterwards
  // holds the spliced content or is unchanged. Refused (EWriteRefused) for a file that is not
  // MP3 unless forced. Nothing while inactive or for no splices.
  void SpliceFile(std::vector<TFileSplice> splices);

  // --- frame content ---
  // The tag's (TID3Tag has them all, with their ...Utf8 forms, GetFrameTextUtf8 first of all:
  // what a program should read): these read nothing while the engine is inactive (empty texts,
  // no frames found) and change nothing (AddComment gives -1).
  int FrameCount(std::string_view id) const { return FTag.FrameCount(id); }
  // The text of the first frame with the ID as ISO-8859-1 bytes, '?' for every character
  // outside it; setting writes the bytes as they are, with encoding byte 0.
  std::string GetFrameText(std::string_view id) const;
  void SetFrameText(std::string_view id, const std::string& text);
  // The index-th comment (COMM), 0-based in collection order; false when there is none.
  bool GetComment(int index, TID3Comment& comment) const;
  // Adds a comment of ISO-8859-1 texts, written with encoding byte 0; returns its index.
  int AddComment(const std::string& description, const std::string& text,
                 const std::string& language);
  // The index-th picture (APIC); its bytes replace the content of `data`.
  bool GetPicture(int index, TStream& data, TID3Picture& picture) const;
  // The index-th user-defined link (WXXX).
  bool GetURL(int index, TID3Url& url) const;

  // The title and artist in full as UTF-8; setting encodes as TID3Tag::SetFrameTextUtf8 does.
  std::string TitleUtf8() const { return FTag.GetFrameTextUtf8("TIT2"); }
  void SetTitleUtf8(const std::string& v);
  std::string ArtistUtf8() const { return FTag.GetFrameTextUtf8("TPE1"); }

  // The tag fields as ISO-8859-1 bytes (GetFrameText, SetFrameText), in the single-byte text
  // an ID3v1 trailer is written from. Genre is the content-group frame (TIT1), not the content
  // type (TCON) that `set --genre` writes, and Year is TYER alone; ShownGenre and ShownYear
  // (shown_fields.h) read the other frame when the first is missing.
  std::string Album() const { return GetFrameText("TALB"); }
  void SetAlbum(const std::string& v) { SetFrameText("TALB", v); }
  std::string Artist() const { return GetFrameText("TPE1"); }
  void SetArtist(const std::string& v) { SetFrameText("TPE1", v); }
  std::string EncodedBy() const { return GetFrameText("TENC"); }
  void SetEncodedBy(const std::string& v) { SetFrameText("TENC", v); }
  std::string Genre() const { return GetFrameText("TIT1"); }
  void SetGenre(const std::string& v) { SetFrameText("TIT1", v); }
  std::string SubTitle() const { return GetFrameText("TIT3"); }
  void SetSubTitle(const std::string& v) { SetFrameText("TIT3", v); }
  std::string Title() const { return GetFrameText("TIT2"); }
  void SetTitle(const std::string& v) { SetFrameText("TIT2", v); }
  std::string Track() const { return GetFrameText("TRCK"); }
  void SetTrack(const std::string& v) { SetFrameText("TRCK", v); }
  std::string Year() const { return GetFrameText("TYER"); }
  void SetYear(const std::string& v) { SetFrameText("TYER", v); }

  // --- events (sender: this engine) ---
  // Handed to the tag with every read and write of its frames.
  TID3EngineFrameNotify OnFrameDecrypt;
  TID3EngineFrameNotify OnFrameEncrypt;
  TNotifyEvent OnEraseTag;
  TNotifyEvent OnFileClose;
  TNotifyEvent OnFileOpen;
  TNotifyEvent OnReadTag;
  TNotifyEvent OnWriteTag;

 protected:
  // The file operations the engine opens, renames and deletes files with: the platform's
  // unless a derived engine hands in others.
  void SetFileSystem(std::shared_ptr<TFileSystem> value);
  // Replaces what the last read recorded: a derived engine may mark the tag as read in part.
  void SetReadReport(const TTagReadReport& value) { FReadReport = value; }
  // The open file's size; 0 while inactive.
  int64_t FileSize() const;

 private:
  // Where the blocks behind the audio stand in the file of `size` bytes read through `stream`,
  // none below `floor`: in a file open for reading only, found once and kept with what its
  // reads fetched.
  TTrailerPlaces LocatedTrailers(TStream& stream, int64_t size, int64_t floor);

  // The ID3v1 trailer the file ends in, field by field, whether or not the tag has frames of
  // its own; none when the file ends in none (the end of an ID3v2 tag is not taken for one),
  // or while inactive.
  std::optional<TID3v1Trailer> ReadID3V1Trailer();
  // Hands the options to the file side, before it opens or changes the file.
  void ApplyOptions();
  // Opens the file; false (the report saying why) when it does not exist.
  bool OpenFile();
  void ClearTag();
  // Finds the tag and reads it (through the reader), or imports the ID3v1 trailer.
  void LoadTag();
  // Tag writing (through the writer).
  void SaveTag();
  void RemoveTag(const std::vector<TFileRange>& trailers = {});
  // The writer of the tag into the open file, with this engine's choices.
  TTagWriter Writer();

  bool FWriteID3V1 = false;
  bool FID3V1Imported = false;  // the frames are the trailer's import as the viewer shows it
  TTagPlace FPlace;
  // The file side: the open file and all that touches it and its neighbours.
  std::unique_ptr<TTagFile> FFile;
  TID3Tag FTag;
  TTagReadReport FReadReport;
  TEngineOptions FOptions;
  bool FFullID3TagSeek = false;
  bool FReadOnly = false;
};

}  // namespace tagscope
