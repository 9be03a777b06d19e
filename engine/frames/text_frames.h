#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Text frames (T...): texts in one encoding, a list of values in ID3v2.4.
void ParseTextFrame(TFieldReader& r);
void RenderTextFrame(TFieldWriter& w);
// Lists of people and what they did (TIPL, TMCL, IPLS): role and name, one after the other.
void ParsePeopleFrame(TFieldReader& r);
void RenderPeopleFrame(TFieldWriter& w);
// The user-defined text (TXXX): a description and its values.
void ParseUserTextFrame(TFieldReader& r);
void RenderUserTextFrame(TFieldWriter& w);

}  // namespace tagscope
