// Whole-file reading and writing with every failure reported.
//
// Writing goes to a temporary file in the destination's folder that is
// renamed over the destination only after every byte has been written and
// flushed, so a failed write (full disk, lost permission) leaves the old
// file as it was.
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

// Writes `bytes` as the new content of `path` (temporary file, then rename).
// Returns an empty string on success, else the system's reason.  An
// existing file keeps its permissions; a symbolic link is followed and its
// target replaced.
std::string WriteFileReplacing(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace morvane
