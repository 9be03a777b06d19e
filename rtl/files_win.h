#pragma once

#include <string>

namespace tagscope {

// A file name in the selected encoding (UseUtf8FileNames) as the wide-character API takes it,
// up to its first zero byte as the ANSI API reads it. False, with the system's last error set
// to an invalid name, when the name is not valid in that encoding.
bool WideFileName(const std::string& name, std::wstring& wide);
// A wide-character name in the selected encoding.
std::string NarrowFileName(const std::wstring& wide);

}  // namespace tagscope
