// Puts a crafted journal beside a file and lets a writer's recovery loose on it. The input is a
// flags byte, a two-byte length, the file's bytes, then the journal's bytes. Unless the flags
// say otherwise the journal is made to look the part: its identity replaced by the file's,
// its mark set and its checksum made right, so that the checks behind them are reached; a
// copy journal's new content is put beside the file under the name its digits give, and the
// file is written after the journal, as a writer writes it (or, flag 4, left with the time of
// change the journal records, as a power cut can leave it). Flag 8 marks the file as a writer
// does during a change: with the journal's nonce where the journal has one, else with what the
// input's last bytes make of a mark.
// Whatever the journal says, recovery must end (applied, moved aside or refused) without
// crashing, leave no journal under the name, and leave the file either as it was, or as the
// new content beside it, or rolled back within the few bytes an in-place change can add.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "engine/file/change_mark.h"
#include "engine/file/journal_format.h"
#include "engine/file/tag_journal.h"
#include "engine/frames/stream_helpers.h"
#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace {

using namespace tagscope;
namespace fs = std::filesystem;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "journal_recovery_fuzz: invariant failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

const fs::path& Folder() {
  static const fs::path folder =
      fs::path(GetTempDir()) / ("tagscope-journal-fuzz-" + std::to_string(::getpid()) + "-" +
                                std::to_string(std::random_device{}()));
  return folder;
}

void Put(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Get(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The journal with the file's identity, the mark and a checksum that checks; and where
// `changed` is given, that as the file's time of change the change found.
std::string LookThePart(const std::string& journal, const std::string& identity,
                        std::optional<int64_t> changed) {
  if (journal.size() < 14) return journal;
  const uint64_t length = TByteReader(journal).BEAt(10, 4);
  if (length > journal.size() - 14) return journal;
  std::string out(journal::kMagic, sizeof journal::kMagic);
  out += journal::kMarked;
  out += journal[9];
  uint8_t b[4];
  WritePlainBE(b, 4, identity.size());
  out.append(reinterpret_cast<const char*>(b), 4);
  out += identity;
  out += journal.substr(14 + length);
  const size_t changedAt = 14 + identity.size() + 8;
  if (changed && out.size() >= changedAt + 8) {
    uint8_t time[8];
    WritePlainBE(time, 8, static_cast<uint64_t>(*changed));
    out.replace(changedAt, 8, reinterpret_cast<const char*>(time), 8);
  }
  std::string summed = out;
  summed.erase(journal::kMarkAt, 1);
  WritePlainBE(b, 4, journal::Checksum(summed.data(), summed.size()));
  out.append(reinterpret_cast<const char*>(b), 4);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const uint8_t flags = data[0];
  const size_t fileLength = std::min<size_t>(TByteReader(input).BEAt(1, 2), size - 3);
  const std::string original = input.substr(3, fileLength);
  std::string journalBytes = input.substr(3 + fileLength);

  fs::create_directories(Folder());
  const std::string name = (Folder() / "song.mp3").string();
  Put(name, original);
  const std::string journalName = TTagJournal::NameFor(name);
  std::string newContent;
  {
    TFileStream file(name, TFileMode::fmOpenReadWrite);
    // The journal records the file's time of change as it stands, as a journal does whose file
    // lost its new time of change in a power cut (with flag 4, it keeps it).
    std::optional<int64_t> changed;
    TFileFacts facts;
    if (file.Describe(facts)) changed = facts.changed;
    if (!(flags & 1)) journalBytes = LookThePart(journalBytes, file.Identity(), changed);
    Put(journalName, journalBytes);
    if (flags & 8) {
      const std::optional<journal::TRecord> record = journal::Decode(journalBytes);
      const std::string value = record && !record->nonce.empty()
                                    ? std::string("TSCM1") + '\0' + record->nonce
                                    : input.substr(input.size() - std::min<size_t>(size, 40));
      file.SetAttribute(TChangeMark::kAttribute, value);
    }
    // A copy journal's new content: the file's bytes turned around, under the digits it names.
    const size_t digitsAt = 14 + file.Identity().size() + 24;
    if (!(flags & 2) && journalBytes.size() >= digitsAt + 8 && journalBytes[9] == 'C') {
      const std::string digits = journalBytes.substr(digitsAt, 8);
      if (beside::ValidDigits(digits)) {
        newContent.assign(original.rbegin(), original.rend());
        newContent += input.substr(0, flags >> 4);
        Put(beside::TempName(name, digits), newContent);
      }
    }
    // As a writer does, the file is written after its journal was made; unless the flags say
    // otherwise, when the journal stands as if put back from elsewhere.
    if (!(flags & 4)) Put(name, original);
    try {
      const std::shared_ptr<TFileSystem> files = PlatformFileSystem();
      const TBeside place(*files, files->OpenFolder(Folder().string()), "song.mp3");
      TTagJournal::Recover(place, file);
    } catch (const Exception&) {
      // Refused: a failure the user is told of.
    }
  }
  const std::string after = Get(name);
  const bool asBefore = after == original;
  const bool copied = !newContent.empty() && after == newContent;
  const bool rolledBack = after.size() <= original.size() && after.size() + 128 >= original.size();
  Check(asBefore || copied || rolledBack, "the file changed beyond what a journal may do");
  Check(!NameTaken(journalName), "the journal's name is still taken after recovery");
  std::error_code ignored;
  fs::remove_all(Folder(), ignored);
  return 0;
}
