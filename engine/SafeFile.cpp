#include "engine/SafeFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

FileBytes ReadFileBytes(const fs::path& path, uint64_t maxSize)
{
    FileBytes out;
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        out.error = SystemReason(errno);
        return out;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        out.error = SystemReason(errno);
        return out;
    }
    if (S_ISDIR(st.st_mode)) {
        out.error = SystemReason(EISDIR);
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.error = "It is not a regular file";
        return out;
    }
    if (static_cast<uint64_t>(st.st_size) > maxSize) {
        out.error = "The file is too large";
        return out;
    }
    out.bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.bytes.size()) {
        const ssize_t r = ::read(fd.get(), out.bytes.data() + done, out.bytes.size() - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            out.error = SystemReason(errno);
            out.bytes.clear();
            return out;
        }
        if (r == 0) break;  // the file shrank while we read it
        done += static_cast<size_t>(r);
    }
    out.bytes.resize(done);
    return out;
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
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = name.substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 9) continue;
        if (rest.find_first_not_of("0123456789-") != std::string::npos) continue;
        const long pid = std::stol(rest.substr(0, dash));
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // it still runs
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

}  // namespace

std::string WriteFileReplacing(const fs::path& path, std::span<const uint8_t> bytes)
{
    ReplacingFile file(path);
    file.Write(bytes);
    return file.Commit();
}

ReplacingFile::ReplacingFile(const fs::path& requested) : path_(requested)
{
    std::error_code ec;
    if (fs::is_symlink(path_, ec)) {
        const fs::path target = fs::canonical(path_, ec);
        if (!ec) path_ = target;
    }
    if (path_.filename().empty() || fs::is_directory(path_, ec)) {
        Fail(EISDIR);
        return;
    }
    fs::path dir = path_.parent_path();
    if (dir.empty()) dir = ".";
    RemoveStaleTemporaries(dir, path_);

    // An unnamed file in the destination's folder, so that it is put in
    // place on the same file system, replacing the destination in one step.
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const int err = errno;
        // File systems (and kernels) without unnamed files refuse with one
        // of these; anything else is the folder's own failure.
        if (err != EOPNOTSUPP && err != EISDIR && err != EINVAL) {
            Fail(err);
            return;
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
            return;
        }
    }

    // Keep the permissions of a file that is being replaced.
    struct stat old {};
    if (::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (::fchmod(fd_, old.st_mode & 07777) != 0) Fail(errno);
    }
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

void ReplacingFile::Fail(int err)
{
    if (error_.empty()) error_ = SystemReason(err);
    Discard();
}

// Appends the bytes to the file, or with `at` writes them from that offset
// on (over bytes already written).
bool ReplacingFile::WriteThrough(std::span<const uint8_t> bytes, std::optional<uint64_t> at)
{
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
    return Flush() && WriteThrough(bytes, offset);
}

std::string ReplacingFile::Commit()
{
    if (!Flush()) return error_;
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(errno);
        return error_;
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
            return error_;
        }
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Fail(errno);
        return error_;
    }
    if (::rename(named_.c_str(), path_.c_str()) != 0) {
        Fail(errno);
        return error_;
    }
    named_.clear();
    return {};
}

}  // namespace morvane
