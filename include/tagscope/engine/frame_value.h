#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tagscope/rtl/exception.h"

namespace tagscope {

class TID3Frames_Item;
struct TFrameField;
struct TEmbeddedFrame;
using TFrameFields = std::vector<TFrameField>;

// What one field of a frame's content holds; the member of TFrameField that carries it.
enum class TFieldType : uint8_t {
  ftText,      // Text: UTF-8
  ftTextList,  // Texts: UTF-8 each
  ftNumber,    // Number (read as Number / Scale Unit by people)
  ftNumbers,   // Numbers
  ftBytes,     // Bytes: a view of the payload
  ftPairs,     // Pairs: (role, name) and the like, UTF-8
  ftRecords,   // Records: a list of entries, each its own named fields
  ftFrames,    // Frames: frames embedded in this one
};

// One named field of a decoded frame. Names are stable keys ("description", "text"), the same
// for every frame of a shape.
struct TFrameField {
  std::string_view Name;
  TFieldType Type = TFieldType::ftText;
  std::string Text;
  std::vector<std::string> Texts;
  int64_t Number = 0;
  int Scale = 1;           // a number of 1/Scale Units
  std::string_view Unit;   // "ms", "dB", "Hz"; empty for plain counts and codes
  std::string_view Label;  // what a code stands for ("Cover (front)"); empty if nothing
  std::vector<int64_t> Numbers;
  std::string_view Bytes;
  // Bytes of the field that Bytes does not hold: the rest of a large payload described without
  // being read (DescribeFrameContent). The field holds Bytes.size() + Unread bytes.
  uint64_t Unread = 0;
  std::vector<std::pair<std::string, std::string>> Pairs;
  std::vector<TFrameFields> Records;
  std::vector<TEmbeddedFrame> Frames;
};

// Content that does not follow its frame's layout: what is wrong and at which byte of the
// payload (as it stands in memory: decompressed, unsynchronisation undone).
struct TFrameProblem {
  size_t Offset = 0;
  std::string What;
};

// A frame's content decoded by its kind. Kind names the shape ("text", "comment", "raw", ...);
// frames of one shape have the same fields. Nothing is dropped: content past what the shape
// explains, or that breaks it, is kept in a "rest" bytes field and reported in Problems.
struct TFrameValue {
  std::string_view Kind = "raw";
  TFrameFields Fields;
  std::vector<TFrameProblem> Problems;

  // The field of that name, or nullptr.
  const TFrameField* Find(std::string_view name) const;

  // --- building a value to render (RenderFrameContent) ---
  // Keeps bytes (or a field name) alive as long as the value and its copies: the view stays
  // valid when the value is moved.
  std::string_view Keep(std::string bytes);
  // Adds a field to the value, or to `fields` (a record being built); names must outlive the
  // value (string literals do; Keep others). Each returns the value for chaining.
  TFrameValue& AddText(std::string_view name, std::string utf8);
  TFrameValue& AddTexts(std::string_view name, std::vector<std::string> utf8);
  TFrameValue& AddNumber(std::string_view name, int64_t number);
  TFrameValue& AddBytes(std::string_view name, std::string bytes);
  TFrameValue& AddPairs(std::string_view name,
                        std::vector<std::pair<std::string, std::string>> pairs);
  // A records field; each record is built into the fields returned by AddRecord.
  TFrameValue& AddRecords(std::string_view name);
  TFrameFields& AddRecord(std::string_view records);

 private:
  std::vector<std::shared_ptr<const std::string>> FKept;
};

// A field a frame's content cannot be written from: missing, of another type, or a value its
// frame cannot hold. Path names the field as the JSON of a frame names it ("content.owner",
// "content.lines[2].time"); the message starts with it.
class EFrameValueError : public EConvertError {
 public:
  EFrameValueError(std::string path, const std::string& what)
      : EConvertError(path + ": " + what), FPath(std::move(path)), FWhat(what) {}
  const std::string& Path() const { return FPath; }
  const std::string& Problem() const { return FWhat; }

 private:
  std::string FPath;
  std::string FWhat;
};

// A frame inside another (chapters and tables of contents hold frames of their own).
struct TEmbeddedFrame {
  std::string ID;
  uint64_t Size = 0;  // payload bytes
  TFrameValue Value;
};

// A field's name as words for people: "pictureType" becomes "picture type".
std::string FieldNameWords(std::string_view name);

// Decodes a payload by its frame ID as a frame of a tag of the version (2, 3 or 4) holds it.
// IDs of no known shape decode as "raw": the payload as bytes. Never raises; byte views in the
// result point into `payload`.
TFrameValue DecodeFrameContent(std::string_view id, std::string_view payload, uint8_t version);
// The same for a frame in memory. An encrypted payload that no handler decrypted decodes as
// "encrypted": its bytes as stored.
TFrameValue DecodeFrameContent(const TID3Frames_Item& frame, uint8_t version);
// The same without reading the rest of a payload that is not all in memory, where the part
// in memory holds every field but the bytes that end it: of those the result counts the
// unread ones (Unread) and holds the ones read. Reads the rest where that is not so.
TFrameValue DescribeFrameContent(const TID3Frames_Item& frame, uint8_t version);

// The kind of content a frame of the ID holds ("text" for TIT2, "picture" for APIC, "raw" for
// an ID of no known kind): the Kind DecodeFrameContent gives it.
std::string_view FrameKind(std::string_view id);
// The payload of a frame of the ID, in a tag of the version (3 or 4), from its content: the
// fields its kind's decoding gives (the kind's names and types), so that decoding the payload
// gives those fields back. Texts are written in the value's "encoding" where the version has
// it and it holds them, else in the one EncodingForText picks; a value of kind "raw" or
// "stored" is its "data" bytes, whatever the ID. A "rest" field (bytes a damaged frame kept
// after its fields) is appended. Raises EFrameValueError naming the field that is missing,
// of another type or that the frame cannot hold, and for a kind that is not the ID's.
std::string RenderFrameContent(std::string_view id, const TFrameValue& value, uint8_t version);

}  // namespace tagscope
