// Whole-file reading and writing with every failure reported.
//
// The program's own files, pictures and movies are read through InputFile
// (or its one-call form ReadFileBytes): only a regular file of a bounded
// size is read, and what is not one (a folder, a named pipe, a device) is
// refused with a reason before it is opened, so that nothing waits on it.
//
// Every file the program writes goes through ReplacingFile (or its
// one-call form WriteFileReplacing): the bytes go to an unnamed temporary
// file, and only once every one of them has been written does the
// destination take them.  A write that fails (full disk, lost permission)
// leaves the old file as it was, and a process that dies while writing
// leaves nothing behind.
//
// How the destination takes the bytes depends on what it is:
// - a new file, or an existing one that this process may replace keeping
//   its owner, group and mode: the temporary file, made in the same
//   folder, is renamed over it;
// - an existing file whose owner or group the saver cannot give a new
//   file (another user's file shared through its group), a file with
//   other names (hard links) or an access list, or one in a folder the
//   saver may not write: the bytes are copied into the file itself, which
//   stays the same file; should the copy fail half-way, the complete new
//   content is kept in a file whose name the failure gives;
// - one of this process's own descriptors (/dev/stdout, /dev/stderr,
//   /dev/fd/N, /proc/self/fd/N): written through that descriptor at its
//   offset, as the shell's redirections expect;
// - a named pipe or a character device: written straight into, and it
//   stays what it is.
// A file that the saver may not write, or that no one may write (no write
// permission at all: root does not override it either), is refused as
// read-only and left as it is.  So is any other kind of non-regular file
// (a folder, a socket), and a name that leads through a loop of symbolic
// links or more of them than the system follows.  Symbolic links are
// followed, and the file at the end of the chain takes the content.
//
// Where the folder's file system has no unnamed files, the temporary file
// has a short hidden name that tells the process that made it; such files
// left by processes that no longer run are removed by the next save into
// the same folder (see LeftByEndedProcess).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
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
// Fails with the reason.  An existing file keeps its owner, group and
// permissions; a symbolic link is followed and its target written.
Result<> WriteFileReplacing(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                               Durability durability = Durability::Synced);

// The same for a file written piece by piece (an image streamed row by
// row, a movie picture by picture).  Nothing is visible at `path` before
// Commit (a scratch file excepted).  After the first failure every later
// Write does nothing and Commit reports that failure; a file never
// committed leaves nothing at `path` or beside it (a pipe, a device or an
// existing file is left as it is).  A destination that cannot be written
// (read-only, a folder, a loop of links) fails the file at once.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::filesystem::path& path, Durability durability = Durability::Synced);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False once anything has failed (the destination was refused, the
    // temporary file could not be made, a write failed); Error() then gives
    // the reason, a sentence without a full stop.
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
    // file in place.  Fails with the reason (and nothing is left, unless the
    // reason names the file that keeps the new content).
    Result<> Commit();

private:
    // How the destination takes the bytes.
    enum class Target {
        Replaced,    // the temporary file is renamed over it
        Scratch,     // written at the path itself
        Stream,      // a pipe or device, written as the bytes come
        Filled,      // an existing file, which the temporary file's bytes are copied into
        Descriptor,  // a descriptor of this process, which they are written through
    };

    void OpenExisting(const struct stat& st);
    void OpenDescriptor(int descriptor);
    int OpenTemporary(const std::filesystem::path& dir);
    bool OpenStream();
    bool WriteThrough(std::span<const uint8_t> bytes, std::optional<uint64_t> at = std::nullopt);
    bool Flush();
    Result<> CommitReplaced();
    Result<> CommitCopy();
    int CopyInto(int to, bool& touched);
    std::string KeepNewContent();
    void Fail(int err);
    void Fail(std::string reason);
    void Discard();

    std::filesystem::path path_;   // the destination, symbolic links followed
    std::filesystem::path named_;  // the temporary file's name (a scratch file: the path), once it has one
    std::filesystem::path folder_; // the folder of the temporary file
    Durability durability_;
    Target target_ = Target::Replaced;
    int fd_ = -1;                  // the temporary file, or the pipe or device once opened
    int through_ = -1;             // the copy of this process's descriptor
    dev_t device_ = 0;             // the existing file that Filled writes into
    ino_t inode_ = 0;
    std::vector<uint8_t> buffer_;
    uint64_t size_ = 0;
    std::string error_;
};

// The descriptor of this process that `path` names: /dev/stdout (1),
// /dev/stderr (2), /dev/fd/N or /proc/self/fd/N (N), also through symbolic
// links; nothing for any other path.
std::optional<int> OwnDescriptor(const std::filesystem::path& path);

// Flushes to the disk what was written in `folder`'s file system (files
// put in place with Durability::Deferred).  Fails with the system's reason.
Result<> SyncFolder(const std::filesystem::path& folder);

// Things a process leaves in shared folders while it works (the writer's
// temporary files, an export's frame folder) are named `prefix`, the
// process's tag, "-", its process id, "-" and a suffix.  The tag, a few
// letters and digits, stands for the system's boot and the process's PID
// namespace: a process id means something only where they are the same.
// The start of such a name for the process `pid` (by default this one):
std::string LeftoverStem(std::string_view prefix, pid_t pid = 0);

// The one rule for removing what a process left behind: for the name
// `name`, of something owned by `owner`, the suffix after LeftoverStem
// when it may go: it is this user's, its tag is this process's, and its
// process is another one that no longer runs.  Nothing otherwise: the name
// is not of that form (names from versions without a tag are never
// removed), it is another user's, it comes from another boot, host or PID
// namespace, or its maker may still use it.
std::optional<std::string_view> LeftByEndedProcess(std::string_view name, std::string_view prefix, uid_t owner);

// Removes from `folder` what LeftByEndedProcess lets go of among its
// entries of the file type `type` (S_IFREG, S_IFDIR) whose names start
// with `prefix` and end in a suffix that `suffixFits`.  `remove` is handed
// the folder, open, and the entry's name.
void RemoveLeftovers(const std::filesystem::path& folder, std::string_view prefix, mode_t type,
                     const std::function<bool(std::string_view suffix)>& suffixFits,
                     const std::function<void(int folder, const char* name)>& remove);

// The system's folder for temporary files (TMPDIR), else /tmp.
std::filesystem::path TemporaryFolder();

}  // namespace morvane
