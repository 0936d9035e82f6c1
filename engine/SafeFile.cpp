#include "engine/SafeFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace morvane {

namespace {

std::string SystemReason(int err) { return std::strerror(err); }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

namespace {

// Why a path that names something other than a regular file is not read
// or replaced.
std::string NotAFile(mode_t mode)
{
    if (S_ISDIR(mode)) return "It is a folder, not a file";
    if (S_ISFIFO(mode)) return "It is a named pipe, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "It is a device, not a file";
    if (S_ISSOCK(mode)) return "It is a socket, not a file";
    return "It is not a regular file";
}

std::string TooLarge(uint64_t maxSize)
{
    return "The file is larger than the " + std::to_string(maxSize >> 20) + " MiB this program reads";
}

}  // namespace

InputFile::InputFile(const fs::path& path, uint64_t maxSize)
{
    // The type is known before anything is opened: opening a named pipe
    // waits for a writer, and opening a device may do anything.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error_ = SystemReason(errno);
        return;
    }
    auto refuse = [&](const struct stat& s) {
        refused_ = true;
        error_ = S_ISREG(s.st_mode) ? TooLarge(maxSize) : NotAFile(s.st_mode);
    };
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxSize) {
        refuse(st);
        return;
    }
    // Should the path have changed in the meantime, the open still does not
    // wait, and what it opened is checked again.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = SystemReason(errno);
        return;
    }
    if (::fstat(fd_, &st) != 0) {
        error_ = SystemReason(errno);
    } else if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxSize) {
        refuse(st);
    } else {
        size_ = static_cast<uint64_t>(st.st_size);
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        return;
    }
    ::close(fd_);
    fd_ = -1;
}

InputFile::~InputFile()
{
    if (fd_ >= 0) ::close(fd_);
}

bool InputFile::ReadAt(uint64_t offset, void* out, size_t size)
{
    if (fd_ < 0 || offset > size_ || size > size_ - offset) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t r = ::pread(fd_, static_cast<uint8_t*>(out) + done, size - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;  // an error, or the file shrank
        done += static_cast<size_t>(r);
    }
    return true;
}

Result<std::vector<uint8_t>> InputFile::Read(uint64_t size)
{
    if (!ok()) return Failure(error_);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min(size, size_)));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t r = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return Failure(SystemReason(errno));
        }
        if (r == 0) break;  // the file shrank while we read it
        done += static_cast<size_t>(r);
    }
    bytes.resize(done);
    return bytes;
}

std::FILE* InputFile::TakeStream()
{
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return nullptr;
    std::FILE* stream = ::fdopen(fd_, "rb");
    if (stream) fd_ = -1;
    return stream;
}

Result<std::vector<uint8_t>> ReadFileBytes(const fs::path& path, uint64_t maxSize)
{
    InputFile file(path, maxSize);
    return file.Read(file.Size());
}

namespace {

// The hidden temporary names of a destination: "." + its name + ".tmp",
// the writing process's id, "-" and a counter.
std::string TemporaryPrefix(const fs::path& path) { return "." + path.filename().string() + ".tmp"; }

fs::path TemporaryName(const fs::path& dir, const fs::path& path)
{
    static std::atomic<unsigned> counter{0};
    return dir / (TemporaryPrefix(path) + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)));
}

// Removes the temporary files of `path` that processes which no longer run
// left behind (killed while they saved, where no unnamed file was used).
void RemoveStaleTemporaries(const fs::path& dir, const fs::path& path)
{
    const std::string prefix = TemporaryPrefix(path);
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::optional<std::string_view> counter = LeftByEndedProcess(name, prefix);
        if (!counter || counter->find_first_not_of("0123456789-") != std::string_view::npos) continue;
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

}  // namespace

std::optional<std::string_view> LeftByEndedProcess(std::string_view name, std::string_view prefix)
{
    if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
    name.remove_prefix(prefix.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9) return std::nullopt;
    pid_t pid = 0;
    for (const char digit : name.substr(0, dash)) {
        if (digit < '0' || digit > '9') return std::nullopt;
        pid = pid * 10 + (digit - '0');
    }
    if (pid <= 0 || pid == ::getpid()) return std::nullopt;
    if (::kill(pid, 0) == 0 || errno != ESRCH) return std::nullopt;  // it still runs
    return name.substr(dash + 1);
}

namespace {

// The file a chain of symbolic links leads to, whether it exists or not;
// the path itself when it is no link.
fs::path LinkTarget(fs::path path)
{
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(path, ec); ++hops) {
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return path;
}

}  // namespace

Result<> WriteFileReplacing(const fs::path& path, std::span<const uint8_t> bytes, Durability durability)
{
    ReplacingFile file(path, durability);
    file.Write(bytes);
    return file.Commit();
}

Result<> SyncFolder(const fs::path& folder)
{
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::syncfs(fd.get()) != 0) return Failure(SystemReason(errno));
    return {};
}

ReplacingFile::ReplacingFile(const fs::path& requested, Durability durability)
    : path_(requested), durability_(durability)
{
    if (path_.filename().empty()) {
        Fail(NotAFile(S_IFDIR));
        return;
    }
    // What the path names now, symbolic links followed: a named pipe or a
    // device is written into as it is (it cannot be replaced, and must not
    // be); anything else that is not a regular file is refused.
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    if (exists) {
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
            stream_ = true;  // opened at the first write: a pipe waits for its reader
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            Fail(NotAFile(st.st_mode));
            return;
        }
    }
    path_ = LinkTarget(path_);
    if (durability_ == Durability::Scratch) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            Fail(errno);
            return;
        }
        named_ = path_;  // removed unless committed
        return;
    }
    if (!OpenTemporary()) return;

    // Keep the permissions of a file that is being replaced.
    if (exists && ::fchmod(fd_, st.st_mode & 07777) != 0) Fail(errno);
}

bool ReplacingFile::OpenTemporary()
{
    fs::path dir = path_.parent_path();
    if (dir.empty()) dir = ".";
    RemoveStaleTemporaries(dir, path_);

    // An unnamed file in the destination's folder, so that it is put in
    // place on the same file system, replacing the destination in one step.
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
    const int err = errno;
    // File systems (and kernels) without unnamed files refuse with one of
    // these; anything else is the folder's own failure.
    if (err != EOPNOTSUPP && err != EISDIR && err != EINVAL) {
        Fail(err);
        return false;
    }
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        named_ = TemporaryName(dir, path_);
        fd_ = ::open(named_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        const int failure = errno;
        named_.clear();
        Fail(failure);
        return false;
    }
    return true;
}

bool ReplacingFile::OpenStream()
{
    if (fd_ >= 0) return true;
    do {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) Fail(errno);
    return ok();
}

ReplacingFile::~ReplacingFile() { Discard(); }

void ReplacingFile::Discard()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!named_.empty()) ::unlink(named_.c_str());
    named_.clear();
    buffer_.clear();
}

void ReplacingFile::Fail(int err) { Fail(SystemReason(err)); }

void ReplacingFile::Fail(std::string reason)
{
    if (error_.empty()) error_ = std::move(reason);
    Discard();
}

// Appends the bytes to the file, or with `at` writes them from that offset
// on (over bytes already written).
bool ReplacingFile::WriteThrough(std::span<const uint8_t> bytes, std::optional<uint64_t> at)
{
    if (stream_ && !bytes.empty() && !OpenStream()) return false;
    size_t done = 0;
    while (ok() && done < bytes.size()) {
        const uint8_t* from = bytes.data() + done;
        const size_t left = bytes.size() - done;
        const ssize_t w = at ? ::pwrite(fd_, from, left, static_cast<off_t>(*at + done)) : ::write(fd_, from, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
        } else if (w == 0) {
            Fail(ENOSPC);
        } else {
            done += static_cast<size_t>(w);
        }
    }
    return ok();
}

bool ReplacingFile::Flush()
{
    const bool written = WriteThrough(buffer_);
    buffer_.clear();
    return written;
}

bool ReplacingFile::Write(std::span<const uint8_t> bytes)
{
    constexpr size_t kBufferSize = size_t(1) << 16;
    if (!ok()) return false;
    size_ += bytes.size();
    if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
    if (bytes.size() >= kBufferSize) return WriteThrough(bytes);
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return true;
}

bool ReplacingFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes)
{
    if (!ok() || offset > size_ || bytes.size() > size_ - offset) return false;
    if (stream_) {
        Fail("This kind of file cannot be written into a pipe or a device");
        return false;
    }
    return Flush() && WriteThrough(bytes, offset);
}

Result<> ReplacingFile::Commit()
{
    if (!Flush()) return Failure(error_);
    if (stream_ || durability_ == Durability::Scratch) {
        // Nothing to put in place; a pipe's reader sees the end of the
        // bytes when it is closed.
        if (stream_ && !OpenStream()) return Failure(error_);
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0 && errno != EINTR) {
            Fail(errno);
            return Failure(error_);
        }
        named_.clear();
        return {};
    }
    if (durability_ == Durability::Synced && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(errno);
        return Failure(error_);
    }
    if (named_.empty()) {
        // Give the unnamed file a hidden name beside the destination, then
        // move it over the destination (a link cannot replace a file).
        fs::path dir = path_.parent_path();
        if (dir.empty()) dir = ".";
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        int err = EEXIST;
        for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
            named_ = TemporaryName(dir, path_);
            err = 0;
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                err = errno;
                // Without /proc the descriptor itself can be linked, by a
                // process that is allowed to.
                if (err == ENOENT && ::linkat(fd_, "", AT_FDCWD, named_.c_str(), AT_EMPTY_PATH) == 0) err = 0;
            }
        }
        if (err != 0) {
            named_.clear();
            Fail(err);
            return Failure(error_);
        }
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Fail(errno);
        return Failure(error_);
    }
    if (::rename(named_.c_str(), path_.c_str()) != 0) {
        Fail(errno);
        return Failure(error_);
    }
    named_.clear();
    return {};
}

}  // namespace morvane
