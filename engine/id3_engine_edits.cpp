// The engine's forms of the tag edits, the version change and the fields a reader is shown:
// the work is the tag's, done while a file is open.
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/version_change.h"

namespace tagscope {

// Removing frames has never waited for an open file.
int DeleteFrames(TID3Engine& engine, std::string_view id) {
  return DeleteFrames(engine.Tag(), id);
}

void SetPicture(TID3Engine& engine, const TID3Picture& picture, std::string_view data) {
  if (engine.Active()) SetPicture(engine.Tag(), picture, data);
}

int DeletePictures(TID3Engine& engine, int pictureType) {
  return DeletePictures(engine.Tag(), pictureType);
}

void SetUserText(TID3Engine& engine, const std::string& description, const std::string& text) {
  if (engine.Active()) SetUserText(engine.Tag(), description, text);
}

void SetUserURL(TID3Engine& engine, const std::string& description, const std::string& url) {
  if (engine.Active()) SetUserURL(engine.Tag(), description, url);
}

void SetLinkFrames(TID3Engine& engine, std::string_view id, const std::vector<std::string>& urls) {
  if (engine.Active()) SetLinkFrames(engine.Tag(), id, urls);
}

void SetTextValues(TID3Engine& engine, std::string_view id,
                   const std::vector<std::string>& values) {
  if (engine.Active()) SetTextValues(engine.Tag(), id, values);
}

void SetRating(TID3Engine& engine, const std::string& email, uint8_t rating,
               std::optional<uint64_t> count) {
  if (engine.Active()) SetRating(engine.Tag(), email, rating, count);
}

void SetComment(TID3Engine& engine, const std::string& description, const std::string& text,
                const std::string& language) {
  if (engine.Active()) SetComment(engine.Tag(), description, text, language);
}

void SetLyrics(TID3Engine& engine, const std::string& language, const std::string& description,
               const std::string& text) {
  if (engine.Active()) SetLyrics(engine.Tag(), language, description, text);
}

void SetFrame(TID3Engine& engine, std::string_view id, const TFrameValue& value) {
  if (engine.Active()) SetFrame(engine.Tag(), id, value);
}

void SetUniqueFileID(TID3Engine& engine, const std::string& owner, std::string_view identifier) {
  if (engine.Active()) SetUniqueFileID(engine.Tag(), owner, identifier);
}

void SetPlayCount(TID3Engine& engine, uint64_t count) {
  if (engine.Active()) SetPlayCount(engine.Tag(), count);
}

void SetVolume(TID3Engine& engine, const std::string& identification, int adjustment) {
  if (engine.Active()) SetVolume(engine.Tag(), identification, adjustment);
}

std::vector<std::string> ChangeTagVersion(TID3Engine& engine, uint8_t version) {
  if (!engine.Active()) return {};
  return ChangeTagVersion(engine.Tag(), version);
}

std::string ShownGenre(const TID3Engine& engine) {
  return engine.Active() ? ShownGenre(engine.Tag()) : std::string();
}

std::string ShownYear(const TID3Engine& engine) {
  return engine.Active() ? ShownYear(engine.Tag()) : std::string();
}

void SetShownYear(TID3Engine& engine, const std::string& year) {
  if (engine.Active()) SetShownYear(engine.Tag(), year);
}

}  // namespace tagscope
