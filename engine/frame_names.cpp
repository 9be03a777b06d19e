#include "tagscope/engine/frame_names.h"

#include <algorithm>
#include <array>
#include <utility>

#include "tagscope/engine/id3_lists.h"

namespace tagscope {

namespace {

// The IDs the published frame-name list leaves out, sorted.
constexpr std::array<std::pair<std::string_view, std::string_view>, 34> kMoreNames = {{
    {"AENC", "Audio encryption"},
    {"APIC", "Attached picture"},
    {"ASPI", "Audio seek point index"},
    {"CHAP", "Chapter"},
    {"COMR", "Commercial frame"},
    {"CTOC", "Table of contents"},
    {"ENCR", "Encryption method registration"},
    {"EQUA", "Equalisation"},
    {"GRID", "Group identification registration"},
    {"GRP1", "Grouping"},
    {"IPLS", "Involved people list"},
    {"MVIN", "Movement number"},
    {"MVNM", "Movement name"},
    {"OWNE", "Ownership frame"},
    {"PCST", "Podcast"},
    {"POSS", "Position synchronisation frame"},
    {"RVAD", "Relative volume adjustment"},
    {"SEEK", "Seek frame"},
    {"TCAT", "Podcast category"},
    {"TCMP", "Compilation"},
    {"TDAT", "Date"},
    {"TDES", "Podcast description"},
    {"TGID", "Podcast identifier"},
    {"TIME", "Time"},
    {"TKWD", "Podcast keywords"},
    {"TORY", "Original release year"},
    {"TRDA", "Recording dates"},
    {"TSIZ", "Size"},
    {"TSO2", "Album artist sort order"},
    {"TSOC", "Composer sort order"},
    {"WFED", "Podcast feed"},
    {"XRVA", "Relative volume adjustment (2)"},
    {"XSOA", "Album sort order"},
    {"XSOP", "Performer sort order"},
}};
static_assert(std::is_sorted(kMoreNames.begin(), kMoreNames.end()));

}  // namespace

std::string FrameName(std::string_view id) {
  const auto it =
      std::lower_bound(kMoreNames.begin(), kMoreNames.end(), id,
                       [](const auto& row, std::string_view key) { return row.first < key; });
  if (it != kMoreNames.end() && it->first == id) return std::string(it->second);
  std::string name = FrameDisplayName(std::string(id));
  return name.empty() ? std::string(id) : name;
}

}  // namespace tagscope
