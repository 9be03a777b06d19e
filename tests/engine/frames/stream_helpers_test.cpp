#include <gtest/gtest.h>

#include "engine/frames/stream_helpers.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using test::Bytes;

TEST(ValidFrameID, AcceptsDigitsAndCapitalsOnly) {
  EXPECT_TRUE(ValidFrameID("TIT2"));
  EXPECT_TRUE(ValidFrameID("APIC"));
  EXPECT_TRUE(ValidFrameID("0000"));
  EXPECT_FALSE(ValidFrameID("TiT2"));
  EXPECT_FALSE(ValidFrameID("TIT "));
  EXPECT_FALSE(ValidFrameID(std::string(4, '\0')));
  EXPECT_FALSE(ValidFrameID("TIT"));
}

TEST(SyncSafe, FileOrderFieldsReadAndWrite) {
  auto read = [](const std::string& b) { return TByteReader(b).SyncSafeAt(0, 4); };
  EXPECT_EQ(read(Bytes({0, 0, 2, 1})), 257u);
  EXPECT_EQ(read(Bytes({0, 1, 0, 0})), 16384u);
  uint8_t out[5];
  WriteSyncSafeBE(out, 4, 16384);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), Bytes({0, 1, 0, 0}));
  WriteSyncSafeBE(out, 4, 268435455);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), Bytes({0x7F, 0x7F, 0x7F, 0x7F}));
  WriteSyncSafeBE(out, 4, 268435456);  // bits from 2^28 up are dropped
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), Bytes({0, 0, 0, 0}));
  WriteSyncSafeBE(out, 5, (uint64_t{1} << 35) - 1);
  EXPECT_EQ(TByteReader(reinterpret_cast<char*>(out), 5).ReadSyncSafe(5), (uint64_t{1} << 35) - 1);
}

TEST(SyncSafe, InPlaceConversionIsLeastSignificantFirst) {
  uint8_t b[4] = {0x01, 0x02, 0x00, 0x00};  // groups 1 and 2: 1 + 2 * 128
  SyncSafeConvert(b, 4, true);
  EXPECT_EQ(b[0], 0x01);
  EXPECT_EQ(b[1], 0x01);
  SyncSafeConvert(b, 4, false);
  EXPECT_EQ(b[0], 0x01);
  EXPECT_EQ(b[1], 0x02);
  uint8_t r[5] = {1, 2, 3, 4, 5};
  ReverseBytes(r, 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r), 5), Bytes({5, 4, 3, 2, 1}));
  EXPECT_EQ(TByteReader(reinterpret_cast<char*>(r), 5).ReadBE(4), 0x05040302u);
}

TEST(TextPayload, StreamToTextCutsAndTrims) {
  uint8_t encoding = 9;
  TMemoryStream s(Bytes({0, 'A', 'B', 0, 'C'}));
  s.SetPosition(3);
  EXPECT_EQ(StreamToText(s, encoding), "AB");
  EXPECT_EQ(encoding, 0);
  EXPECT_EQ(s.Position(), 0);
  s.SetBytes(Bytes({0, ' ', 'A', ' '}));
  EXPECT_EQ(StreamToText(s, encoding), "A");
  s.SetBytes(Bytes({3}));
  EXPECT_EQ(StreamToText(s, encoding), "");
  EXPECT_EQ(encoding, 3);
  TMemoryStream empty;
  EXPECT_EQ(StreamToText(empty, encoding), "");
  EXPECT_EQ(encoding, 0);
}

TEST(TextPayload, TextToStreamRewritesTheStream) {
  TMemoryStream s(std::string("old content that is longer"));
  s.SetPosition(5);
  TextToStream(0, "Title", s);
  EXPECT_EQ(s.Bytes(), Bytes({0, 'T', 'i', 't', 'l', 'e'}));
  EXPECT_EQ(s.Position(), 0);
}

TEST(CopyStreamData, CountZeroCopiesTheWholeSourceAndLongCountsAreCut) {
  TMemoryStream source(std::string("abcdef")), dest;
  source.Seek(0, TSeekOrigin::soEnd);
  EXPECT_EQ(CopyStreamData(source, dest, 0), 6);
  EXPECT_EQ(dest.Bytes(), "abcdef");
  source.SetPosition(4);
  TMemoryStream rest;
  EXPECT_EQ(CopyStreamData(source, rest, 100), 2);
  EXPECT_EQ(rest.Bytes(), "ef");
  std::string big(10000, 'x');
  big[9999] = 'y';
  TMemoryStream bigSource(big), bigDest;
  EXPECT_EQ(CopyStreamData(bigSource, bigDest, 0), 10000);
  EXPECT_EQ(bigDest.Bytes(), big);
}

// A stream whose size promises more than its reads deliver, like a file that shrinks.
class ShrunkStream : public TStream {
 public:
  explicit ShrunkStream(std::string bytes) : FData(std::move(bytes)) {}
  int64_t Read(void* buffer, int64_t count) override { return FData.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return FData.Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FData.Seek(offset, origin); }
  void SetSize(int64_t size) override { FData.SetSize(size); }
  int64_t Size() override { return 100000; }

 private:
  TMemoryStream FData;
};

TEST(CopyStreamData, AShortSourceEndsTheCopyWithAReadError) {
  ShrunkStream source(std::string(5000, 'a'));
  TMemoryStream dest;
  try {
    CopyStreamData(source, dest, 20000);
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_EQ(dest.Size(), 5000);
}

}  // namespace
}  // namespace tagscope
