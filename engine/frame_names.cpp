#include "tagscope/engine/frame_names.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

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

std::string_view FrameName(std::string_view id) {
  // Both lists in one table, by ID, once: a dump asks for every frame's name.
  static const std::vector<std::pair<std::string, std::string>> names = [] {
    std::vector<std::pair<std::string, std::string>> rows(kMoreNames.begin(), kMoreNames.end());
    for (const std::string& row : FrameNames()) {
      const size_t eq = row.find('=');
      rows.emplace_back(row.substr(0, eq), row.substr(eq + 1));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return rows;
  }();
  const auto it =
      std::lower_bound(names.begin(), names.end(), id,
                       [](const auto& row, std::string_view key) { return row.first < key; });
  return it != names.end() && it->first == id ? std::string_view(it->second) : id;
}

}  // namespace tagscope
