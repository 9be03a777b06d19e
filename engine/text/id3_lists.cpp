#include "tagscope/engine/id3_lists.h"

#include "tagscope/engine/genre.h"

namespace tagscope {

const std::vector<std::string>& Genres() {
  static const std::vector<std::string> genres = [] {
    std::vector<std::string> list;
    for (int number = 0; number < TGenre::Count; ++number)
      list.push_back(TGenre::FromNumber(number)->Text());
    return list;
  }();
  return genres;
}

}  // namespace tagscope
