#include "engine/SafeFile.h"

#include <fcntl.h>
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
    // Closes now and reports the result (a delayed write error can show here).
    int Close()
    {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

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

std::string WriteFileReplacing(const fs::path& requested, std::span<const uint8_t> bytes)
{
    std::error_code ec;
    fs::path path = requested;
    if (fs::is_symlink(path, ec)) {
        const fs::path target = fs::canonical(path, ec);
        if (!ec) path = target;
    }
    if (path.filename().empty()) return SystemReason(EISDIR);
    if (fs::is_directory(path, ec)) return SystemReason(EISDIR);

    fs::path dir = path.parent_path();
    if (dir.empty()) dir = ".";

    // A name of our own in the same folder, so that the rename stays on one
    // file system and replaces the destination in one step.
    static std::atomic<unsigned> counter{0};
    fs::path temp;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temp = dir / ("." + path.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                      std::to_string(counter.fetch_add(1)));
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST) return SystemReason(errno);
    }
    if (raw < 0) return SystemReason(EEXIST);
    FileDescriptor fd(raw);

    auto fail = [&](int err) {
        if (fd.get() >= 0) fd.Close();
        ::unlink(temp.c_str());
        return SystemReason(err);
    };

    // Keep the permissions of a file that is being replaced.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(errno);
    }

    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        if (w == 0) return fail(ENOSPC);
        done += static_cast<size_t>(w);
    }
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS) return fail(errno);
    if (fd.Close() != 0) return fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(errno);
    return {};
}

}  // namespace morvane
