#pragma once

#include "engine/frame_field_reader.h"

namespace tagscope {

// One decoder per frame shape, each reading its fields through the reader; the dispatcher
// (DecodeFrameContent) picks the shape by frame ID and keeps what is left as "rest".

// Texts, links, comments, lyrics, people lists.
void DecodeTextFrame(TFieldReader& r);
void DecodePeopleFrame(TFieldReader& r);
void DecodeUserTextFrame(TFieldReader& r);
void DecodeUrlFrame(TFieldReader& r);
void DecodeFeedFrame(TFieldReader& r);
void DecodeUserUrlFrame(TFieldReader& r);
void DecodeCommentFrame(TFieldReader& r);
void DecodeLyricsFrame(TFieldReader& r);
void DecodeTermsFrame(TFieldReader& r);
// Pictures, objects, identifiers, counters, commerce, encryption and groups.
void DecodePictureFrame(TFieldReader& r);
void DecodeObjectFrame(TFieldReader& r);
void DecodeOwnerDataFrame(TFieldReader& r);  // UFID, PRIV
void DecodeCounterFrame(TFieldReader& r);
void DecodePopularimeterFrame(TFieldReader& r);
void DecodeBufferFrame(TFieldReader& r);
void DecodeAudioEncryptionFrame(TFieldReader& r);
void DecodeLinkFrame(TFieldReader& r);
void DecodeOwnershipFrame(TFieldReader& r);
void DecodeCommercialFrame(TFieldReader& r);
void DecodeRegistrationFrame(TFieldReader& r);  // ENCR, GRID
void DecodeSignatureFrame(TFieldReader& r);
void DecodeSeekFrame(TFieldReader& r);
void DecodeBinaryFrame(TFieldReader& r);  // MCDI and unknown IDs
void DecodePodcastFrame(TFieldReader& r);
// Timing: synchronised lyrics and tempo, events, positions, lookup tables, seek points.
void DecodeSyncLyricsFrame(TFieldReader& r);
void DecodeTempoFrame(TFieldReader& r);
void DecodeEventsFrame(TFieldReader& r);
void DecodePositionFrame(TFieldReader& r);
void DecodeLookupFrame(TFieldReader& r);
void DecodeSeekIndexFrame(TFieldReader& r);
// Volume, equalisation and reverb.
void DecodeVolumeFrame(TFieldReader& r);           // RVA2
void DecodeOldVolumeFrame(TFieldReader& r);        // RVAD
void DecodeEqualisationFrame(TFieldReader& r);     // EQU2
void DecodeOldEqualisationFrame(TFieldReader& r);  // EQUA
void DecodeReverbFrame(TFieldReader& r);
// Chapters and tables of contents, with the frames they hold.
void DecodeChapterFrame(TFieldReader& r);
void DecodeTableOfContentsFrame(TFieldReader& r);

// DecodeFrameContent for a frame embedded `depth` frames deep.
TFrameValue DecodeFrameContentAt(std::string_view id, std::string_view payload, uint8_t version,
                                 int depth);

// The timestamp unit a timestamp-format byte names ("MPEG frames" or "ms").
std::string_view TimestampUnit(int64_t format);

}  // namespace tagscope
