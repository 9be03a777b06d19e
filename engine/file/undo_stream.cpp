#include "engine/file/undo_stream.h"

#include <algorithm>

#include "tagscope/rtl/exception.h"

namespace tagscope {

TUndoStream::TUndoStream(TStream& target) : TStreamRef(target), FOriginalSize(target.Size()) {}

void TUndoStream::Keep(int64_t from, int64_t to) {
  to = std::min(to, FOriginalSize);
  if (from >= to) return;
  TStream& target = Target();
  const int64_t position = target.Position();
  target.SetPosition(from);
  FSaved.push_back({from, target.ReadString(to - from)});
  target.SetPosition(position);
}

void TUndoStream::Know(int64_t offset, std::string bytes) {
  // Rolled back last, as the oldest of what is kept: they are the original content.
  FSaved.insert(FSaved.begin() + static_cast<ptrdiff_t>(FKnown), {offset, std::move(bytes)});
  ++FKnown;
}

int64_t TUndoStream::Write(const void* buffer, int64_t count) {
  const int64_t position = Target().Position();
  bool known = false;
  for (size_t i = 0; i < FKnown && !known; ++i)
    known = FSaved[i].offset <= position &&
            position + count <= FSaved[i].offset + static_cast<int64_t>(FSaved[i].bytes.size());
  if (!known) Keep(position, position + count);
  return Target().Write(buffer, count);
}

void TUndoStream::SetSize(int64_t size) {
  Keep(size, Target().Size());
  Target().SetSize(size);
}

void TUndoStream::Rollback() {
  TStream& target = Target();
  for (auto saved = FSaved.rbegin(); saved != FSaved.rend(); ++saved) {
    target.SetPosition(saved->offset);
    target.WriteString(saved->bytes);
  }
  FSaved.clear();
  if (target.Size() != FOriginalSize) target.SetSize(FOriginalSize);
  target.Flush();
  FRolledBack = true;
}

void TUndoStream::ChangeOrRollBack(const std::function<void()>& change, const char* what) {
  try {
    change();
  } catch (const std::exception& e) {
    try {
      Rollback();
    } catch (const std::exception& restoring) {
      throw EWriteError(
          Format("%s. Putting the old %s back failed too, so the file may be damaged: %s", e.what(),
                 what, restoring.what()));
    }
    throw;
  }
}

}  // namespace tagscope
