// Text frames, their lists of people and the user-defined text.
#include "engine/frames/text_frames.h"

namespace tagscope {

void ParseTextFrame(TFieldReader& r) {
  if (r.Encoding()) r.TextList("text");
}

void RenderTextFrame(TFieldWriter& w) {
  w.Encoding();
  w.TextList("text");
}

// A last role without its name keeps an empty name.
void ParsePeopleFrame(TFieldReader& r) {
  if (!r.Encoding()) return;
  const size_t at = r.Position();
  r.TextList("people");
  TFrameField& people = r.Last();
  std::vector<std::string> texts = std::move(people.Texts);
  people.Type = TFieldType::ftPairs;
  people.Texts.clear();
  if (texts.size() % 2 != 0) {
    texts.emplace_back();
    r.NoteAt(at, "its last role has no name");
  }
  for (size_t i = 0; i + 1 < texts.size(); i += 2)
    people.Pairs.emplace_back(std::move(texts[i]), std::move(texts[i + 1]));
}

void RenderPeopleFrame(TFieldWriter& w) {
  w.Encoding();
  w.Pairs("people");
}

// Its values are a list read as a text frame's are, after the description. A zero byte some
// writers put after the description's terminator is no value.
void ParseUserTextFrame(TFieldReader& r) {
  if (!r.Encoding() || !r.Text("description")) return;
  r.SkipExtraZero();
  r.TextList("text");
}

void RenderUserTextFrame(TFieldWriter& w) {
  w.Encoding();
  w.Text("description");
  w.ZeroBeforeList("text");
  w.TextList("text");
}

}  // namespace tagscope
