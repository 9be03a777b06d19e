#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

// A genre of the genre list: its number (0 to 191) and its name ("Rock"). The list is the one
// of the ID3v1 trailer's genre byte, which tags refer to as "(17)"; 255 is the byte's "none".
class TGenre {
 public:
  static constexpr int Count = 192;

  // The genre of a number; none outside the list.
  static std::optional<TGenre> FromNumber(int64_t number);
  // The genre whose name the text is, compared without regard to ASCII case, blanks or the
  // marks "-", "+" and "/", so that "hip-hop" is "Hip - Hop"; other taggers' spellings of a
  // listed genre ("Psychedelic" for "Psychadelic") are taken too. None when no name matches.
  static std::optional<TGenre> FromName(std::string_view name);

  int Number() const { return FNumber; }
  std::string Name() const;
  // The genre as the list spells it, number first: "(17) Rock".
  std::string Text() const;

  bool operator==(const TGenre&) const = default;

 private:
  explicit TGenre(int number) : FNumber(number) {}
  int FNumber;
};

// A genre reference in a text: "(" digits ")", as content types write "(17)" or "(17)Rock".
struct TGenreReference {
  uint32_t Number;  // numbers too large for the list are kept, up to a cap of 999999
  size_t Begin;     // where its "(" stands
  size_t End;       // just after its ")"
};

// The first genre reference in a text; none when the text holds no "(" digits ")".
std::optional<TGenreReference> FindGenreReference(std::string_view text);

// The genres a content type (TCON) names, by name: each reference "(17)" or, in an ID3v2.4
// list, a value "17" becomes its name ("Rock"); "(RX)" and "(CR)" become "Remix" and "Cover";
// a text after the references refines them and is taken instead of them ("(4)Eurodisco" is
// "Eurodisco"; "(17)Rock" is "Rock"); "((" stands for "(". A value of no reference stays as it is.
std::vector<std::string> GenreNames(const std::vector<std::string>& contentTypeValues);

}  // namespace tagscope
