#include "engine/tag_writer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "engine/file/file_replace.h"
#include "engine/file/tag_file.h"
#include "engine/frames/stream_helpers.h"
#include "engine/tag/content_kind.h"
#include "engine/tag/extended_header_bytes.h"
#include "engine/tag/id3_layout.h"
#include "engine/tag/unsync.h"
#include "engine/trailers/id3v1_tag.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

constexpr int64_t kHeaderSize = id3::HeaderSize;  // also the footer's
constexpr int64_t kMaxTagSize = id3::MaxTagSize;
// The least padding a tag that outgrew its place gets, so that the next edits fit in place.
constexpr int64_t kMinPadding = 1024;

}  // namespace

TTagWriter::TTagWriter(TTagFile& file, TID3Tag& tag, TTagPlace& place, TTagWriteOptions options)
    : F(file), T(tag), FPlace(place), FOptions(std::move(options)) {}

void TTagWriter::CheckWritable() const {
  if (FOptions.readOnly)
    throw EWriteError(Format("Cannot change \"%s\": %s", F.Name().c_str(), SReadOnlyFile));
}

void TTagWriter::CheckReadInFull(const char* operation) const {
  const TTagReadReport& report = FOptions.report;
  if (report.complete || FOptions.force) return;
  throw EWriteRefused(Format(
      "Refusing to %s the tag of \"%s\": the tag could not be read in full (%s), and the parts "
      "that were not read would be lost. Nothing was changed; a forced write goes ahead anyway",
      operation, F.Name().c_str(), report.problem.c_str()));
}

void TTagWriter::CheckContent(const char* operation) {
  if (FOptions.force) return;
  const std::string kind = ForeignContentOf(F.Stream(), 0);
  if (kind.empty()) return;
  throw EWriteRefused(
      Format("Refusing to %s \"%s\": by its content it is %s, not MP3. Nothing was changed; a "
             "forced write goes ahead anyway",
             operation, F.Name().c_str(), kind.c_str()));
}

void TTagWriter::CheckFrameCount() const {
  // A read stops at the limit: a frame past it would be lost to every later read, and a forced
  // write after that would drop it for good.
  const int count = T.Frames().Count();
  if (count <= MaxFrameCount) return;
  throw EWriteError(
      Format("Cannot write the tag of \"%s\": it would hold %d frames, and a tag is read as "
             "far as its %dth frame only; nothing was changed",
             F.Name().c_str(), count, MaxFrameCount));
}

int64_t TTagWriter::OldExtent() {
  const TRecord record = Record();
  const TTagPlace& place = record.place;
  const TTagReadReport& report = FOptions.report;
  if (report.complete || place.size <= 0) return place.size;
  // A tag that claims to run past the file's end ends, as far as anyone knows, where the read
  // stopped making sense of it: what follows may be audio.
  const int64_t declaredEnd = place.offset + kHeaderSize + T.Header().Size() +
                              (T.Header().FooterPresent() ? kHeaderSize : 0);
  TStream& file = F.Stream();
  const int64_t fileSize = file.Size();
  if (declaredEnd <= fileSize || report.accountedEnd <= place.offset) return place.size;
  int64_t end = std::min(report.accountedEnd, fileSize);
  // Bytes after the frames count as the tag's padding only as far as they are zero: what
  // follows may be the audio that the header's size runs into.
  int64_t at = std::max(place.offset + place.size - record.padding, place.offset + kHeaderSize);
  if (at < end) {
    file.SetPosition(at);
    std::array<char, 4096> buffer;
    for (int64_t n;
         at < end && (n = file.Read(buffer.data(), std::min<int64_t>(end - at, 4096))) > 0;) {
      const auto nonzero =
          std::find_if(buffer.begin(), buffer.begin() + n, [](char c) { return c != 0; });
      at += nonzero - buffer.begin();
      if (nonzero != buffer.begin() + n) break;
    }
    end = std::min(end, at);
  }
  return end - place.offset;
}

void TTagWriter::Save(const std::vector<TFileRange>& trailers) {
  CheckWritable();
  CheckReadInFull("write");
  const uint8_t readVersion = T.Header().VersionNumber();
  const uint8_t readRevision = T.Header().VersionRevision();
  // An ID3v2.2 tag, its frames read with their four-character equivalents, is written as
  // ID3v2.3.
  if (readVersion == 2) DropUnconvertedFrames();
  CheckFrameCount();
  CheckContent("write the tag of");
  const uint8_t version = readVersion == 2 ? 3 : readVersion;
  // Frames with four-character IDs exist only in versions 3 and 4.
  if (version != 3 && version != 4)
    throw EWriteError(Format("Cannot write the tag of \"%s\": ID3v2.%d tags cannot be written",
                             F.Name().c_str(), version));
  // Readers take a frame ID that is not one for the start of the padding: every frame after
  // it would be lost.
  const std::vector<std::string> ids = FrameIDs();
  for (size_t i = 0; i < ids.size(); ++i)
    if (!ValidFrameID(ids[i]))
      throw EWriteError(
          Format("Cannot write the tag of \"%s\": frame %d has no valid frame ID "
                 "(\"%s\"); nothing was changed",
                 F.Name().c_str(), static_cast<int>(i), ids[i].c_str()));
  const TRecord before = Record();
  try {
    WriteNewTag(version, trailers);
  } catch (const std::exception& e) {
    // The file holds its old content: so does the record, unless the engine had to let go.
    SetRecord(before);
    T.Header().SetVersionNumber(readVersion);
    T.Header().SetVersionRevision(readRevision);
    throw EWriteError(Format("Cannot write the tag of \"%s\". %s", F.Name().c_str(), e.what()));
  }
}

void TTagWriter::DropUnconvertedFrames() {
  // Frames that kept their three-character ID have no equivalent in later versions.
  const std::vector<std::string> ids = FrameIDs();
  std::string names;
  for (const std::string& id : ids)
    if (id.size() == 3 && names.find(id) == std::string::npos)
      names += (names.empty() ? "" : ", ") + id;
  if (names.empty()) return;
  if (!FOptions.force)
    throw EWriteRefused(
        Format("Cannot write the tag of \"%s\": the ID3v2.2 tag is written as "
               "ID3v2.3, which has no frame for %s; the tag is not written unless "
               "the write is forced, which drops them",
               F.Name().c_str(), names.c_str()));
  for (int i = static_cast<int>(ids.size()) - 1; i >= 0; --i)
    if (ids[i].size() == 3) T.Frames().Delete(i);
}

void TTagWriter::WriteNewTag(uint8_t version, const std::vector<TFileRange>& trailers) {
  const TTagLayout layout = T.Layout(version, FOptions.encrypt);
  const TRecord old = Record();
  const bool footer = T.Header().FooterPresent();
  const int64_t extent = OldExtent();
  // Of the padding read, only what lies within the extent kept counts.
  const int64_t oldPadding = std::clamp<int64_t>(extent - (old.place.size - old.padding), 0,
                                                 std::max<int64_t>(old.padding, 0));
  const int64_t wanted = footer              ? 0
                         : T.PaddingChosen() ? std::max<int64_t>(old.padding, 0)
                                             : oldPadding;
  // Padding the program asked for is kept; the padding the file had gives way to growth.
  const bool chosen = T.PaddingChosen();
  const int64_t least = chosen ? wanted : 0;
  const TTagImage image = layout.Image(least);
  // The old tag's bytes are reused only when the new tag covers them all: no byte of it may
  // stay between the new tag and the audio, and none past it may be touched.
  std::optional<TTagImage> fitted;
  if (extent > 0 && image.Length() == extent)
    fitted = image;
  else if (extent > 0 && image.Length() < extent && !footer)
    fitted = layout.Fill(image, extent);
  // Runs to cut make the file anew: a change in place cannot shorten it.
  if (fitted && trailers.empty()) {
    WriteInPlace(*fitted);
    return;
  }
  if (fitted) {
    Rewrite(*fitted, extent, trailers);
    return;
  }
  // A tag that outgrew its place takes room for the next edits with it.
  // The room is taken only as far as the header can count it: a tag just below its size limit
  // is written without.
  const int64_t room = kMaxTagSize - (static_cast<int64_t>(image.head.size()) - kHeaderSize);
  const int64_t padding = !footer && !chosen && old.place.size > 0
                              ? std::max(wanted, std::min(kMinPadding, room))
                              : wanted;
  Rewrite(padding == least ? image : layout.Image(padding), extent, trailers);
}

TTagWriter::TRecord TTagWriter::Record() const {
  return {FPlace, T.Padding(), T.Header().Size()};
}

void TTagWriter::SetRecord(const TRecord& record) {
  FPlace = record.place;
  T.RecordPadding(record.padding);
  T.Header().SetSize(record.headerSize);
}

std::vector<std::string> TTagWriter::FrameIDs() const {
  std::vector<std::string> ids;
  for (int i = 0; i < T.Frames().Count(); ++i) ids.push_back(T.Frames().Items(i).Name());
  return ids;
}

void TTagWriter::WriteTrailer(TStream& file, int64_t tagEnd) {
  if (FOptions.id3v1) PutTrailer(file, tagEnd);
}

void TTagWriter::PutTrailer(TStream& file, int64_t tagEnd) {
  PutID3v1(file, tagEnd, RenderID3v1(T));
}

void TTagWriter::SaveID3v1() {
  CheckWritable();
  CheckContent("write an ID3v1 trailer to");
  // Under a journal beside the file, as every change in place: whatever fails, and wherever
  // the process stops, the file ends with its old trailer or its new one.
  const int64_t tagEnd = FPlace.offset + FPlace.size;
  try {
    // Where no journal can be made beside the file, a new file is written beside it instead,
    // which needs none.
    if (!F.ChangeInPlace([&](TStream& file) { PutTrailer(file, tagEnd); }))
      F.Replace([&](TStream& out) {
        CopyContent(F.Stream(), out, F.Stream().Size());
        PutTrailer(out, tagEnd);
      });
  } catch (const std::exception& e) {
    throw EWriteError(
        Format("Cannot write the ID3v1 trailer of \"%s\". %s", F.Name().c_str(), e.what()));
  }
}

void TTagWriter::RemoveID3v1(const TFileRange& trailer) {
  CheckWritable();
  CheckContent("remove the ID3v1 trailer of");
  F.CutEnd(trailer.Offset);
}

void TTagWriter::NoteWritten(const TTagImage& image, int64_t offset) {
  SetRecord({{offset, image.Length()},
             image.padding,
             image.Length() - kHeaderSize - static_cast<int64_t>(image.footer.size())});
}

void TTagWriter::WriteInPlace(const TTagImage& image) {
  const int64_t offset = FPlace.offset;
  const bool done = F.ChangeInPlace([&](TStream& file) {
    file.SetPosition(offset);
    image.WriteTo(file);
    WriteTrailer(file, offset + image.Length());
  });
  // Where no journal can be made beside the file, the new file is written beside it instead,
  // which needs none.
  if (!done) {
    Rewrite(image, image.Length());
    return;
  }
  NoteWritten(image, offset);
}

void TTagWriter::Rewrite(const TTagImage& image, int64_t extent,
                         const std::vector<TFileRange>& trailers) {
  const int64_t known = F.Stream().Size();
  const std::vector<TFileRange> cuts = Cuts(trailers, FPlace.offset + extent);
  F.Replace([&](TStream& out) {
    image.WriteTo(out);
    CopyOutsideTag(out, extent, known, cuts);
    // A tag that does not fit moves to the front, before whatever stood before the old one.
    WriteTrailer(out, image.Length());
  });
  NoteWritten(image, 0);
}

void TTagWriter::CopyOutsideTag(TStream& out, int64_t extent, int64_t known,
                                const std::vector<TFileRange>& cuts) {
  TStream& in = F.Stream();
  const int64_t size = in.Size();
  // Under the lock nothing that asks for one changes the file; a program that does not ask may
  // have cut it short, and what it cut is not copied as if it were the file.
  auto shrank = [&](int64_t now) {
    return EReadError(
        Format("\"%s\" shrank from %lld bytes to %lld while it was being "
               "written (another program changed it without a lock)",
               F.Name().c_str(), static_cast<long long>(known), static_cast<long long>(now)));
  };
  if (size < known) throw shrank(size);
  const int64_t tagStart = std::clamp<int64_t>(FPlace.offset, 0, size);
  const int64_t tagEnd = std::clamp<int64_t>(tagStart + extent, tagStart, size);
  // A file with holes keeps them: its runs of zero bytes are skipped, not written.
  TFileFacts facts;
  const bool holes = in.Describe(facts) && facts.allocated >= 0 && facts.allocated < facts.size;
  try {
    CopyRange(in, out, 0, tagStart, holes);
    int64_t at = tagEnd;
    for (const TFileRange& cut : cuts) {
      CopyRange(in, out, at, cut.Offset - at, holes);
      at = cut.Offset + cut.Size;
    }
    CopyRange(in, out, at, size - at, holes);
  } catch (const EReadError&) {
    const int64_t now = in.Size();
    if (now >= size) throw;
    throw shrank(now);
  }
  if (holes && out.Size() < out.Position()) out.SetSize(out.Position());
}

void TTagWriter::CopyRange(TStream& in, TStream& out, int64_t from, int64_t count, bool holes) {
  if (count <= 0) return;
  in.SetPosition(from);
  if (!holes) {
    CopyStreamData(in, out, count);
    return;
  }
  std::vector<char> buffer(64 << 10);
  for (int64_t left = count; left > 0;) {
    const int64_t n = in.Read(buffer.data(), std::min<int64_t>(left, buffer.size()));
    if (n <= 0) throw EReadError(SReadError);
    if (std::all_of(buffer.begin(), buffer.begin() + n, [](char c) { return c == 0; }))
      out.Seek(n, TSeekOrigin::soCurrent);
    else
      out.WriteBuffer(buffer.data(), n);
    left -= n;
  }
}

void TTagWriter::Remove(const std::vector<TFileRange>& trailers) {
  CheckWritable();
  const TRecord record = Record();
  const TTagPlace& place = record.place;
  const bool tag = T.Header().Size() > 0 && place.size > 0;
  if (tag) CheckReadInFull("erase");
  if (!tag && trailers.empty()) return;
  std::vector<TFileRange> cuts;
  try {
    const int64_t extent = tag ? OldExtent() : 0;
    const int64_t known = F.Stream().Size();
    cuts = Cuts(trailers, tag ? place.offset + extent : 0);
    if (!tag && cuts.empty()) return;
    CheckContent(tag ? "erase the tag of" : "cut the trailers of");
    if (tag)
      F.Replace([&](TStream& out) { CopyOutsideTag(out, extent, known, cuts); });
    else
      CutRuns(cuts);
  } catch (const EWriteRefused&) {
    throw;
  } catch (const std::exception& e) {
    throw EWriteError(Format("Cannot erase the tag of \"%s\". %s", F.Name().c_str(), e.what()));
  }
  // The file holds no tag now; the frames and header flags stay for a later write.
  if (tag) SetRecord({{0, 0}, record.padding, -1});
}

std::vector<TFileRange> TTagWriter::Cuts(std::vector<TFileRange> trailers, int64_t tagEnd) {
  const int64_t size = F.Stream().Size();
  std::erase_if(trailers, [](const TFileRange& r) { return r.Size == 0; });
  for (const TFileRange& r : trailers)
    if (r.Offset < tagEnd || r.Size < 0 || r.Offset > size - r.Size)
      throw EWriteError(Format("The %lld bytes at byte %lld to be cut lie %s",
                               static_cast<long long>(r.Size), static_cast<long long>(r.Offset),
                               r.Offset < tagEnd ? "within the tag" : "outside the file"));
  std::sort(trailers.begin(), trailers.end(),
            [](const TFileRange& a, const TFileRange& b) { return a.Offset < b.Offset; });
  std::vector<TFileRange> cuts;
  for (const TFileRange& r : trailers) {
    if (!cuts.empty() && r.Offset <= cuts.back().Offset + cuts.back().Size) {
      TFileRange& last = cuts.back();
      last.Size = std::max(last.Size, r.Offset + r.Size - last.Offset);
    } else {
      cuts.push_back(r);
    }
  }
  return cuts;
}

void TTagWriter::Cut(const std::vector<TFileRange>& trailers) {
  CheckWritable();
  const TRecord record = Record();
  const TTagPlace& place = record.place;
  try {
    const std::vector<TFileRange> cuts =
        Cuts(trailers, place.offset + std::max<int64_t>(place.size, 0));
    if (cuts.empty()) return;
    CheckContent("cut the trailers of");
    CutRuns(cuts);
  } catch (const EWriteRefused&) {
    throw;
  } catch (const std::exception& e) {
    throw EWriteError(Format("Cannot cut the blocks behind the audio out of \"%s\". %s",
                             F.Name().c_str(), e.what()));
  }
}

void TTagWriter::CutRuns(const std::vector<TFileRange>& cuts) {
  TStream& file = F.Stream();
  const int64_t size = file.Size();
  if (cuts.size() == 1 && cuts.front().Offset + cuts.front().Size == size) {
    F.CutEnd(cuts.front().Offset);
    return;
  }
  F.Replace([&](TStream& out) { CopyOutsideTag(out, 0, size, cuts); });
}

}  // namespace tagscope
