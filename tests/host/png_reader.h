#pragma once

#include <string>

#include "host/png_writer.h"

namespace tagscope::test {

// Reads back what EncodePng writes (8-bit RGB, unfiltered rows), checking the signature and every
// chunk's CRC; fails the current test and returns an empty picture on any deviation.
TRgbImage DecodePng(const std::string& bytes);
std::string ReadFileBytes(const std::string& fileName);

}  // namespace tagscope::test
