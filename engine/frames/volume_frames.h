#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Frames that adjust playback: relative volume and equalisation in the forms of ID3v2.4
// (RVA2, EQU2) and ID3v2.3 (RVAD, EQUA), and reverb (RVRB).
void ParseVolumeFrame(TFieldReader& r);
void RenderVolumeFrame(TFieldWriter& w);
void ParseOldVolumeFrame(TFieldReader& r);
void RenderOldVolumeFrame(TFieldWriter& w);
void ParseEqualisationFrame(TFieldReader& r);
void RenderEqualisationFrame(TFieldWriter& w);
void ParseOldEqualisationFrame(TFieldReader& r);
void RenderOldEqualisationFrame(TFieldWriter& w);
void ParseReverbFrame(TFieldReader& r);
void RenderReverbFrame(TFieldWriter& w);

}  // namespace tagscope
