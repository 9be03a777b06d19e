// Ownership and commercial offers.
#include "engine/frames/commerce_frames.h"

namespace tagscope {

void ParseOwnershipFrame(TFieldReader& r) {
  if (r.Encoding() && r.Latin1("price") && r.Fixed("date", 8)) r.Text("seller", false);
}

void RenderOwnershipFrame(TFieldWriter& w) {
  w.Encoding();
  w.Latin1("price");
  w.Fixed("date", 8);
  w.Text("seller", false);
}

// The seller's logo, with its MIME type, is optional.
void ParseCommercialFrame(TFieldReader& r) {
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

void RenderCommercialFrame(TFieldWriter& w) {
  w.Encoding();
  w.Latin1("price");
  w.Fixed("validUntil", 8);
  w.Latin1("contactUrl");
  w.Number("receivedAs", 1);
  w.Text("seller");
  const bool logo = w.Has("logoMimeType");
  w.Text("description", logo);
  if (!logo) return;
  w.Latin1("logoMimeType");
  w.Bytes("logo");
}

}  // namespace tagscope
