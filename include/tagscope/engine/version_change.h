#pragma once

#include <cstdint>

namespace tagscope {

class TID3Engine;
class TID3Tag;

// Makes the tag one of version 3 or 4 for the next write. The date frames change with
// it: TYER, TDAT and TIME of version 3 become the recording time TDRC of version 4 and back,
// TORY becomes TDOR and back. Texts in the encodings version 3 lacks (UTF-8, UTF-16 without a
// byte-order mark) become UTF-16 with a mark, and what only version 4 has (footer, tag
// restrictions, update flag) goes. A date that is not in the standard form stays as it is.
void ChangeTagVersion(TID3Tag& tag, uint8_t version);
// The same for the engine's tag; nothing while the engine is inactive.
void ChangeTagVersion(TID3Engine& engine, uint8_t version);

}  // namespace tagscope
