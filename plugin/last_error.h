#pragma once

namespace tagscope {

// The module-wide message of the most recent failed export call; empty until the first failure.
// Neither function throws: when the text cannot be stored for lack of memory, the message says so.
void SetLastErrorText(const char* text) noexcept;
const char* LastErrorText() noexcept;

// Runs body, the work of an exported function. Every exception it raises ends here: its message
// becomes the last-error text and failure is returned instead.
template <class TBody, class TResult>
TResult CatchAll(TBody&& body, TResult failure) noexcept;

// Message texts of the exports' own failures.
inline constexpr const char* SNotAViewerWindow = "The window is not a viewer window.";
inline constexpr const char* SNoFileTypeBuffer = "No buffer was given for the file type.";
inline constexpr const char* SOutOfMemory = "Out of memory.";
inline constexpr const char* SUnknownError = "An unknown error occurred.";

}  // namespace tagscope

#include <exception>
#include <new>

namespace tagscope {

template <class TBody, class TResult>
TResult CatchAll(TBody&& body, TResult failure) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetLastErrorText(SOutOfMemory);
  } catch (const std::exception& e) {
    SetLastErrorText(e.what());
  } catch (...) {
    SetLastErrorText(SUnknownError);
  }
  return failure;
}

}  // namespace tagscope
