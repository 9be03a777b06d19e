#include "tagscope/engine/shown_fields.h"

#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/genre.h"
#include "tagscope/engine/id3_frame_item.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

std::string ResolveGenreReference(const std::string& contentType) {
  // Only a short reference standing alone: "(17)Rock" and "(017)" are shown as written.
  const auto reference = FindGenreReference(contentType);
  if (!reference || reference->Begin != 0 || reference->End != contentType.size() ||
      contentType.size() > 5 || (contentType.size() == 5 && contentType[1] == '0'))
    return contentType;
  const auto genre = TGenre::FromNumber(reference->Number);
  return genre ? genre->Text() : contentType;
}

std::string ShownGenre(const TID3Tag& tag) {
  std::string genre = tag.GenreUtf8();
  if (genre.empty()) genre = ResolveGenreReference(tag.GetFrameTextUtf8("TCON"));
  return genre;
}

std::string ShownYear(const TID3Tag& tag) {
  std::string year = tag.YearUtf8();
  if (year.empty()) year = Utf8Prefix(tag.GetFrameTextUtf8("TDRC"), 4);
  return year;
}

void SetShownYear(TID3Tag& tag, const std::string& year) {
  for (const char* id : {"TYER", "TDAT", "TIME", "TDRC"}) DeleteFrames(tag, id);
  tag.SetFrameTextUtf8(tag.Header().VersionNumber() >= 4 ? "TDRC" : "TYER", year);
}

std::vector<std::string> TextValues(const TID3Tag& tag, std::string_view id) {
  const TID3Frames_Item* item = tag.Frames().FindFrame(id);
  if (!item) return {};
  const TFrameValue value = DecodeFrameContent(*item, tag.Header().VersionNumber());
  const TFrameField* text = value.Find("text");
  if (!text || text->Type != TFieldType::ftTextList) return {item->AsTextUtf8()};
  std::vector<std::string> values;
  for (const std::string& v : text->Texts)
    if (!v.empty()) values.push_back(v);
  return values;
}

}  // namespace tagscope
