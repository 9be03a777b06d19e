// Finding the texts of a tag that were read in the wrong character set, and repairing them.
#include "tagscope/engine/text_repair.h"

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <map>
#include <optional>

#include "engine/edits/text_repair_slots.h"
#include "engine/text/text_repair_reading.h"
#include "engine/text/text_script.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/charset.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// The strings of a frame that holds texts, as stored: its encoding, the bytes before the
// strings (a comment's language) and the strings themselves, split at their terminators.
struct TFrameStrings {
  uint8_t encoding = 0;
  std::string head;
  std::vector<std::string> parts;
};

// The frames whose payload is an encoding and strings split at terminators (a comment's and
// lyrics' language before them); the texts of other frames are reached through their content.
bool HoldsTexts(const std::string& id) {
  return (id.size() == 4 && id[0] == 'T') || id == "COMM" || id == "USLT" || id == "IPLS";
}

std::optional<TFrameStrings> SplitFrame(const std::string& id, std::string_view payload) {
  if (payload.empty() || static_cast<uint8_t>(payload[0]) > teUTF8) return std::nullopt;
  TFrameStrings f;
  f.encoding = static_cast<uint8_t>(payload[0]);
  size_t at = 1;
  const bool comment = id == "COMM" || id == "USLT";
  if (comment) {
    if (payload.size() < 4) return std::nullopt;
    f.head.assign(payload.substr(1, 3));
    at = 4;
  }
  for (;;) {
    // Split at every terminator, a text's own last one too: joined again, the strings give the
    // payload back as it was.
    const size_t end = FindTerminator(payload, at, f.encoding);
    if (end == std::string_view::npos) {
      f.parts.emplace_back(payload.substr(at));
      return f;
    }
    f.parts.emplace_back(payload.substr(at, end - at));
    at = end + TerminatorWidth(f.encoding);
  }
}

std::string Rendered(const TFrameStrings& f, const std::vector<std::string>& texts,
                     uint8_t encoding) {
  std::string payload(1, static_cast<char>(encoding));
  payload += f.head;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i) payload += Terminator(encoding);
    // An empty string is its terminator alone, without a byte-order mark.
    if (!texts[i].empty()) payload += EncodeText(texts[i], encoding);
  }
  return payload;
}

// The single bytes behind a text as read: the stored bytes of a text marked as ISO-8859-1
// or as UTF-8 that is not; the bytes of a text that holds only characters a WINDOWS-1252 (or
// ISO-8859-1) reading gives, as some taggers converted a misread text to Unicode. None for
// other texts.
std::optional<std::string> BytesBehind(std::string_view stored, uint8_t encoding,
                                       const std::string& read) {
  if (encoding == teISO88591 || (encoding == teUTF8 && !IsValidUtf8(stored)))
    return std::string(stored);
  return Cp1252Bytes(read);
}

struct TText {
  std::string where;
  std::string read;   // as it reads now
  std::string bytes;  // the single bytes behind it; empty when none
  int frame = -1;
  int part = 0;
};

// The character sets looked for: the ones old software wrote tags in. Of two readings that
// read alike, the one of the set named first is taken.
constexpr const char* kCharsets[] = {"WINDOWS-1252", "WINDOWS-1250", "WINDOWS-1251", "KOI8-R",
                                     "SHIFT_JIS",    "GB18030",      "BIG5",         "CP949"};

// The detector's name for a set, as the converter takes it; empty for a set not looked for.
std::string Looked(const std::string& detected) {
  static const std::pair<const char*, const char*> names[] = {{"WINDOWS-1251", "WINDOWS-1251"},
                                                              {"KOI8-R", "KOI8-R"},
                                                              {"WINDOWS-1250", "WINDOWS-1250"},
                                                              {"ISO-8859-2", "WINDOWS-1250"},
                                                              {"WINDOWS-1252", "WINDOWS-1252"},
                                                              {"ISO-8859-1", "WINDOWS-1252"},
                                                              {"ISO-8859-15", "WINDOWS-1252"},
                                                              {"SHIFT_JIS", "SHIFT_JIS"},
                                                              {"GB18030", "GB18030"},
                                                              {"GB2312", "GB18030"},
                                                              {"GBK", "GB18030"},
                                                              {"BIG5", "BIG5"},
                                                              {"EUC-KR", "CP949"},
                                                              {"UHC", "CP949"},
                                                              {"CP949", "CP949"}};
  for (const auto& [name, set] : names)
    if (SameTextAscii(name, detected)) return set;
  return std::string();
}

// UTF-8 bytes read one by one, once or more (a misread text saved as UTF-8 and misread again):
// the text they were, or none when they are no UTF-8 beyond ASCII.
std::optional<std::string> Utf8Behind(const std::string& bytes) {
  if (IsAscii(bytes) || !IsValidUtf8(bytes)) return std::nullopt;
  std::string text = bytes;
  for (int round = 0; round < 3; ++round) {
    const auto again = Cp1252Bytes(text);
    if (!again || IsAscii(*again) || !IsValidUtf8(*again) || *again == text) break;
    if (!PlausibleText(*again)) break;
    text = *again;
  }
  return text;
}

// One reading of a text's bytes in a set.
struct TReading {
  std::string text;
  std::string charset;
  int oddity = kImplausible;
  int rank = 0;  // the set's place in the order of preference
};

bool Better(const TReading& a, const TReading& b) {
  return a.oddity != b.oddity ? a.oddity < b.oddity : a.rank < b.rank;
}

// The sets in the order of preference: those given first (empty ones skipped), then the sets
// looked for.
std::vector<std::string> SetOrder(std::initializer_list<std::string> preferred) {
  std::vector<std::string> sets;
  for (const std::string& s : preferred)
    if (!s.empty() && std::find(sets.begin(), sets.end(), s) == sets.end()) sets.push_back(s);
  for (const char* s : kCharsets)
    if (std::find(sets.begin(), sets.end(), s) == sets.end()) sets.emplace_back(s);
  return sets;
}

// The likeliest reading of a text's bytes in the sets, none when none reads as text.
std::optional<TReading> BestReading(const TText& t, const std::vector<std::string>& sets) {
  std::optional<TReading> best;
  for (size_t s = 0; s < sets.size(); ++s) {
    TReading r;
    if (!CharsetToUtf8(t.bytes, sets[s], r.text) || r.text == t.read) continue;
    r.charset = sets[s];
    r.oddity = ReadingOddity(r.text);
    if (r.oddity >= kImplausible) continue;
    r.oddity += SignRuns(r.text) + SpacedIdeographs(r.text) + ByteRarity(t.bytes, sets[s]);
    r.rank = static_cast<int>(s);
    if (!best || Better(r, *best)) best = std::move(r);
  }
  return best;
}

// The texts of the tag's frames, each with the bytes behind it.
std::vector<TText> TagTexts(const TID3Tag& tag) {
  std::vector<TText> texts;
  const uint8_t version = tag.Header().VersionNumber();
  const TID3Frames& frames = tag.Frames();
  for (int i = 0; i < frames.Count(); ++i) {
    const TID3Frames_Item& frame = frames.Items(i);
    const std::string id = frame.Name();
    if (frame.Encrypted() || !frame.PayloadRead()) continue;
    if (!HoldsTexts(id)) {
      int part = 0;
      for (const TTextSlot& slot : ContentTextSlots(id, frame.Payload(), version)) {
        // Decoded from single bytes, the text gives them back; else as a tagger's reading left it.
        const auto bytes = slot.encoding == teISO88591 ? std::optional(Utf8ToLatin1(slot.read))
                                                       : Cp1252Bytes(slot.read);
        texts.push_back({slot.where, slot.read, bytes.value_or(""), i, part++});
      }
      continue;
    }
    const auto f = SplitFrame(id, frame.Payload());
    if (!f) continue;
    for (size_t p = 0; p < f->parts.size(); ++p) {
      const std::string read = DecodeTextUtf8(f->parts[p], f->encoding);
      const bool description = p == 0 && (id == "TXXX" || id == "COMM" || id == "USLT");
      texts.push_back({id + (description ? " description" : ""), read,
                       BytesBehind(f->parts[p], f->encoding, read).value_or(std::string()), i,
                       static_cast<int>(p)});
    }
  }
  return texts;
}

// How a text reads as it stands.
int OddityAsItStands(std::string_view utf8) {
  const int oddity = ReadingOddity(utf8);
  return oddity >= kImplausible ? oddity : oddity + 2 * MisreadRuns(utf8);
}

// A repair is taken when it reads clearly better than the text as it stands.
constexpr int kClearlyBetter = 2;

}  // namespace

TTextRepairPlan PlanTextRepairs(const TID3Tag& tag, const std::vector<TLooseText>& loose,
                                std::string_view from) {
  std::vector<TText> texts = TagTexts(tag);
  for (const TLooseText& l : loose) texts.push_back({l.Where, Latin1ToUtf8(l.Bytes), l.Bytes});
  TTextRepairPlan plan;
  // The repairs by the text's place, which is the order they are given in.
  std::map<size_t, TTextRepair> repairs;
  auto add = [&](const TText& t, const std::string& repaired, const std::string& charset) {
    repairs[static_cast<size_t>(&t - texts.data())] = {t.where, t.read,  repaired,
                                                       charset, t.frame, t.part};
  };
  auto done = [&] {
    for (auto& [place, repair] : repairs) plan.Repairs.push_back(std::move(repair));
    return plan;
  };
  if (!from.empty()) {
    // Every text read in the set named, where it reads as text there.
    plan.Charset = std::string(from);
    for (const TText& t : texts) {
      std::string utf8;
      if (IsAscii(t.bytes) || !CharsetToUtf8(t.bytes, from, utf8) || utf8 == t.read) continue;
      if (!PlausibleText(utf8) || (FitsLatin1(utf8) && LooksMisread(Utf8ToLatin1(utf8)))) continue;
      add(t, utf8, std::string(from));
    }
    return done();
  }
  // Each text is weighed on its own: a repair is taken where it reads clearly better than the
  // text as it stands. Between readings that read alike, the set most other texts of the file
  // were repaired from wins, then the detector's for all texts, then its for the text.
  std::string all;
  for (const TText& t : texts)
    if (!IsAscii(t.bytes) && !IsValidUtf8(t.bytes)) all += t.bytes + "\n";
  const std::string forFile = all.empty() ? std::string() : Looked(DetectCharset(all));
  std::vector<const TText*> misread, doubtful;  // doubtful: reads right alone
  std::map<std::string, int> votes;
  for (const TText& t : texts) {
    if (IsAscii(t.bytes)) continue;
    // UTF-8's sequences do not form by chance.
    if (const auto utf8 = Utf8Behind(t.bytes)) {
      if (PlausibleText(*utf8) && *utf8 != t.read) add(t, *utf8, "UTF-8");
      continue;
    }
    const auto best = BestReading(t, SetOrder({forFile, Looked(DetectCharset(t.bytes))}));
    if (best && best->oddity + kClearlyBetter <= OddityAsItStands(t.read)) {
      misread.push_back(&t);
      ++votes[best->charset];
    } else {
      doubtful.push_back(&t);
    }
  }
  std::string fileSet;
  for (const auto& [set, count] : votes)
    if (fileSet.empty() || count > votes[fileSet] || (count == votes[fileSet] && set == forFile))
      fileSet = set;
  plan.Charset = fileSet;
  for (const TText* t : misread) {
    const auto best =
        BestReading(*t, SetOrder({fileSet, forFile, Looked(DetectCharset(t->bytes))}));
    add(*t, best->text, best->charset);
  }
  // A text too short to show its own set is read in one the file's other texts were written
  // in, when that gives letters of another script alone ("Äà" beside "Ìàøèíà âðåìåíè").
  std::vector<std::string> voted;
  for (const auto& [set, count] : votes) voted.push_back(set);
  std::stable_sort(voted.begin(), voted.end(), [&](const std::string& a, const std::string& b) {
    return votes[a] > votes[b] || (votes[a] == votes[b] && a == fileSet);
  });
  for (const TText* t : doubtful) {
    std::optional<TReading> best;
    for (size_t s = 0; s < voted.size(); ++s) {
      const auto r = BestReading(*t, {voted[s]});
      if (r && NonLatinLettersOnly(r->text) && (!best || r->oddity < best->oddity)) best = r;
    }
    if (best && best->oddity <= OddityAsItStands(t->read)) add(*t, best->text, best->charset);
  }
  return done();
}

std::string LikeliestCharset(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string();
  // No reading stands: every set's is weighed, the detector's first among equals.
  const TText text{"", "", std::string(bytes)};
  const auto best = BestReading(text, SetOrder({Looked(DetectCharset(bytes))}));
  return best ? best->charset : std::string();
}

int ApplyTextRepairs(TID3Tag& tag, const TTextRepairPlan& plan) {
  const uint8_t version = tag.Header().VersionNumber();
  const uint8_t encoding = version >= 4 ? teUTF8 : teUTF16;
  int changed = 0;
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    std::map<int, std::string> mine;
    for (const TTextRepair& r : plan.Repairs)
      if (r.Frame == i) mine[r.Part] = r.New;
    if (mine.empty()) continue;
    TID3Frames_Item& frame = tag.Frames().Items(i);
    const std::string id = frame.Name();
    std::optional<std::string> payload;
    if (HoldsTexts(id)) {
      if (const auto f = SplitFrame(id, frame.Payload())) {
        std::vector<std::string> texts;
        bool lossless = true;
        for (size_t p = 0; p < f->parts.size(); ++p) {
          const auto repaired = mine.find(static_cast<int>(p));
          texts.push_back(repaired != mine.end() ? repaired->second
                                                 : DecodeTextUtf8(f->parts[p], f->encoding));
          // A string left as it is must come through the new encoding unchanged.
          if (texts.back().find("\xEF\xBF\xBD") != std::string::npos) lossless = false;
        }
        if (lossless) payload = Rendered(*f, texts, encoding);
      }
    } else {
      payload = RenderContentTexts(id, frame.Payload(), version, mine, encoding);
    }
    if (!payload) continue;
    frame.Data().SetSize(0);
    frame.Data().WriteString(*payload);
    frame.Data().SetPosition(0);
    ++changed;
  }
  return changed;
}

int RecodeSingleByteTexts(TID3Tag& tag, std::string_view charset) {
  return charset.empty() ? 0 : ApplyTextRepairs(tag, PlanTextRepairs(tag, {}, charset));
}

std::string SingleByteText(std::string_view bytes, std::string_view charset) {
  std::string utf8;
  if (!charset.empty() && CharsetToUtf8(bytes, charset, utf8)) return utf8;
  return Latin1ToUtf8(bytes);
}

}  // namespace tagscope
