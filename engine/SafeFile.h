// Whole-file reading and writing with every failure reported.
//
// The program's own files, pictures and movies are read through InputFile
// (or its one-call form ReadFileBytes): only a regular file of a bounded
// size is read, and what is not one (a folder, a named pipe, a device) is
// refused with a reason before it is opened, so that nothing waits on it.
//
// Every file the program writes goes through ReplacingFile (or its
// one-call form WriteFileReplacing): the bytes go to an unnamed temporary
// file in the destination's folder, which is put in place over the
// destination only after every byte has been written and flushed.  A write
// that fails (full disk, lost permission) leaves the old file as it was,
// and a process that dies while writing leaves nothing behind.  A
// destination that is a named pipe or a character device (/dev/stdout) is
// written straight into instead and stays what it is; one that is any
// other kind of non-regular file (a folder, a socket) is refused.
//
// Where the folder's file system has no unnamed files, a hidden temporary
// file named after the destination and the writing process takes its
// place; such files left by processes that no longer run are removed by
// the next save of the same file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Result.h"

namespace morvane {

// The largest file a reader takes in.
constexpr uint64_t kMaxInputFileSize = uint64_t(1) << 31;

// A regular file open for reading.  A path that names anything else (a
// folder, a named pipe, a device, also through a symbolic link) is refused
// without being opened, as is a file larger than `maxSize`.
class InputFile {
public:
    explicit InputFile(const std::filesystem::path& path, uint64_t maxSize = kMaxInputFileSize);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False when the file could not be opened or was refused; Error() then
    // gives the reason, a sentence without a full stop.
    bool ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    // True when the file is there but was refused for what it is (not a
    // regular file, too large), rather than not opened at all.
    bool Refused() const { return refused_; }

    uint64_t Size() const { return size_; }

    // The first `size` bytes (all of a shorter file), or the system's
    // reason.
    Result<std::vector<uint8_t>> Read(uint64_t size);
    // Exactly `size` bytes from `offset`; false when they are not all there.
    bool ReadAt(uint64_t offset, void* out, size_t size);

    // The file as a stdio stream at its start, for readers that take one;
    // the caller closes it.  Null when the file is not open.
    std::FILE* TakeStream();

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    bool refused_ = false;
    std::string error_;
};

// Reads a whole regular file (see InputFile).
Result<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path& path, uint64_t maxSize = kMaxInputFileSize);

// How a written file reaches the disk.
enum class Durability {
    // Flushed to the disk before it is put in place: after Commit the new
    // content survives a crash.
    Synced,
    // Put in place whole but not flushed: readers never see part of it.  A
    // writer of many files calls SyncFolder once after the last.
    Deferred,
    // Written straight at the path, neither flushed nor renamed: scratch
    // files in a private folder that no one else reads.  A file never
    // committed is still removed.
    Scratch,
};

// Writes `bytes` as the new content of `path` through a ReplacingFile.
// Fails with the system's reason.  An existing file keeps its permissions;
// a symbolic link is followed and its target replaced.
Result<> WriteFileReplacing(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                               Durability durability = Durability::Synced);

// The same for a file written piece by piece (an image streamed row by
// row, a movie picture by picture).  Nothing is visible at `path` before
// Commit (a scratch file excepted).  After the first failure every later
// Write does nothing and Commit reports that failure; a file never
// committed leaves nothing at `path` or beside it (a pipe or device is
// left as it is).
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path& path, Durability durability = Durability::Synced);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False once anything has failed (the temporary file could not be made,
    // a write failed); Error() then gives the system's reason.
    bool ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    // Appends bytes (buffered); false after a failure.
    bool Write(std::span<const uint8_t> bytes);
    bool Write(const void* data, size_t size)
    {
        return Write(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size));
    }
    // Bytes written so far.
    uint64_t Size() const { return size_; }

    // Overwrites bytes already written, from `offset` on (a size or count
    // in a header known only at the end); false after a failure, or when
    // the bytes would reach past what has been written.  A pipe or device
    // cannot go back: there it fails the file.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);

    // Writes the last bytes, flushes them to the disk (Synced) and puts the
    // file in place.  Fails with the reason (and nothing is left).
    Result<> Commit();

private:
    bool OpenTemporary();
    bool OpenStream();
    bool WriteThrough(std::span<const uint8_t> bytes, std::optional<uint64_t> at = std::nullopt);
    bool Flush();
    void Fail(int err);
    void Fail(std::string reason);
    void Discard();

    std::filesystem::path path_;   // the destination, symbolic links followed
    std::filesystem::path named_;  // the hidden temporary name (a scratch file: the path), once it has one
    Durability durability_;
    bool stream_ = false;          // a named pipe or device, opened at the first write
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    uint64_t size_ = 0;
    std::string error_;
};

// Flushes to the disk what was written in `folder`'s file system (files
// put in place with Durability::Deferred).  Fails with the system's reason.
Result<> SyncFolder(const std::filesystem::path& folder);

// For the name of something a process left behind, `prefix` + its process
// id + "-" + a suffix: the suffix, when that process is another one and no
// longer runs; nothing otherwise (the name is not of that form, or its
// maker may still use it).
std::optional<std::string_view> LeftByEndedProcess(std::string_view name, std::string_view prefix);

}  // namespace morvane
