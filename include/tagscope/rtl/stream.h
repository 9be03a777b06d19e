#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tagscope {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A lock on a whole file, between the processes that ask for one.
enum class TFileLock { flNone, flShared, flExclusive };

// What the system records of an open file.
struct TFileFacts {
  std::string identity;  // device and file number (volume serial and file index on Windows)
  std::string owner;     // the owning user's number; empty where the platform has none
  int64_t size = 0;
  int64_t modified = 0;    // last write, in the platform's finest unit
  int64_t allocated = -1;  // bytes its data takes on the disk (less than size: holes); -1 unknown
  uint64_t links = 1;      // names (hard links) that share its data
  bool regular = true;     // a plain file: not a link, device, FIFO, socket or folder
  bool folder = false;
  int64_t changed = 0;  // last change of the file or of what is recorded of it (not settable)
  int64_t born = 0;     // when the file was made, where the platform records it; 0 unknown
  uint32_t mode = 0;    // access permissions, where the platform records them
  std::string group;    // the owning group's number; empty where the platform has none
};

// A byte stream with a 64-bit position and size.
class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes; returns how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Reads up to count bytes at an absolute position; returns how many were read. The position
  // afterwards is unspecified.
  virtual int64_t ReadAt(int64_t position, void* buffer, int64_t count);
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  // Cuts or extends the stream; the position stays unless it lies past the new end.
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual int64_t Size();
  // Forces written data onto the disk; nothing to do for streams held in memory.
  virtual void Flush() {}
  // Makes the content durable, and of the file's facts what reading it back needs (its size),
  // not necessarily its times; where the platform cannot tell the two apart, Flush.
  virtual void FlushData() { Flush(); }
  // Takes a lock on the whole file (waiting for it, or giving up at once when `wait` is false)
  // and holds it until changed or the stream is closed; false when it was not taken. Always
  // true for streams held in memory, which need none.
  virtual bool Lock(TFileLock, bool wait = true) { return true; }
  // Equal to TFileInfo::identity of the file the stream is open on; empty in memory.
  virtual std::string Identity() { return std::string(); }
  // Sets the time of the last write of the file the stream is open on, in the unit
  // TFileFacts::modified gives it in, leaving its other times as they are; false where the
  // system refused or the stream has no file (in memory).
  virtual bool SetModified(int64_t) { return false; }
  // What the system records of the file the stream is open on; false in memory.
  virtual bool Describe(TFileFacts&) { return false; }
  // Makes room for `size` bytes, the stream growing to that size when it is smaller; on a disk
  // the room is taken up front, so that writes within it do not fail for want of space. Where
  // only `data` bytes of it will hold anything but holes (data >= 0), nothing is taken ahead:
  // the disk is asked whether it has that much room left, and the write fails now if not.
  virtual void Reserve(int64_t size, int64_t data = -1) {
    (void)data;
    if (Size() < size) SetSize(size);
  }
  // Makes [position, position + count) read as zero bytes: a hole where the file can have one.
  virtual void Zero(int64_t position, int64_t count);

  // A small named value the file system keeps with the file (an extended attribute), where it
  // keeps any: Absent when the file has none under `name`, Unsupported where the file system
  // (or a stream held in memory) keeps none at all. The value is read into `value`.
  enum class TAttribute { Absent, Present, Unsupported };
  virtual TAttribute GetAttribute(const std::string& name, std::string& value);
  // Sets it; false where the file system keeps none for this file (nothing set), raising
  // EWriteError for any other failure. Durable with the file's next Flush, not FlushData.
  virtual bool SetAttribute(const std::string& name, const std::string& value);
  // Removes it (nothing to do when there is none); raises EWriteError when it stays.
  virtual void RemoveAttribute(const std::string& name);

  // Read or write exactly count bytes, raising "Stream read error" / "Stream write error".
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  void WriteString(const std::string& bytes) {
    WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  // Reads up to count bytes from the current position into a byte string.
  std::string ReadString(int64_t count);
};

// A stream held in memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : FData(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }

  void Clear();
  // The whole content, independent of the position.
  const std::string& Bytes() const { return FData; }
  void SetBytes(std::string bytes);
  const char* Memory() const { return FData.data(); }
  // Replaces the content with what is left of source from its position.
  void LoadFromStream(TStream& source);
  // Writes the whole content to dest at its position.
  void SaveToStream(TStream& dest) const;

 private:
  std::string FData;
  int64_t FPosition = 0;
};

}  // namespace tagscope
