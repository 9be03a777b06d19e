#include "tests/viewer/mp3_builder.h"

#include <atomic>
#include <random>

#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope::test {

namespace {

std::string BigEndian32(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

std::string SyncSafe32(uint32_t value) {
  return {static_cast<char>((value >> 21) & 0x7F), static_cast<char>((value >> 14) & 0x7F),
          static_cast<char>((value >> 7) & 0x7F), static_cast<char>(value & 0x7F)};
}

std::string LittleEndian(uint32_t value, int bytes) {
  std::string result;
  for (int i = 0; i < bytes; ++i) result += static_cast<char>(value >> (8 * i));
  return result;
}

std::string Field(const std::string& text, size_t width) {
  std::string result = text.substr(0, width);
  result.resize(width, '\0');
  return result;
}

const std::string kZero(1, '\0');

}  // namespace

std::string Frame(const std::string& id, const std::string& payload) {
  return id + BigEndian32(static_cast<uint32_t>(payload.size())) + std::string(2, '\0') + payload;
}

std::string TextFrame(const std::string& id, const std::string& text) {
  return Frame(id, kZero + text);
}

std::string CommentFrame(const std::string& language, const std::string& description,
                         const std::string& text) {
  return Frame("COMM", kZero + language + description + kZero + text);
}

std::string PictureFrame(const std::string& mimeType, uint8_t pictureType,
                         const std::string& description, const std::string& data) {
  return Frame("APIC", kZero + mimeType + kZero + static_cast<char>(pictureType) + description +
                           kZero + data);
}

std::string UrlFrame(const std::string& description, const std::string& url) {
  return Frame("WXXX", kZero + description + kZero + url);
}

std::string ChapterFrame(const std::string& id, uint32_t startMs, uint32_t endMs,
                         const std::string& title) {
  return Frame("CHAP", id + kZero + BigEndian32(startMs) + BigEndian32(endMs) +
                           BigEndian32(0xFFFFFFFF) + BigEndian32(0xFFFFFFFF) +
                           TextFrame("TIT2", title));
}

std::string SyncLyricsFrame(const std::vector<std::pair<std::string, uint32_t>>& lines) {
  // ISO-8859-1, English, times in milliseconds, lyrics, no description.
  std::string payload = kZero + "eng" + "\x02\x01" + kZero;
  for (const auto& [text, ms] : lines) payload += text + kZero + BigEndian32(ms);
  return Frame("SYLT", payload);
}

std::string DetailedMp3(const std::string& title) {
  TrailerFields v1;
  v1.Title = "Old title";
  v1.Track = 5;
  v1.Genre = 17;
  return Tag({TextFrame("TIT2", title), CommentFrame("eng", "note", "shown elsewhere"),
              ChapterFrame("ch0", 0, 90000, "Intro"), ChapterFrame("ch1", 90000, 185500, "Verse"),
              Frame("CTOC", "toc" + kZero + "\x03\x02" + "ch0" + kZero + "ch1" + kZero),
              Frame("USLT", kZero + "eng" + kZero + "First line\nSecond line"),
              SyncLyricsFrame({{"Hello", 1500}, {"\nWorld", 61000}}),
              Frame("POPM", "user@example.com" + kZero + "\xC4" + BigEndian32(12)),
              Frame("PCNT", BigEndian32(7)), Frame("TXXX", kZero + "MOOD" + kZero + "bright"),
              Frame("PRIV", "owner.example" + kZero + "12345"), TextFrame("TIT2", "Second")}) +
         Audio() + Trailer(v1);
}

std::string Tag(const std::vector<std::string>& frames) {
  std::string body;
  for (const auto& frame : frames) body += frame;
  body += std::string(16, '\0');
  return std::string("ID3\x03\x00\x00", 6) + SyncSafe32(static_cast<uint32_t>(body.size())) + body;
}

std::string Trailer(const TrailerFields& f) {
  return "TAG" + Field(f.Title, 30) + Field(f.Artist, 30) + Field(f.Album, 30) + Field(f.Year, 4) +
         Field(f.Comment, 29) + static_cast<char>(f.Track) + static_cast<char>(f.Genre);
}

std::string Audio() {
  std::string audio;
  for (int i = 0; i < 8; ++i) audio += std::string("\xFF\xFB\x90\x64", 4) + std::string(413, 'U');
  return audio;
}

std::string Bitmap16x16() {
  const uint32_t pixelBytes = 16 * 16 * 3;
  std::string bmp =
      "BM" + LittleEndian(54 + pixelBytes, 4) + LittleEndian(0, 4) + LittleEndian(54, 4);
  bmp += LittleEndian(40, 4) + LittleEndian(16, 4) + LittleEndian(16, 4) + LittleEndian(1, 2) +
         LittleEndian(24, 2) + LittleEndian(0, 4) + LittleEndian(pixelBytes, 4) +
         LittleEndian(2835, 4) + LittleEndian(2835, 4) + LittleEndian(0, 4) + LittleEndian(0, 4);
  for (uint32_t i = 0; i < pixelBytes; ++i) bmp += static_cast<char>(i * 7);
  return bmp;
}

std::string Gif1x1() {
  return std::string(
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00"
      "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
      35);
}

TempFile::TempFile(const std::string& bytes) {
  static std::atomic<int> counter{0};
  static const unsigned run = std::random_device()();
  FName = GetTempDir() + "tagscope_viewer_test_" + std::to_string(run) + "_" +
          std::to_string(++counter) + ".mp3";
  TFileStream file(FName, TFileMode::fmCreate);
  file.WriteString(bytes);
}

TempFile::~TempFile() {
  RemoveFile(FName);
}

}  // namespace tagscope::test
