#pragma once

#include <string>

#include "cli/json_writer.h"
#include "tagscope/engine/frame_text.h"
#include "tagscope/engine/frame_value.h"

namespace tagscope::cli {

// How binary payloads are given in JSON: by size (and as text when they are a short printable
// ASCII text, as identifiers are), with their SHA-256 too, or also with their bytes (base64).
enum class TBinaryDetail { bdSize, bdHash, bdBytes };

// The members "kind", "content" and, when the content is damaged, "problems" of a frame's JSON
// object, which the writer has open. Every field becomes a member of "content".
void FrameContentJson(TJsonWriter& j, const TFrameValue& value, TBinaryDetail binary);
// One field's value as FrameContentJson writes it, at the writer's position.
void FieldJson(TJsonWriter& j, const TFrameField& field, TBinaryDetail binary);
// The content on one line as people read it, and texts in quotes: the engine's, which the
// viewer shares.
using tagscope::FrameContentText;
using tagscope::Quoted;

// Bytes in base64 (RFC 4648, with padding).
std::string Base64(std::string_view bytes);

}  // namespace tagscope::cli
