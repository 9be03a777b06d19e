// The frame content decoders on arbitrary payloads, with the dump's JSON and text printers. The
// first byte picks the frame ID, the second the tag version. Nothing may crash or read outside
// the payload: every byte view and problem offset lies within it, the JSON parses, the text for
// people is UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "cli/frame_print.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/rtl/utf8.h"

namespace {

using namespace tagscope;

constexpr std::string_view kIds[] = {
    "TIT2", "TXXX", "TIPL", "TMCL", "IPLS", "WOAR", "WXXX", "WFED", "COMM", "USLT", "USER",
    "SYLT", "SYTC", "ETCO", "MLLT", "MCDI", "UFID", "PRIV", "GEOB", "APIC", "PCNT", "POPM",
    "RBUF", "AENC", "LINK", "POSS", "OWNE", "COMR", "ENCR", "GRID", "SIGN", "SEEK", "ASPI",
    "RVA2", "EQU2", "RVRB", "RVAD", "EQUA", "CHAP", "CTOC", "PCST", "GRP1", "XRVA", "ZZZZ"};

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckValue(const TFrameValue& v, std::string_view payload);

void CheckFields(const TFrameFields& fields, std::string_view payload) {
  for (const TFrameField& f : fields) {
    if (f.Type == TFieldType::ftBytes && !f.Bytes.empty())
      Check(f.Bytes.data() >= payload.data() &&
            f.Bytes.data() + f.Bytes.size() <= payload.data() + payload.size());
    for (const TFrameFields& record : f.Records) CheckFields(record, payload);
    for (const TEmbeddedFrame& frame : f.Frames) {
      Check(frame.Size <= payload.size());
      CheckValue(frame.Value, payload);
    }
  }
}

void CheckValue(const TFrameValue& v, std::string_view payload) {
  for (const TFrameProblem& p : v.Problems) Check(p.Offset <= payload.size());
  CheckFields(v.Fields, payload);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view id = kIds[data[0] % std::size(kIds)];
  const auto version = static_cast<uint8_t>(2 + data[1] % 3);
  const std::string_view payload(reinterpret_cast<const char*>(data + 2), size - 2);
  const TFrameValue value = DecodeFrameContent(id, payload, version);
  CheckValue(value, payload);
  cli::TJsonWriter j;
  j.BeginObject();
  cli::FrameContentJson(j, value, cli::TBinaryDetail::bdBytes);
  j.EndObject();
  Check(nlohmann::json::accept(j.Text()));
  Check(IsValidUtf8(cli::FrameContentText(value)));
  return 0;
}
