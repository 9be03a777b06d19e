#include "engine/tag_writer.h"

#include <algorithm>
#include <array>

#include "engine/file_replace.h"
#include "engine/id3_engine.h"
#include "engine/id3_layout.h"
#include "engine/stream_helpers.h"
#include "engine/undo_stream.h"
#include "engine/unsync.h"
#include "rtl/exception.h"

namespace tagscope {

namespace {

constexpr int64_t kHeaderSize = id3::HeaderSize;  // also the footer's
constexpr int64_t kMaxTagSize = id3::MaxTagSize;

// Lets the engine's own operations write through another stream for a while.
class TStreamRedirect {
 public:
  TStreamRedirect(std::unique_ptr<TStream>& slot, TStream& target)
      : FSlot(slot), FSaved(std::move(slot)) {
    FSlot = std::make_unique<TStreamRef>(target);
  }
  ~TStreamRedirect() { FSlot = std::move(FSaved); }
  TStreamRedirect(const TStreamRedirect&) = delete;
  TStreamRedirect& operator=(const TStreamRedirect&) = delete;

 private:
  std::unique_ptr<TStream>& FSlot;
  std::unique_ptr<TStream> FSaved;
};

}  // namespace

void TTagImage::WriteTo(TStream& stream) const {
  stream.WriteString(head);
  static const std::array<char, 4096> zeros{};
  for (int64_t left = padding; left > 0;) {
    const int64_t n = std::min<int64_t>(left, zeros.size());
    stream.WriteBuffer(zeros.data(), n);
    left -= n;
  }
  stream.WriteString(footer);
}

void TTagWriter::CheckWritable() const {
  if (E.FReadOnly) throw EWriteError(SReadOnlyFile);
}

void TTagWriter::Save() {
  CheckWritable();
  const uint8_t readVersion = E.FHeader->VersionNumber();
  const uint8_t readRevision = E.FHeader->VersionRevision();
  // An ID3v2.2 tag, its frames read with their four-character equivalents, is written as
  // ID3v2.3.
  if (readVersion == 2) DropUnconvertedFrames();
  const uint8_t version = readVersion == 2 ? 3 : readVersion;
  // Frames with four-character IDs exist only in versions 3 and 4.
  if (version != 3 && version != 4)
    throw EWriteError(Format("ID3v2.%d tags cannot be written", version));
  // Readers take a frame ID that is not one for the start of the padding: every frame after
  // it would be lost.
  for (int i = 0; i < E.FFrames->Count(); ++i) {
    const std::string id = E.FFrames->Items(i).Name();
    if (!ValidFrameID(id))
      throw EWriteError(
          Format("Frame %d has no valid frame ID (\"%s\"); the tag is not written", i, id.c_str()));
  }
  const TRecord before = Record();
  try {
    E.FHeader->SetVersionNumber(version);
    if (version != readVersion) E.FHeader->SetVersionRevision(0);
    WriteNewTag(version);
  } catch (const std::exception& e) {
    // The file holds its old content: so does the record, unless the engine had to let go.
    if (E.Active()) Restore(before);
    E.FHeader->SetVersionNumber(readVersion);
    E.FHeader->SetVersionRevision(readRevision);
    throw EWriteError(Format("Cannot write the tag of \"%s\". %s", E.FFileName.c_str(), e.what()));
  }
}

void TTagWriter::WriteNewTag(uint8_t version) {
  TMemoryStream frames;
  E.FFrames->WriteFrames(frames, version);
  FFrames = frames.Bytes();
  const bool footer = E.FHeader->FooterPresent();
  const TTagImage image = Compose(footer ? 0 : std::max<int64_t>(E.FPadding, 0));
  // The old tag's bytes are reused only when the new tag covers them all: no byte of it may
  // stay between the new tag and the audio, and none past it may be touched.
  const int64_t extent = E.FTagSize;
  std::optional<TTagImage> fitted;
  if (extent > 0 && image.Length() == extent)
    fitted = image;
  else if (extent > 0 && image.Length() < extent && !footer)
    fitted = FillExtent(image, extent);
  if (fitted)
    WriteInPlace(*fitted);
  else
    Rewrite(image);
}

void TTagWriter::DropUnconvertedFrames() {
  // Frames that kept their three-character ID have no equivalent in later versions.
  std::string names;
  for (int i = 0; i < E.FFrames->Count(); ++i) {
    const std::string id = E.FFrames->Items(i).Name();
    if (id.size() == 3 && names.find(id) == std::string::npos)
      names += (names.empty() ? "" : ", ") + id;
  }
  if (names.empty()) return;
  if (!E.FForceWrite)
    throw EWriteError(
        Format("The ID3v2.2 tag is written as ID3v2.3, which has no frame for %s; "
               "the tag is not written unless the write is forced, which drops them",
               names.c_str()));
  for (int i = E.FFrames->Count() - 1; i >= 0; --i)
    if (E.FFrames->Items(i).Name().size() == 3) E.FFrames->Delete(i);
}

TTagWriter::TRecord TTagWriter::Record() const {
  return {E.FTagOffset, E.FTagSize, E.FPadding, E.FHeader->Size()};
}

void TTagWriter::Restore(const TRecord& record) {
  E.FTagOffset = record.offset;
  E.FTagSize = record.size;
  E.FPadding = record.padding;
  E.FHeader->SetSize(record.headerSize);
}

void TTagWriter::Remove() {
  CheckWritable();
  if (E.FHeader->Size() <= 0 || E.FTagSize <= 0) return;
  try {
    TFileReplacement replacement(*E.FFileSystem, E.FFileName);
    CopyOutsideTag(replacement.Stream());
    Replace(replacement);
  } catch (const std::exception& e) {
    throw EWriteError(Format("Cannot erase the tag of \"%s\". %s", E.FFileName.c_str(), e.what()));
  }
  // The file holds no tag now; the frames and header flags stay for a later write.
  E.FTagOffset = 0;
  E.FTagSize = 0;
  E.FHeader->SetSize(-1);
}

std::string TTagWriter::ExtendedHeaderBytes(const std::string& written, int64_t padding) const {
  if (E.FHeader->VersionNumber() != 3) return written.substr(kHeaderSize);
  // Version 3 has its own layout: a size that leaves out its own four bytes, two flag bytes
  // (0x8000: a CRC follows), the padding size, the CRC.
  const TID3ExtendedHeader& ext = E.FHeader->ExtendedHeader();
  const bool crc = ext.CRCDataPresent();
  uint8_t bytes[14];
  WritePlainBE(bytes, 4, crc ? 10 : 6);
  WritePlainBE(bytes + 4, 2, crc ? 0x8000 : 0);
  WritePlainBE(bytes + 6, 4, static_cast<uint64_t>(padding));
  WritePlainBE(bytes + 10, 4, ext.CRCData() & 0xFFFFFFFF);
  return std::string(reinterpret_cast<const char*>(bytes), crc ? 14 : 10);
}

TTagImage TTagWriter::Compose(int64_t padding) const {
  TID3Header& header = *E.FHeader;
  TMemoryStream written;
  header.SaveToStream(written, false);
  TTagImage image;
  image.head = written.Bytes().substr(0, kHeaderSize);
  std::string body = header.ExtendedHeaderPresent() ? ExtendedHeaderBytes(written.Bytes(), padding)
                                                    : std::string();
  body += FFrames;
  // Versions 2 and 3 unsynchronise everything after the header; version 4 does it per frame.
  if (header.Unsynchronisation() && header.VersionNumber() < 4) body = ApplyUnsynchronisation(body);
  const int64_t size = static_cast<int64_t>(body.size()) + padding;
  if (size > kMaxTagSize)
    throw EWriteError(Format("The tag is too large: %lld bytes, an ID3v2 tag holds at most %lld",
                             static_cast<long long>(size), static_cast<long long>(kMaxTagSize)));
  auto* sizeField = reinterpret_cast<uint8_t*>(image.head.data() + 6);
  WriteSyncSafeBE(sizeField, 4, static_cast<uint64_t>(size));
  image.head += body;
  image.padding = padding;
  if (header.FooterPresent()) {
    TMemoryStream footer;
    header.SaveToStream(footer, true);
    image.footer = footer.Bytes();
    WriteSyncSafeBE(reinterpret_cast<uint8_t*>(image.footer.data() + 6), 4,
                    static_cast<uint64_t>(size));
  }
  return image;
}

std::optional<TTagImage> TTagWriter::FillExtent(const TTagImage& image, int64_t extent) const {
  // The padding size that a version 3 extended header records may change the length of the
  // unsynchronised bytes; a few rounds settle it.
  int64_t padding = image.padding + extent - image.Length();
  for (int round = 0; round < 4; ++round) {
    if (padding < 0 || static_cast<int64_t>(image.head.size()) + padding > kMaxTagSize)
      return std::nullopt;
    TTagImage filled = Compose(padding);
    if (filled.Length() == extent) return filled;
    padding += extent - filled.Length();
  }
  return std::nullopt;
}

void TTagWriter::NoteWritten(const TTagImage& image, int64_t offset) {
  E.FTagOffset = offset;
  E.FTagSize = image.Length();
  E.FPadding = image.padding;
  E.FHeader->SetSize(image.Length() - kHeaderSize - static_cast<int64_t>(image.footer.size()));
}

void TTagWriter::WriteInPlace(const TTagImage& image) {
  TUndoStream journal(*E.FStream);
  journal.ChangeOrRollBack(
      [&] {
        NoteWritten(image, E.FTagOffset);
        journal.SetPosition(E.FTagOffset);
        image.WriteTo(journal);
        WriteTrailer(journal);
        journal.Flush();
      },
      "tag");
}

void TTagWriter::Rewrite(const TTagImage& image) {
  TFileReplacement replacement(*E.FFileSystem, E.FFileName);
  TStream& out = replacement.Stream();
  image.WriteTo(out);
  CopyOutsideTag(out);
  // A tag that does not fit moves to the front, before whatever stood before the old one.
  NoteWritten(image, 0);
  WriteTrailer(out);
  Replace(replacement);
}

void TTagWriter::CopyOutsideTag(TStream& out) {
  TStream& in = *E.FStream;
  const int64_t size = in.Size();
  const int64_t tagStart = std::clamp<int64_t>(E.FTagOffset, 0, size);
  const int64_t tagEnd = std::clamp<int64_t>(tagStart + E.FTagSize, tagStart, size);
  if (tagStart > 0) {
    in.SetPosition(0);
    CopyStreamData(in, out, tagStart);
  }
  if (tagEnd < size) {
    in.SetPosition(tagEnd);
    CopyStreamData(in, out, size - tagEnd);
  }
}

void TTagWriter::WriteTrailer(TStream& stream) {
  if (!E.FWriteID3V1) return;
  TStreamRedirect redirect(E.FStream, stream);
  E.SaveID3V1();
}

void TTagWriter::Replace(TFileReplacement& replacement) {
  replacement.Stream().Flush();
  // The engine lets go of the old file first: some platforms refuse to replace an open file.
  E.FStream.reset();
  try {
    replacement.Commit();
  } catch (const std::exception& e) {
    try {
      E.FStream = E.FFileSystem->Open(E.FFileName, TFileMode::fmOpenReadWrite);
    } catch (const std::exception& reopening) {
      E.ClearTag();
      throw EWriteError(Format("%s. The file is unchanged but could not be opened again: %s",
                               e.what(), reopening.what()));
    }
    throw;
  }
  E.FStream = replacement.TakeStream();
}

}  // namespace tagscope
