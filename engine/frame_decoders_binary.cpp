// Decoders of the frames around binary data: pictures, objects, identifiers, counters, commerce,
// encryption, groups and the podcast flag.
#include "engine/frame_decoders.h"
#include "tagscope/engine/picture_types.h"

namespace tagscope {

void DecodePictureFrame(TFieldReader& r) {
  if (!r.Encoding() || !r.Latin1("mimeType") || !r.Number("pictureType", 1)) return;
  r.Last().Label = PictureTypeLabel(static_cast<int>(r.Last().Number));
  if (r.Text("description")) r.Rest("data");
}

void DecodeObjectFrame(TFieldReader& r) {
  if (r.Encoding() && r.Latin1("mimeType") && r.Text("fileName") && r.Text("description"))
    r.Rest("data");
}

void DecodeOwnerDataFrame(TFieldReader& r) {
  if (r.Latin1("owner")) r.Rest("data");
}

void DecodeCounterFrame(TFieldReader& r) {
  if (r.Remaining() > 0 && r.Remaining() < 4) r.Note("its counter is shorter than 4 bytes");
  r.RestNumber("counter", 1);
}

// The play counter after the rating is optional.
void DecodePopularimeterFrame(TFieldReader& r) {
  if (r.Latin1("email") && r.Number("rating", 1) && !r.AtEnd()) r.RestNumber("counter", 1);
}

// The offset to the next tag is optional.
void DecodeBufferFrame(TFieldReader& r) {
  if (r.Number("bufferSize", 3, 1, "bytes") && r.Number("embeddedInfo", 1) && !r.AtEnd())
    r.Number("nextTagOffset", 4, 1, "bytes");
}

void DecodeAudioEncryptionFrame(TFieldReader& r) {
  if (r.Latin1("owner") && r.Number("previewStart", 2, 1, "frames") &&
      r.Number("previewLength", 2, 1, "frames"))
    r.Rest("data");
}

void DecodeLinkFrame(TFieldReader& r) {
  if (r.Fixed("frameId", 4) && r.Latin1("url")) r.Rest("data");
}

void DecodeOwnershipFrame(TFieldReader& r) {
  if (r.Encoding() && r.Latin1("price") && r.Fixed("date", 8)) r.Text("seller", false);
}

// The seller's logo, with its MIME type, is optional.
void DecodeCommercialFrame(TFieldReader& r) {
  static const std::string_view received[] = {"Other",
                                              "Standard CD album",
                                              "Compressed audio on CD",
                                              "File over the Internet",
                                              "Stream over the Internet",
                                              "As note sheets",
                                              "As note sheets in a book",
                                              "Music on other media",
                                              "Non-musical merchandise"};
  if (!r.Encoding() || !r.Latin1("price") || !r.Fixed("validUntil", 8) || !r.Latin1("contactUrl") ||
      !r.Number("receivedAs", 1))
    return;
  r.Last().Label = TableLabel(received, r.Last().Number);
  if (!r.Text("seller") || !r.Text("description", false) || r.AtEnd()) return;
  if (r.Latin1("logoMimeType")) r.Rest("logo");
}

void DecodeRegistrationFrame(TFieldReader& r) {
  if (r.Latin1("owner") && r.Number("symbol", 1)) r.Rest("data");
}

void DecodeSignatureFrame(TFieldReader& r) {
  if (r.Number("group", 1)) r.Rest("signature");
}

void DecodeSeekFrame(TFieldReader& r) {
  r.Number("offset", 4, 1, "bytes");
}

void DecodeBinaryFrame(TFieldReader& r) {
  r.Rest("data");
}

void DecodePodcastFrame(TFieldReader& r) {
  r.RestNumber("value", 0);
}

}  // namespace tagscope
