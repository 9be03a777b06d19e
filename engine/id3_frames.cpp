#include "engine/id3_frames.h"

#include "rtl/exception.h"

namespace tagscope {

TID3Frames::TID3Frames(TID3Engine* engine) : FEngine(engine) {}

TID3Frames_Item& TID3Frames::Add() {
  FItems.push_back(std::make_unique<TID3Frames_Item>());
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
  for (auto& item : FItems)
    if (item->HasID(id)) return item.get();
  return nullptr;
}

void TID3Frames::Delete(int index) {
  Items(index);
  FItems.erase(FItems.begin() + index);
}

void TID3Frames::Clear() {
  FItems.clear();
}

void TID3Frames::Assign(const TID3Frames& source) {
  if (&source == this) return;
  Clear();
  for (const auto& item : source.FItems) Add().Assign(*item);
}

}  // namespace tagscope
