// Whole-file reading and writing with every failure reported.
//
// Every file the program writes goes through ReplacingFile (or its
// one-call form WriteFileReplacing): the bytes go to an unnamed temporary
// file in the destination's folder, which is put in place over the
// destination only after every byte has been written and flushed.  A write
// that fails (full disk, lost permission) leaves the old file as it was,
// and a process that dies while writing leaves nothing behind.
//
// Where the folder's file system has no unnamed files, a hidden temporary
// file named after the destination and the writing process takes its
// place; such files left by processes that no longer run are removed by
// the next save of the same file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvane {

struct FileBytes {
    std::vector<uint8_t> bytes;
    std::string error;  // the system's reason; empty on success

    bool ok() const { return error.empty(); }
};

// Reads a whole regular file.  Files larger than `maxSize` are refused.
FileBytes ReadFileBytes(const std::filesystem::path& path, uint64_t maxSize = uint64_t(1) << 31);

// Writes `bytes` as the new content of `path` through a ReplacingFile.
// Returns an empty string on success, else the system's reason.  An
// existing file keeps its permissions; a symbolic link is followed and its
// target replaced.
std::string WriteFileReplacing(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The same for a file written piece by piece (an image streamed row by
// row, a movie picture by picture).  Nothing is visible at `path` before
// Commit.  After the first failure every later Write does nothing and
// Commit reports that failure; a file never committed leaves nothing at
// `path` or beside it.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path& path);
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
    // the bytes would reach past what has been written.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);

    // Flushes the bytes to the disk and puts the file in place.  Returns an
    // empty string on success, else the reason (and nothing is left).
    std::string Commit();

private:
    bool WriteThrough(std::span<const uint8_t> bytes, std::optional<uint64_t> at = std::nullopt);
    bool Flush();
    void Fail(int err);
    void Discard();

    std::filesystem::path path_;   // the destination, symbolic links followed
    std::filesystem::path named_;  // the hidden temporary name, once it has one
    int fd_ = -1;
    std::vector<uint8_t> buffer_;
    uint64_t size_ = 0;
    std::string error_;
};

}  // namespace morvane
