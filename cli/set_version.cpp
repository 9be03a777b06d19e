// The frames `tagscope set` writes, fitted to the version of the tag they go into.
#include "cli/set_version.h"

#include <algorithm>

#include "tagscope/engine/version_change.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// The frame IDs the request sets, each once, in the order given, with the option that sets
// each.
std::vector<std::pair<std::string, std::string>> RequestedFrames(const TSetRequest& r) {
  std::vector<std::pair<std::string, std::string>> ids;
  auto add = [&](const std::string& id, const std::string& option) {
    if (std::none_of(ids.begin(), ids.end(), [&](const auto& p) { return p.first == id; }))
      ids.emplace_back(id, option);
  };
  for (const auto& [id, text] : r.texts) add(id, "--text " + id);
  for (const auto& [id, texts] : r.textLists) add(id, "--text " + id);
  for (const auto& [id, values] : r.frameTexts) add(id, "--frame " + id);
  if (!r.volumes.empty()) add("RVA2", "--volume");
  return ids;
}

std::string Refusal(const std::string& id, const std::string& option, int version,
                    const std::string& fileName) {
  const int other = version == 4 ? 3 : 4;
  const std::string what =
      version == 4 && (id == "TDAT" || id == "TIME")
          ? Format("%s (%s) has an ID3v2.4 form only with the year it belongs to (TYER)",
                   id.c_str(), option.c_str())
          : Format("%s (%s) is a frame that ID3v2.%d has no form for", id.c_str(), option.c_str(),
                   version);
  return Format(
      "%s, and the tag of \"%s\" is ID3v2.%d: give --id3v2.%d to write an ID3v2.%d tag, or "
      "--force to write the frame as it is",
      what.c_str(), EscapeForTerminal(fileName).c_str(), version, other, other);
}

}  // namespace

std::set<std::string> FramesToConvert(const TSetRequest& r, const TID3Engine& engine,
                                      const std::string& fileName,
                                      std::vector<std::string>& notes) {
  std::set<std::string> convert;
  if (!engine.Active()) return convert;
  const int version = std::max<int>(engine.Tag().Header().VersionNumber(), 3);
  const auto requested = RequestedFrames(r);
  // A day or time goes into the recording time with the year given, or the one it holds.
  const std::string date = engine.Tag().GetFrameText("TDRC");
  const bool year = std::any_of(requested.begin(), requested.end(),
                                [](const auto& p) { return p.first == "TYER"; }) ||
                    (date.size() >= 4 && std::all_of(date.begin(), date.begin() + 4,
                                                     [](char c) { return c >= '0' && c <= '9'; }));
  std::vector<std::string> kept;
  for (const auto& [id, option] : requested) {
    TVersionFit fit = FrameVersionFit(id, static_cast<uint8_t>(version));
    if (fit == TVersionFit::vfConverted && version == 4 && (id == "TDAT" || id == "TIME") && !year)
      fit = TVersionFit::vfMissing;
    if (fit == TVersionFit::vfConverted) convert.insert(id);
    if (fit == TVersionFit::vfKept) kept.push_back(id);
    if (fit == TVersionFit::vfMissing && !r.force)
      throw EConvertError(Refusal(id, option, version, fileName));
    if (fit == TVersionFit::vfMissing) kept.push_back(id);
  }
  if (!kept.empty()) {
    std::string ids;
    for (const std::string& id : kept) ids += (ids.empty() ? "" : ", ") + id;
    notes.push_back(
        Format("Note: %s written into the ID3v2.%d tag of \"%s\", whose version has "
               "no such frame%s",
               ids.c_str(), version, EscapeForTerminal(fileName).c_str(),
               r.force ? "" : ", as players write them"));
  }
  return convert;
}

}  // namespace tagscope::cli
