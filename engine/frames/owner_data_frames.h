#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Frames that open with their owner's identifier: unique file identifiers (UFID), private
// data (PRIV), encryption and group registrations (ENCR, GRID) and audio encryption (AENC).
void ParseOwnerDataFrame(TFieldReader& r);
void RenderOwnerDataFrame(TFieldWriter& w);
void ParseRegistrationFrame(TFieldReader& r);
void RenderRegistrationFrame(TFieldWriter& w);
void ParseAudioEncryptionFrame(TFieldReader& r);
void RenderAudioEncryptionFrame(TFieldWriter& w);

}  // namespace tagscope
