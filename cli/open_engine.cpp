#include "cli/open_engine.h"

#include <iostream>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

thread_local TChangeRun* changeRun = nullptr;

}  // namespace

void SetChangeRun(TChangeRun* run) {
  changeRun = run;
}

void PrintNote(const std::string& line) {
  if (changeRun)
    changeRun->notes += line + "\n";
  else
    std::cerr << line << "\n";
}

void OpenEngine(TID3Engine& engine, const std::string& fileName, bool readOnly, bool force) {
  TFileInfo info;
  if (!readOnly && GetFileInfo(fileName, info) && info.folder)
    throw EFOpenError(
        Format("Cannot write to \"%s\": it is a folder, not a file", fileName.c_str()));
  if (!FileExists(fileName)) throw EFOpenError(Format("File not found: %s", fileName.c_str()));
  engine.SetReadOnly(readOnly);
  engine.Options().forceWrite = force;
  engine.SetFileName(fileName);
  if (changeRun && !readOnly) engine.Options().flushGroup = changeRun->flushes;
  engine.SetActive(true);
  if (engine.Status().recoveryNote.empty()) return;
  // The note names the file, and file names may hold escape sequences.
  const std::string note = "tagscope: " + EscapeForTerminal(engine.Status().recoveryNote) + "\n";
  if (changeRun)
    changeRun->notes += note;
  else
    std::cerr << note;
}

void Change(TID3Engine& engine, const std::function<void()>& operation) {
  try {
    operation();
  } catch (const EWriteRefused& e) {
    if (engine.Options().forceWrite) throw;
    throw EWriteRefused(Format("%s (--force)", e.what()));
  }
}

void Change(TID3Engine& engine, void (TID3Engine::*operation)()) {
  Change(engine, [&] { (engine.*operation)(); });
}

}  // namespace tagscope::cli
