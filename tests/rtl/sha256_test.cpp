#include "tagscope/rtl/sha256.h"

#include <gtest/gtest.h>

#include <random>

#include "rtl/sha256_blocks.h"

namespace tagscope {
namespace {

// The standard's examples, plus lengths on each side of the one- and two-block padding.
TEST(Sha256Test, MatchesTheStandardsExamples) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  const std::pair<size_t, const char*> edges[] = {
      {55, "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
      {56, "04c26261370ee7541549d16dee320c723e3fd14671e66a099afe0a377c16888e"},
      {63, "75220b47218278e656f2013bb8f0c455a25eaf01e86c64924e9d48d89776d6f2"},
      {64, "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
      {119, "000b48d4edf0fa7bee3c6236ecd2785baa5db4eeb8bb54341b029e0d9fa5fb0c"},
      {120, "13f05a0b594787f5ecd315edc96141bd3243203d1b7d4f0836f37308b276ba98"}};
  for (const auto& [length, digest] : edges)
    EXPECT_EQ(Sha256Hex(std::string(length, 'x')), digest) << length;
}

// Where the processor has SHA instructions, both paths must agree on every block.
TEST(Sha256Test, HardwareAndPortableBlocksAgree) {
  std::mt19937 random(7);
  std::string data(64 * 37, '\0');
  for (char& c : data) c = static_cast<char>(random());
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  uint32_t portable[8] = {1, 2, 3, 4, 5, 6, 7, 8}, hardware[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  Sha256BlocksPortable(portable, bytes, 37);
  if (!Sha256BlocksHardware(hardware, bytes, 37)) GTEST_SKIP() << "no SHA instructions";
  EXPECT_TRUE(std::equal(portable, portable + 8, hardware));
}

}  // namespace
}  // namespace tagscope
