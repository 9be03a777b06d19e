#include "tagscope/engine/id3_frames.h"

#include <algorithm>
#include <utility>

#include "tagscope/rtl/exception.h"

namespace tagscope {

TID3Frames::TID3Frames(TID3Engine*) {}

TID3Frames_Item& TID3Frames::Add() {
  // Room for a usual tag's frames at once, not grown one by one.
  if (FItems.empty()) FItems.reserve(16);
  FItems.push_back(std::make_unique<TID3Frames_Item>(this));
  return *FItems.back();
}

TID3Frames_Item& TID3Frames::Items(int index) {
  if (index < 0 || index >= Count())
    throw Exception(Format("List index out of bounds (%d)", index));
  return *FItems[static_cast<size_t>(index)];
}

const TID3Frames_Item& TID3Frames::Items(int index) const {
  return const_cast<TID3Frames*>(this)->Items(index);
}

TID3Frames_Item* TID3Frames::FindFrame(std::string_view id) {
  return const_cast<TID3Frames_Item*>(std::as_const(*this).FindFrame(id));
}

const TID3Frames_Item* TID3Frames::FindFrame(std::string_view id) const {
  for (const auto& item : FItems)
    if (item->HasID(id)) return item.get();
  return nullptr;
}

TID3Frames_Item* TID3Frames::FindFrame(std::string_view id, int index) {
  return const_cast<TID3Frames_Item*>(std::as_const(*this).FindFrame(id, index));
}

const TID3Frames_Item* TID3Frames::FindFrame(std::string_view id, int index) const {
  if (index < 0 || id.size() > 4) return nullptr;
  std::array<char, 4> wanted{};
  std::copy(id.begin(), id.end(), wanted.begin());
  // Continue from the last hit when this asks for the next one (or the same one again).
  size_t at = 0;
  int found = 0;
  if (FCursor.id == wanted && FCursor.index >= 0 && FCursor.index <= index) {
    at = FCursor.position;
    found = FCursor.index;
  }
  for (; at < FItems.size(); ++at) {
    if (!FItems[at]->HasID({wanted.data(), wanted.size()})) continue;
    if (found == index) {
      FCursor = {wanted, index, at};
      return FItems[at].get();
    }
    ++found;
  }
  return nullptr;
}

int TID3Frames::CountOf(std::string_view id) const {
  int count = 0;
  for (const auto& item : FItems)
    if (item->HasID(id)) ++count;
  return count;
}

void TID3Frames::Delete(int index) {
  Items(index);  // raises for an index out of bounds
  FItems.erase(FItems.begin() + index);
  IDChanged();
}

void TID3Frames::Clear() {
  FItems.clear();
  IDChanged();
}

void TID3Frames::Assign(const TID3Frames& source) {
  if (&source == this) return;
  Clear();
  for (const auto& item : source.FItems) Add().Assign(*item);
}

// Here, beside the list, as the list keeps an index of its items by ID.
void TID3Frames_Item::SetID(std::string_view value) {
  std::array<char, 4> id{};
  std::copy_n(value.begin(), std::min<size_t>(value.size(), 4), id.begin());
  if (id == FName) return;
  FName = id;
  if (FCollection) FCollection->IDChanged();
}

}  // namespace tagscope
