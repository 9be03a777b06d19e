#include "tagscope/engine/genre.h"

#include <algorithm>
#include <array>

#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {

// The one table of genre names, indexed by number; its spellings are the list's own.
constexpr std::array<std::string_view, TGenre::Count> kNames = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip - Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro - Techno",
    "Ambient",
    "Trip - Hop",
    "Vocal",
    "Jazz + Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno - Industrial",
    "Electronic",
    "Pop - Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop / Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo - Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    // The numbers from 80 on extend the list as players and taggers came to know it; their
    // names are spelt as those tools spell them.
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast-Fusion",
    "Bebop",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progressive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A Cappella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop",
    "Afro-Punk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Thrash Metal",
    "Anime",
    "JPop",
    "Synthpop",
    "Abstract",
    "Art Rock",
    "Baroque",
    "Bhangra",
    "Big Beat",
    "Breakbeat",
    "Chillout",
    "Downtempo",
    "Dub",
    "EBM",
    "Eclectic",
    "Electro",
    "Electroclash",
    "Emo",
    "Experimental",
    "Garage",
    "Global",
    "IDM",
    "Illbient",
    "Industro-Goth",
    "Jam Band",
    "Krautrock",
    "Leftfield",
    "Lounge",
    "Math Rock",
    "New Romantic",
    "Nu-Breakz",
    "Post-Punk",
    "Post-Rock",
    "Psytrance",
    "Shoegaze",
    "Space Rock",
    "Trop Rock",
    "World Music",
    "Neoclassical",
    "Audiobook",
    "Audio Theatre",
    "Neue Deutsche Welle",
    "Podcast",
    "Indie Rock",
    "G-Funk",
    "Dubstep",
    "Garage Rock",
    "Psybient",
};

// Other spellings of listed genres that tags and other taggers use, beyond those that differ in
// case, blanks or joining marks alone.
struct TAlias {
  int number;
  std::string_view name;
};
constexpr TAlias kAliases[] = {
    {40, "Alt. Rock"}, {40, "Alternative Rock"}, {59, "Gangsta Rap"},      {67, "Psychedelic"},
    {85, "Bebob"},     {123, "Acapella"},        {129, "Hardcore Techno"}, {133, "Worldbeat"},
};

// A name as names are compared: ASCII letters in lower case, blanks and the marks that join
// words ("-", "+", "/") left out. Other taggers write "Hip-Hop", "Jazz-Funk" and "Folk Rock"
// where the list has "Hip - Hop", "Jazz + Funk" and "Folk-Rock".
std::string Folded(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  for (const char c : name)
    if (c != ' ' && c != '-' && c != '+' && c != '/') folded.push_back(AsciiLower(c));
  return folded;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<TGenre> TGenre::FromNumber(int64_t number) {
  if (number < 0 || number >= Count) return std::nullopt;
  return TGenre(static_cast<int>(number));
}

std::optional<TGenre> TGenre::FromName(std::string_view name) {
  const std::string wanted = Folded(name);
  if (wanted.empty()) return std::nullopt;
  for (int number = 0; number < Count; ++number)
    if (Folded(kNames[static_cast<size_t>(number)]) == wanted) return TGenre(number);
  for (const TAlias& alias : kAliases)
    if (Folded(alias.name) == wanted) return TGenre(alias.number);
  return std::nullopt;
}

std::string TGenre::Name() const {
  return std::string(kNames[static_cast<size_t>(FNumber)]);
}

std::string TGenre::Text() const {
  return "(" + std::to_string(FNumber) + ") " + Name();
}

std::optional<TGenreReference> FindGenreReference(std::string_view text) {
  constexpr uint32_t kCap = 999999;
  for (size_t open = text.find('('); open != std::string_view::npos;
       open = text.find('(', open + 1)) {
    size_t at = open + 1;
    uint32_t number = 0;
    while (at < text.size() && IsDigit(text[at])) {
      number = std::min<uint32_t>(number * 10 + static_cast<uint32_t>(text[at] - '0'), kCap);
      ++at;
    }
    if (at > open + 1 && at < text.size() && text[at] == ')')
      return TGenreReference{number, open, at + 1};
  }
  return std::nullopt;
}

namespace {

// The name a reference's inside stands for ("17", "RX", "CR"); none for any other text.
std::optional<std::string> ReferenceName(std::string_view inside) {
  if (inside == "RX") return std::string("Remix");
  if (inside == "CR") return std::string("Cover");
  if (inside.empty() || inside.size() > 6 || !std::all_of(inside.begin(), inside.end(), IsDigit))
    return std::nullopt;
  int64_t number = 0;
  for (const char c : inside) number = number * 10 + (c - '0');
  const auto genre = TGenre::FromNumber(number);
  if (!genre) return std::nullopt;
  return genre->Name();
}

// One value's genres: its references by name, or the text that refines them.
void AddGenreNames(std::string_view value, std::vector<std::string>& names) {
  if (const auto whole = ReferenceName(value)) {
    names.push_back(*whole);
    return;
  }
  std::vector<std::string> referenced;
  size_t at = 0;
  while (at < value.size() && value[at] == '(' && value.substr(at, 2) != "((") {
    const size_t close = value.find(')', at);
    if (close == std::string_view::npos) break;
    const auto name = ReferenceName(value.substr(at + 1, close - at - 1));
    if (!name) break;
    referenced.push_back(*name);
    at = close + 1;
  }
  std::string_view rest = value.substr(at);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (rest.empty()) {
    names.insert(names.end(), referenced.begin(), referenced.end());
    return;
  }
  // "((" escapes a "(" that begins the text.
  if (rest.substr(0, 2) == "((") rest.remove_prefix(1);
  names.emplace_back(rest);
}

}  // namespace

std::vector<std::string> GenreNames(const std::vector<std::string>& contentTypeValues) {
  std::vector<std::string> names;
  for (const std::string& value : contentTypeValues) AddGenreNames(value, names);
  // "(17)(17)" or a list "17", "Rock" names one genre once.
  std::vector<std::string> once;
  for (std::string& name : names)
    if (std::find(once.begin(), once.end(), name) == once.end()) once.push_back(std::move(name));
  return once;
}

}  // namespace tagscope
