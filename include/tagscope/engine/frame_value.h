#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

}  // namespace tagscope
