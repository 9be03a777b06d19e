// Finding the texts of a tag that were read in the wrong character set, and repairing them.
#include "tagscope/engine/text_repair.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "engine/text_script.h"
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

bool HoldsTexts(const std::string& id) {
  return (id.size() == 4 && id[0] == 'T') || id == "COMM" || id == "USLT";
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

bool AllAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0; });
}

// The single bytes behind a text as read: the stored bytes of a text marked as ISO-8859-1
// or as UTF-8 that is not; the characters of a text that holds only ISO-8859-1 characters,
// as some taggers converted a misread text to Unicode. None for other texts.
std::optional<std::string> BytesBehind(std::string_view stored, uint8_t encoding,
                                       const std::string& read) {
  if (encoding == teISO88591 || (encoding == teUTF8 && !IsValidUtf8(stored)))
    return std::string(stored);
  if (!FitsLatin1(read)) return std::nullopt;
  return Utf8ToLatin1(read);
}

// One text that may need repair.
struct TCandidate {
  size_t item;        // index into the plan's list of texts
  std::string bytes;  // the single bytes behind it
  bool misread;       // reads wrong as it stands
};

struct TText {
  std::string where;
  std::string read;  // as it reads now
  int frame = -1;
  int part = 0;
};

// The character sets looked for: the ones old software wrote tags in.
constexpr const char* kCharsets[] = {"WINDOWS-1251", "KOI8-R",  "WINDOWS-1250", "WINDOWS-1252",
                                     "SHIFT_JIS",    "GB18030", "BIG5",         "CP949"};

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

// Whether a text has letters of a script other than Latin.
bool LooksNonLatin(std::string_view utf8) {
  for (size_t at = 0; at < utf8.size();) {
    const TScript script = ClassOf(NextUtf8(utf8, at)).script;
    if (script != TScript::scNone && script != TScript::scLatin) return true;
  }
  return false;
}

struct TTrial {
  bool passes = false;
  int oddity = 0;
  std::vector<std::optional<std::string>> repaired;  // by candidate
};

// What each candidate reads as in the set. A text that reads wrong must read right in it; one
// that reads right is changed only into a script other than Latin, or when the set is forced.
TTrial Try(const std::vector<TCandidate>& candidates, const std::vector<TText>& texts,
           const std::string& charset, bool forced) {
  TTrial t;
  t.passes = true;
  for (const TCandidate& c : candidates) {
    std::string utf8;
    const bool clean =
        CharsetToUtf8(c.bytes, charset, utf8) && PlausibleText(utf8) && utf8 != texts[c.item].read;
    const bool stillMisread = clean && FitsLatin1(utf8) && LooksMisread(Utf8ToLatin1(utf8));
    bool take = clean && !stillMisread;
    if (c.misread && !take && !forced) t.passes = false;
    if (!c.misread && take && !forced) take = !FitsLatin1(utf8) && LooksNonLatin(utf8);
    if (take) t.oddity += TextOddity(utf8);
    t.repaired.push_back(take ? std::optional<std::string>(utf8) : std::nullopt);
  }
  return t;
}

}  // namespace

TTextRepairPlan PlanTextRepairs(const TID3Tag& tag, const std::vector<TLooseText>& loose,
                                std::string_view from) {
  std::vector<TText> texts;
  std::vector<std::string> behind;  // the bytes behind each text, empty when none
  const TID3Frames& frames = tag.Frames();
  for (int i = 0; i < frames.Count(); ++i) {
    const TID3Frames_Item& frame = frames.Items(i);
    const std::string id = frame.Name();
    if (!HoldsTexts(id) || frame.Encrypted() || !frame.PayloadRead()) continue;
    const auto f = SplitFrame(id, frame.Payload());
    if (!f) continue;
    for (size_t p = 0; p < f->parts.size(); ++p) {
      const std::string read = DecodeTextUtf8(f->parts[p], f->encoding);
      const bool description = p == 0 && (id == "TXXX" || id == "COMM" || id == "USLT");
      texts.push_back({id + (description ? " description" : ""), read, i, static_cast<int>(p)});
      behind.push_back(BytesBehind(f->parts[p], f->encoding, read).value_or(std::string()));
    }
  }
  for (const TLooseText& l : loose) {
    texts.push_back({l.Where, Latin1ToUtf8(l.Bytes)});
    behind.push_back(l.Bytes);
  }
  TTextRepairPlan plan;
  auto add = [&](size_t item, const std::string& repaired, const std::string& charset) {
    const TText& t = texts[item];
    plan.Repairs.push_back({t.where, t.read, repaired, charset, t.frame, t.part});
  };
  const bool forced = !from.empty();
  std::vector<TCandidate> candidates;
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string& b = behind[i];
    if (AllAscii(b)) continue;
    // UTF-8 bytes read one by one: nothing else forms UTF-8's sequences by chance.
    if (!forced && IsValidUtf8(b)) {
      if (PlausibleText(b) && b != texts[i].read) add(i, b, "UTF-8");
      continue;
    }
    candidates.push_back({i, b, LooksMisread(b)});
  }
  const bool anyMisread = std::any_of(candidates.begin(), candidates.end(),
                                      [](const TCandidate& c) { return c.misread; });
  if (candidates.empty() || (!forced && !anyMisread)) return plan;
  // The sets to try: the one forced; else the detector's for all texts together, first, then
  // the others looked for, the likeliest reading winning.
  std::vector<std::string> sets;
  if (forced) {
    sets.emplace_back(from);
  } else {
    std::string all;
    for (const TCandidate& c : candidates) all += c.bytes + "\n";
    const std::string detected = Looked(DetectCharset(all));
    if (!detected.empty()) sets.push_back(detected);
    for (const char* set : kCharsets)
      if (set != detected) sets.emplace_back(set);
  }
  std::optional<TTrial> best;
  std::string bestSet;
  for (size_t s = 0; s < sets.size(); ++s) {
    TTrial t = Try(candidates, texts, sets[s], forced);
    if (!t.passes) continue;
    // The detector's choice stands when it reads every text right.
    if (s == 0 || !best || t.oddity < best->oddity) {
      best = std::move(t);
      bestSet = sets[s];
    }
    if (s == 0) break;
  }
  if (!best) return plan;
  plan.Charset = bestSet;
  for (size_t c = 0; c < candidates.size(); ++c)
    if (best->repaired[c]) add(candidates[c].item, *best->repaired[c], bestSet);
  return plan;
}

int ApplyTextRepairs(TID3Tag& tag, const TTextRepairPlan& plan) {
  const uint8_t encoding = tag.Header().VersionNumber() >= 4 ? teUTF8 : teUTF16;
  int changed = 0;
  for (int i = 0; i < tag.Frames().Count(); ++i) {
    std::vector<const TTextRepair*> mine;
    for (const TTextRepair& r : plan.Repairs)
      if (r.Frame == i) mine.push_back(&r);
    if (mine.empty()) continue;
    TID3Frames_Item& frame = tag.Frames().Items(i);
    const auto f = SplitFrame(frame.Name(), frame.Payload());
    if (!f) continue;
    std::vector<std::string> texts;
    bool lossless = true;
    for (size_t p = 0; p < f->parts.size(); ++p) {
      texts.push_back(DecodeTextUtf8(f->parts[p], f->encoding));
      for (const TTextRepair* r : mine)
        if (r->Part == static_cast<int>(p)) texts.back() = r->New;
      // A string left as it is must come through the new encoding unchanged.
      if (texts.back().find("\xEF\xBF\xBD") != std::string::npos) lossless = false;
    }
    if (!lossless) continue;
    const std::string payload = Rendered(*f, texts, encoding);
    frame.Data().SetSize(0);
    frame.Data().WriteString(payload);
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

std::vector<TLooseText> ID3v1LooseTexts(std::string_view t) {
  std::vector<TLooseText> texts;
  if (t.size() != 128 || t.substr(0, 3) != "TAG") return texts;
  const std::pair<const char*, std::pair<size_t, size_t>> fields[] = {{"ID3v1 title", {3, 30}},
                                                                      {"ID3v1 artist", {33, 30}},
                                                                      {"ID3v1 album", {63, 30}},
                                                                      {"ID3v1 comment", {97, 28}}};
  for (const auto& [name, place] : fields) {
    std::string_view text = t.substr(place.first, place.second);
    text = text.substr(0, text.find('\0'));
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty()) texts.push_back({name, std::string(text)});
  }
  return texts;
}

}  // namespace tagscope
