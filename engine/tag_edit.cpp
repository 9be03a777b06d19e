#include "tagscope/engine/tag_edit.h"

#include <functional>

#include "tagscope/engine/id3_engine.h"

namespace tagscope {

namespace {

using TFrameMatch = std::function<bool(TID3Frames_Item&)>;

// The payload of a frame that is given new content: whatever it was stored with (encryption
// that no handler undid) no longer applies.
void Fill(TID3Frames_Item& item, const std::string& payload) {
  item.SetEncrypted(false);
  item.SetKeptAsStored(false);
  item.Data().SetBytes(payload);
  item.Data().SetPosition(0);
}

// Removes the frames with the ID that match; returns how many there were.
int RemoveMatching(TID3Frames& frames, std::string_view id, const TFrameMatch& match) {
  int removed = 0;
  for (int i = frames.Count() - 1; i >= 0; --i) {
    TID3Frames_Item& item = frames.Items(i);
    if (!item.HasID(id) || !match(item)) continue;
    frames.Delete(i);
    ++removed;
  }
  return removed;
}

// The payload goes into the first frame that matches, which stays where it is; the other
// matching frames go. An empty payload removes them all.
void Replace(TID3Engine& engine, std::string_view id, const TFrameMatch& match,
             const std::string& payload) {
  if (!engine.Active()) return;
  TID3Frames& frames = engine.Frames();
  TID3Frames_Item* kept = nullptr;
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    if (item.HasID(id) && match(item) && kept == nullptr && !payload.empty()) {
      kept = &item;
      ++i;
    } else if (item.HasID(id) && match(item)) {
      frames.Delete(i);
    } else {
      ++i;
    }
  }
  if (payload.empty()) return;
  if (kept == nullptr) {
    kept = &frames.Add();
    kept->SetName(id);
  }
  Fill(*kept, payload);
}

uint8_t Version(TID3Engine& engine) {
  return engine.Header().VersionNumber();
}

}  // namespace

int DeleteFrames(TID3Engine& engine, std::string_view id) {
  return RemoveMatching(engine.Frames(), id, [](TID3Frames_Item&) { return true; });
}

void SetPicture(TID3Engine& engine, const TID3Picture& picture, std::string_view data) {
  Replace(
      engine, "APIC",
      [&](TID3Frames_Item& item) {
        size_t offset = 0;
        const TID3Picture old = ParsePicture(item.Data().Bytes(), offset);
        const bool icon = picture.PictureType == 1 || picture.PictureType == 2;
        return old.PictureType == picture.PictureType &&
               (icon || old.DescriptionUtf8 == picture.DescriptionUtf8);
      },
      BuildPictureUtf8(picture.MimeType, picture.PictureType, picture.DescriptionUtf8, data,
                       Version(engine)));
}

int DeletePictures(TID3Engine& engine, int pictureType) {
  return RemoveMatching(engine.Frames(), "APIC", [&](TID3Frames_Item& item) {
    size_t offset = 0;
    return pictureType < 0 || ParsePicture(item.Data().Bytes(), offset).PictureType == pictureType;
  });
}

void SetUserText(TID3Engine& engine, const std::string& description, const std::string& text) {
  Replace(
      engine, "TXXX",
      [&](TID3Frames_Item& item) {
        return ParseUserText(item.Data().Bytes()).DescriptionUtf8 == description;
      },
      text.empty() ? std::string() : BuildUserTextUtf8(description, text, Version(engine)));
}

void SetUserURL(TID3Engine& engine, const std::string& description, const std::string& url) {
  Replace(
      engine, "WXXX",
      [&](TID3Frames_Item& item) {
        return ParseURL(item.Data().Bytes()).DescriptionUtf8 == description;
      },
      url.empty() ? std::string() : BuildUserURLUtf8(description, url, Version(engine)));
}

void SetLinkFrames(TID3Engine& engine, std::string_view id, const std::vector<std::string>& urls) {
  if (!engine.Active()) return;
  DeleteFrames(engine, id);
  for (const std::string& url : urls) {
    if (url.empty()) continue;
    TID3Frames_Item& item = engine.Frames().Add();
    item.SetName(id);
    Fill(item, url);
  }
}

}  // namespace tagscope
