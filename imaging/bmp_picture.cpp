#include "imaging/bmp_picture.h"

#include "imaging/bmp_reader.h"

namespace tagscope {

void TBitmapPicture::LoadFromStream(TStream& stream) {
  const int64_t size = stream.Size() - stream.Position();
  // A bitmap file larger than the largest bitmap cannot be valid; refuse it unread.
  if (size / 3 > Limits().MaxDecodedBytes) throw EInvalidGraphic(SInvalidBitmap);
  LoadFromFileBytes(stream.ReadString(size));
}

void TBitmapPicture::LoadFromFileBytes(const std::string& bytes) {
  Assign(ReadBitmapFile(bytes, Limits()));
}

}  // namespace tagscope
