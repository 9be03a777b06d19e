#pragma once

#include <cstddef>
#include <cstdint>

namespace tagscope {

// The SHA-256 round constants.
extern const uint32_t Sha256K[64];

// Runs the compression function over whole 64-byte blocks in portable code.
void Sha256BlocksPortable(uint32_t state[8], const uint8_t* data, size_t blocks);
// Runs the compression function over whole 64-byte blocks with the processor's SHA
// instructions; false (nothing done) where the processor has none.
bool Sha256BlocksHardware(uint32_t state[8], const uint8_t* data, size_t blocks);

}  // namespace tagscope
