// set --ape-to-id3: the APE tag's items into the ID3v2 tag, and the APE tag out of the file.
#include "cli/ape_move.h"

#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

bool MoveApeTag(TID3Engine& engine, bool force, std::ostream& out) {
  const TTrailerTags t = ReadTrailerTags(engine);
  if (!t.Ape.Present) return false;
  // Its items could be anything where its place is not proven, and it could not be cut.
  if (!t.Ape.Damage.empty())
    throw EConvertError(Format("The APE tag of \"%s\" is damaged (%s): not moved, not cut",
                               engine.FileName().c_str(), t.Ape.Damage.c_str()));
  if (!t.Ape.Problem.empty() && !force)
    throw EConvertError(
        Format("The APE tag of \"%s\" is damaged (%s): not moved (--force moves "
               "what was read)",
               engine.FileName().c_str(), t.Ape.Problem.c_str()));
  std::vector<std::string> left;
  const std::vector<TApeMove> moves = MoveApeToId3(engine.Tag(), t.Ape, left);
  std::string lost;
  for (const TApeMove& m : moves)
    if (m.Kept) lost += (lost.empty() ? "" : ", ") + m.Key + " (" + m.Frame + " differs)";
  for (const std::string& key : left) lost += (lost.empty() ? "" : ", ") + key + " (no place)";
  if (!lost.empty() && !force)
    throw EConvertError(
        Format("Moving the APE tag of \"%s\" would lose %s: nothing changed "
               "(--force keeps the ID3v2 values and drops the rest)",
               engine.FileName().c_str(), lost.c_str()));
  for (const TApeMove& m : moves)
    out << "APE " << EscapeForTerminal(m.Key) << " -> " << EscapeForTerminal(m.Frame) << ": "
        << EscapeForTerminal(m.Value) << (m.Kept ? " (not taken: the tag's value stays)" : "")
        << "\n";
  // The tag's write cuts the APE tag in the same change.
  engine.Options().dropApeTag = true;
  return true;
}

}  // namespace tagscope::cli
