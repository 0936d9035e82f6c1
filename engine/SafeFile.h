// Whole-file reading and writing with every failure reported.
//
// Every file the program writes goes through ReplacingFile (or its
// one-call form WriteFileReplacing): the bytes go to an unnamed temporary
// file in the destination's folder, which is linked into place over the
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

// The new content of one file, written piece by piece.  An existing file
// keeps its permissions; a symbolic link is followed and its target
// replaced.  Nothing is visible at the destination before Commit; an object
// destroyed without a successful Commit leaves the destination as it was
// and no temporary file.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path& path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The system's reason of the first failure; empty while all is well.
    const std::string& Error() const { return error_; }
    bool Ok() const { return error_.empty(); }

    // Appends bytes; false (and Error set) when they could not be written.
    bool Write(std::span<const uint8_t> bytes);

    // Flushes the bytes to the disk and puts the file in place.  Returns
    // an empty string on success, else the system's reason.
    std::string Commit();

private:
    void Fail(int err);
    void Discard();

    std::filesystem::path path_;  // the destination (a link's target)
    std::filesystem::path named_;  // the hidden temporary name, if one is used
    int fd_ = -1;
    bool committed_ = false;
    std::string error_;
};

// Writes `bytes` as the new content of `path` through a ReplacingFile.
// Returns an empty string on success, else the system's reason.
std::string WriteFileReplacing(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace morvane
