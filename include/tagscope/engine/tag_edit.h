#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/frame_content.h"

namespace tagscope {

class TID3Engine;

// Edits of an engine's frames beyond the one-frame text fields. Texts are UTF-8, written in the
// encoding EncodingForText picks for the tag's version; URLs are ISO-8859-1. A replaced frame
// keeps its place in the tag; a new one goes to the end. Nothing happens while the engine is
// inactive.

// Removes every frame with the ID; returns how many there were.
int DeleteFrames(TID3Engine& engine, std::string_view id);
// Puts the picture (MIME type, type and DescriptionUtf8) in place of the first one of the same
// type and description; further pictures of that type and description are removed. A tag holds
// one file icon of each kind (types 1 and 2), whatever its description.
void SetPicture(TID3Engine& engine, const TID3Picture& picture, std::string_view data);
// Removes the pictures of a type (every picture for -1); returns how many there were.
int DeletePictures(TID3Engine& engine, int pictureType);
// Sets the user-defined text (TXXX) or link (WXXX) of a description; an empty value removes it.
void SetUserText(TID3Engine& engine, const std::string& description, const std::string& text);
void SetUserURL(TID3Engine& engine, const std::string& description, const std::string& url);
// Makes the link frames with the ID (WCOM, WOAR, ...) hold exactly these links, in order;
// no links removes them.
void SetLinkFrames(TID3Engine& engine, std::string_view id, const std::vector<std::string>& urls);
// Gives the first text frame with the ID several values: a list in an ID3v2.4 tag, the values
// joined with "/" in older versions, which have no lists.
void SetTextValues(TID3Engine& engine, std::string_view id, const std::vector<std::string>& values);
// Sets the rating (POPM, 0-255) of an email (ISO-8859-1). The play count is the one given, else
// the one that email's rating had; a new rating without one has none.
void SetRating(TID3Engine& engine, const std::string& email, uint8_t rating,
               std::optional<uint64_t> count);
// Sets the unsynchronised lyrics (USLT) of a language and description; empty text removes them.
void SetLyrics(TID3Engine& engine, const std::string& language, const std::string& description,
               const std::string& text);

}  // namespace tagscope
