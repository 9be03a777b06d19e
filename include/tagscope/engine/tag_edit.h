#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/frame_value.h"

namespace tagscope {

class TID3Tag;
class TID3Frames_Item;

// Edits of a tag's frames beyond the one-frame text fields. Texts are UTF-8, written in the
// encoding EncodingForText picks for the tag's version; URLs are ISO-8859-1. A replaced frame
// keeps its place in the tag; a new one goes to the end. An engine's tag is edited through
// TID3Engine::Tag, while its file is open.

// Removes every frame with the ID; returns how many there were.
int DeleteFrames(TID3Tag& tag, std::string_view id);
// Puts the picture (MIME type, type and DescriptionUtf8) in place of the first one of the same
// type and description; further pictures of that type and description are removed. A tag holds
// one file icon of each kind (types 1 and 2), whatever its description.
void SetPicture(TID3Tag& tag, const TID3Picture& picture, std::string_view data);
// Removes the pictures of a type (every picture for -1); returns how many there were.
int DeletePictures(TID3Tag& tag, int pictureType);
// Sets the user-defined text (TXXX) or link (WXXX) of a description; an empty value removes it.
void SetUserText(TID3Tag& tag, const std::string& description, const std::string& text);
void SetUserURL(TID3Tag& tag, const std::string& description, const std::string& url);
// Makes the link frames with the ID (WCOM, WOAR, ...) hold exactly these links, in order;
// no links removes them.
void SetLinkFrames(TID3Tag& tag, std::string_view id, const std::vector<std::string>& urls);
// Gives the first text frame with the ID several values: a list in an ID3v2.4 tag, the values
// joined with "/" in older versions, which have no lists. A list of people (TIPL, TMCL, IPLS)
// takes them as role and name by turns.
void SetTextValues(TID3Tag& tag, std::string_view id, const std::vector<std::string>& values);
// Sets the rating (POPM, 0-255) of an email (ISO-8859-1). The play count is the one given, else
// the one that email's rating had; a new rating without one has none.
void SetRating(TID3Tag& tag, const std::string& email, uint8_t rating,
               std::optional<uint64_t> count);
// Sets the comment (COMM) of a description and language (three letters, "eng"; compared
// without regard to case): the first such comment takes the text where it stands, any other
// goes; a comment is added when there is none.
void SetComment(TID3Tag& tag, const std::string& description, const std::string& text,
                const std::string& language);
// Sets the unsynchronised lyrics (USLT) of a language and description; empty text removes them.
void SetLyrics(TID3Tag& tag, const std::string& language, const std::string& description,
               const std::string& text);

// Any frame from its content, built with TFrameValue's Add... members in the fields its kind
// has (FrameKind, RenderFrameContent; the fields `dump --json` shows), rendered for the tag's
// version. Both raise EFrameValueError for content the kind cannot be written from, and
// EConvertError for an ID that is not four letters A-Z or digits; the tag is then unchanged.
// AddFrame appends a frame and returns it (to set its flags); SetFrame puts the content in
// the first frame of the ID, in its place, and removes the others of the ID.
TID3Frames_Item& AddFrame(TID3Tag& tag, std::string_view id, const TFrameValue& value);
void SetFrame(TID3Tag& tag, std::string_view id, const TFrameValue& value);
// Sets the unique file identifier (UFID) of an owner (ISO-8859-1); an empty one removes it.
void SetUniqueFileID(TID3Tag& tag, const std::string& owner, std::string_view identifier);
// Sets the play counter (PCNT).
void SetPlayCount(TID3Tag& tag, uint64_t count);
// Sets the relative volume (RVA2) of an identification (ISO-8859-1, such as "track"): the
// master volume's adjustment in 1/512 dB (-32768 to 32767), no peak.
void SetVolume(TID3Tag& tag, const std::string& identification, int adjustment);

}  // namespace tagscope
