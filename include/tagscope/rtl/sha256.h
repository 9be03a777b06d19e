#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tagscope {

// The SHA-256 digest of bytes (FIPS 180-4), and the same as 64 lower-case hexadecimal digits.
// Processors with SHA instructions compute it with them.
std::array<uint8_t, 32> Sha256(std::string_view bytes);
std::string Sha256Hex(std::string_view bytes);

}  // namespace tagscope
