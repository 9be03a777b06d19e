#pragma once

#include <string>

namespace tagscope {

// How a move that never replaces anything ended.
enum class TMoveOutcome { moMoved, moTargetTaken };

// Moves the file `name` of `folder` ("" for the working folder) to `target`, a path relative to
// that folder with "/" between its parts; the folders on the way are made as needed. Nothing
// that stands at the target is ever replaced (moTargetTaken), and no link on the way is
// followed: a link, or a file, where a folder of the target should be raises EFCreateError, as
// does any other failure, with the system's reason. The file keeps its data, times and links:
// it is renamed, never copied, so both names must be on one volume.
TMoveOutcome MoveWithoutReplacing(const std::string& folder, const std::string& name,
                                  const std::string& target);

}  // namespace tagscope
