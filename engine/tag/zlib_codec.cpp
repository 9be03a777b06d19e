#include "engine/tag/zlib_codec.h"

#include <zlib.h>

#include <array>
#include <string>

namespace tagscope {

namespace {

constexpr const char* kZlibError = "Error";
constexpr int kChunk = 4096;

int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case TCompressionLevel::clNone:
      return 0;
    case TCompressionLevel::clFastest:
      return 1;
    case TCompressionLevel::clDefault:
      return Z_DEFAULT_COMPRESSION;
    case TCompressionLevel::clMax:
      return 9;
  }
  return Z_DEFAULT_COMPRESSION;
}

std::string WholeStream(TStream& stream) {
  stream.SetPosition(0);
  return stream.ReadString(stream.Size());
}

void ReplaceContent(TStream& stream, const std::string& bytes) {
  stream.SetPosition(0);
  stream.SetSize(0);
  stream.WriteString(bytes);
}

// zlib takes 32-bit lengths; input is fed in pieces so that any size works.
uInt NextPiece(const std::string& input, size_t offset) {
  return static_cast<uInt>(std::min<size_t>(input.size() - offset, 1u << 30));
}

}  // namespace

void CompressStream(TStream& stream, TCompressionLevel level) {
  const std::string input = WholeStream(stream);
  z_stream z{};
  if (deflateInit(&z, ZlibLevel(level)) != Z_OK) throw ECompressionError(kZlibError);
  std::string output;
  std::array<unsigned char, kChunk> buffer;
  size_t offset = 0;
  int result = Z_OK;
  do {
    if (z.avail_in == 0 && offset < input.size()) {
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data() + offset));
      z.avail_in = NextPiece(input, offset);
      offset += z.avail_in;
    }
    z.next_out = buffer.data();
    z.avail_out = buffer.size();
    result = deflate(&z, offset == input.size() ? Z_FINISH : Z_NO_FLUSH);
    if (result < 0 && result != Z_BUF_ERROR) break;
    output.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - z.avail_out);
  } while (result != Z_STREAM_END);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw ECompressionError(kZlibError);
  ReplaceContent(stream, output);
}

void DecompressStream(TStream& stream, int64_t limit) {
  const std::string input = WholeStream(stream);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EDecompressionError(kZlibError);
  std::string output;
  std::array<unsigned char, kChunk> buffer;
  size_t offset = 0;
  int result = Z_OK;
  const char* failure = nullptr;
  while (result != Z_STREAM_END) {
    if (z.avail_in == 0) {
      if (offset == input.size()) break;  // the data ends early: keep what was inflated
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data() + offset));
      z.avail_in = NextPiece(input, offset);
      offset += z.avail_in;
    }
    z.next_out = buffer.data();
    z.avail_out = buffer.size();
    const uInt inputBefore = z.avail_in;
    result = inflate(&z, Z_NO_FLUSH);
    const size_t produced = buffer.size() - z.avail_out;
    // A stream that asks for a preset dictionary cannot be inflated here; a call that makes no
    // progress would repeat for ever.
    const bool stuck = produced == 0 && z.avail_in == inputBefore && result != Z_STREAM_END;
    if (result == Z_NEED_DICT || (result < 0 && result != Z_BUF_ERROR) || stuck) {
      failure = kZlibError;
      break;
    }
    if (static_cast<int64_t>(output.size() + produced) > limit) {
      failure = "Compressed frame data inflates past the size limit";
      break;
    }
    output.append(reinterpret_cast<char*>(buffer.data()), produced);
  }
  inflateEnd(&z);
  ReplaceContent(stream, output);
  if (failure) throw EDecompressionError(failure);
}

}  // namespace tagscope
