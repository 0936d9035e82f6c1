#include "engine/SafeFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// The start of the writer's hidden temporary names; the rest is the
// process's tag and id (LeftoverStem) and a counter, so that a name stays
// short whatever the destination's.
constexpr char kTemporaryPrefix[] = ".morvane-";

// The most symbolic links the system follows in one name.
constexpr int kMostLinks = 40;

constexpr char kReadOnly[] = "The file is read-only";
constexpr char kLinkLoop[] =
    "The name leads through a loop of symbolic links, or through more of them than the system follows";

// The text of a small system file, whose size the system does not tell.
std::string SystemText(const char* path)
{
    FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return {};
    char text[256];
    ssize_t n;
    do {
        n = ::read(fd.get(), text, sizeof text);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

// Twelve hexadecimal digits that stand for this boot of this machine (its
// boot id, or its host name where that cannot be read) and this process's
// PID namespace.
const std::string& ProcessTag()
{
    static const std::string tag = [] {
        std::string where = SystemText("/proc/sys/kernel/random/boot_id");
        if (where.empty()) {
            char host[256] = {};
            ::gethostname(host, sizeof host - 1);
            where = host;
        }
        struct stat ns {};
        if (::stat("/proc/self/ns/pid", &ns) == 0)
            where += "/" + std::to_string(ns.st_dev) + ":" + std::to_string(ns.st_ino);
        uint64_t hash = 14695981039346656037u;  // 64-bit FNV-1a
        for (const unsigned char c : where) hash = (hash ^ c) * 1099511628211u;
        char digits[17];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
        return std::string(digits, 12);
    }();
    return tag;
}

fs::path FolderOf(const fs::path& path)
{
    fs::path dir = path.parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

fs::path TemporaryName(const fs::path& dir)
{
    static std::atomic<unsigned> counter{0};
    return dir / (LeftoverStem(kTemporaryPrefix) + std::to_string(counter.fetch_add(1)));
}

// Removes the temporary files in `dir` that this user's processes which no
// longer run left behind (killed while they saved, where no unnamed file
// was used).
void RemoveStaleTemporaries(const fs::path& dir)
{
    RemoveLeftovers(
        dir, kTemporaryPrefix, S_IFREG,
        [](std::string_view counter) {
            return !counter.empty() && counter.find_first_not_of("0123456789") == std::string_view::npos;
        },
        [](int folder, const char* name) { ::unlinkat(folder, name, 0); });
}

// Gives the unnamed file open as `fd` the name `name`; the system's reason
// when it cannot (0 when it did).
int LinkUnnamed(int fd, const fs::path& name)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    const int err = errno;
    // Without /proc the descriptor itself can be linked, by a process that
    // is allowed to.
    if (err == ENOENT && ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    return err;
}

}  // namespace

std::string LeftoverStem(std::string_view prefix, pid_t pid)
{
    return std::string(prefix) + ProcessTag() + "-" + std::to_string(pid > 0 ? pid : ::getpid()) + "-";
}

std::optional<std::string_view> LeftByEndedProcess(std::string_view name, std::string_view prefix, uid_t owner)
{
    if (owner != ::geteuid()) return std::nullopt;
    if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
    name.remove_prefix(prefix.size());
    const std::string& tag = ProcessTag();
    if (name.substr(0, tag.size()) != tag || name.substr(tag.size(), 1) != "-") return std::nullopt;
    name.remove_prefix(tag.size() + 1);
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

void RemoveLeftovers(const fs::path& folder, std::string_view prefix, mode_t type,
                     const std::function<bool(std::string_view suffix)>& suffixFits,
                     const std::function<void(int folder, const char* name)>& remove)
{
    FileDescriptor at(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (at.get() < 0) return;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        struct stat st {};
        if (::fstatat(at.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || (st.st_mode & S_IFMT) != type) continue;
        const std::optional<std::string_view> suffix = LeftByEndedProcess(name, prefix, st.st_uid);
        if (suffix && suffixFits(*suffix)) remove(at.get(), name.c_str());
    }
}

fs::path TemporaryFolder()
{
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    return ec ? fs::path("/tmp") : dir;
}

namespace {

// The name a symbolic link leads to; empty when it cannot be read.
fs::path NextLink(const fs::path& link)
{
    std::error_code ec;
    const fs::path to = fs::read_symlink(link, ec);
    if (ec || to.empty()) return {};
    return to.is_absolute() ? to : link.parent_path() / to;
}

// The file a chain of symbolic links leads to, whether it exists or not;
// the path itself when it is no link.  Nothing for a chain longer than the
// system follows.
std::optional<fs::path> LinkTarget(fs::path path)
{
    std::error_code ec;
    for (int hops = 0; fs::is_symlink(path, ec); ++hops) {
        if (hops == kMostLinks) return std::nullopt;
        fs::path next = NextLink(path);
        if (next.empty()) break;
        path = std::move(next);
    }
    return path;
}

// The descriptor that `path` itself names, a link there not followed.
std::optional<int> DescriptorNamed(const fs::path& path)
{
    std::error_code ec;
    const fs::path whole = fs::absolute(path, ec).lexically_normal();
    if (ec) return std::nullopt;
    if (whole == "/dev/stdout") return 1;
    if (whole == "/dev/stderr") return 2;
    const std::string name = whole.filename().string();
    if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    // The folder of this process's descriptors, under any of its names.
    const fs::path folder = whole.parent_path();
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd";
    if (folder == "/dev/fd" || folder == "/proc/self/fd" || folder == own || fs::canonical(folder, ec) == own)
        return std::stoi(name);
    return std::nullopt;
}

// Why a file could not be opened for writing, by the system's reason.
std::string OpeningReason(int err) { return err == EACCES || err == EPERM ? kReadOnly : SystemReason(err); }

// Writes all of `bytes` into `fd`, at the offset `at` when one is given,
// again after an interruption; the system's reason when it cannot (0 when
// it did).  `done` counts the bytes that went in.
int WriteAll(int fd, std::span<const uint8_t> bytes, std::optional<uint64_t> at, size_t& done)
{
    done = 0;
    while (done < bytes.size()) {
        const uint8_t* from = bytes.data() + done;
        const size_t left = bytes.size() - done;
        const ssize_t w = at ? ::pwrite(fd, from, left, static_cast<off_t>(*at + done)) : ::write(fd, from, left);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return errno;
        if (w == 0) return ENOSPC;
        done += static_cast<size_t>(w);
    }
    return 0;
}

// Why this process may not write the existing file `path` whose status is
// `st`; empty when it may.  A file without any write permission is
// read-only for everyone: the one user the system would let write it
// anyway, root, is refused too, as the file's owner asked.
std::string WriteRefusal(const fs::path& path, const struct stat& st)
{
    int err = 0;
    if ((st.st_mode & 0222) == 0)
        err = EACCES;
    else if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        err = errno;
    return err == 0 ? std::string() : OpeningReason(err);
}

// Whether the file has an access list, which a new file would not have.
bool HasAccessList(const fs::path& path)
{
    return ::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

}  // namespace

std::optional<int> OwnDescriptor(const fs::path& path)
{
    fs::path name = path;
    for (int hops = 0;; ++hops) {
        if (const std::optional<int> descriptor = DescriptorNamed(name)) return descriptor;
        std::error_code ec;
        if (hops == kMostLinks || !fs::is_symlink(name, ec)) return std::nullopt;
        name = NextLink(name);
        if (name.empty()) return std::nullopt;
    }
}

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
    if (const std::optional<int> descriptor = OwnDescriptor(path_)) {
        OpenDescriptor(*descriptor);
        return;
    }
    // What the path names now, symbolic links followed: a named pipe or a
    // device is written into as it is (it cannot be replaced, and must not
    // be); anything else that is not a regular file is refused, as is a name
    // that the system itself would not follow to its end (LinkTarget).
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    if (exists) {
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
            target_ = Target::Stream;  // opened at the first write: a pipe waits for its reader
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            Fail(NotAFile(st.st_mode));
            return;
        }
    }
    const std::optional<fs::path> end = LinkTarget(path_);
    if (!end) {
        Fail(kLinkLoop);
        return;
    }
    path_ = *end;
    if (durability_ == Durability::Scratch) {
        target_ = Target::Scratch;
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            Fail(errno);
            return;
        }
        named_ = path_;  // removed unless committed
        return;
    }
    if (exists) {
        OpenExisting(st);
    } else if (const int err = OpenTemporary(FolderOf(path_))) {
        Fail(err);
    }
}

// Prepares the replacement of the existing regular file `path_` whose
// status is `st`.
void ReplacingFile::OpenExisting(const struct stat& st)
{
    if (std::string refusal = WriteRefusal(path_, st); !refusal.empty()) {
        Fail(std::move(refusal));
        return;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    // A file with other names or an access list is written into, so that
    // it stays the one file with all of them.
    if (st.st_nlink > 1 || HasAccessList(path_)) target_ = Target::Filled;
    int err = OpenTemporary(FolderOf(path_));
    if (err == EACCES || err == EPERM) {
        // A folder this process may not write into: its file can still be
        // written, with the new bytes kept meanwhile where files may be made.
        target_ = Target::Filled;
        err = OpenTemporary(TemporaryFolder());
    }
    if (err != 0) {
        Fail(err);
        return;
    }
    if (target_ == Target::Filled) return;
    // The new file is the old one in all but its inode: the same owner,
    // group and permissions (the owner first: a change of owner may clear
    // the mode's set-id bits).  Where this process may not give it that
    // owner or group, the old file is written into instead.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
        target_ = Target::Filled;
        return;
    }
    if (::fchmod(fd_, st.st_mode & 07777) != 0) Fail(errno);
}

// Prepares writing through this process's open descriptor `descriptor`: a
// pipe, a device or a socket as the bytes come; a regular file at once at
// the end, at the descriptor's offset (at the file's end when it appends).
void ReplacingFile::OpenDescriptor(int descriptor)
{
    const int flags = ::fcntl(descriptor, F_GETFL);
    struct stat st {};
    if (flags < 0 || ::fstat(descriptor, &st) != 0) {
        Fail(errno);
        return;
    }
    if ((flags & O_ACCMODE) == O_RDONLY) {
        Fail("It is open for reading only");
        return;
    }
    if (S_ISDIR(st.st_mode)) {
        Fail(NotAFile(st.st_mode));
        return;
    }
    const int copy = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
    if (copy < 0) {
        Fail(errno);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        target_ = Target::Stream;
        fd_ = copy;
        return;
    }
    target_ = Target::Descriptor;
    through_ = copy;
    if (const int err = OpenTemporary(TemporaryFolder())) Fail(err);
}

// Opens a new temporary file in `dir`; the system's reason when it cannot
// (0 when it did).
int ReplacingFile::OpenTemporary(const fs::path& dir)
{
    folder_ = dir;
    RemoveStaleTemporaries(dir);

    // An unnamed file, in the destination's folder where it is to be put in
    // place, so that it replaces the destination in one step.
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0) return 0;
    const int err = errno;
    // File systems (and kernels) without unnamed files refuse with one of
    // these; anything else is the folder's own failure.
    if (err != EOPNOTSUPP && err != EISDIR && err != EINVAL) return err;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        named_ = TemporaryName(dir);
        fd_ = ::open(named_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ >= 0) return 0;
    named_.clear();
    return errno;
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
    if (through_ >= 0) ::close(through_);
    through_ = -1;
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
    if (target_ == Target::Stream && !bytes.empty() && !OpenStream()) return false;
    if (!ok()) return false;
    size_t done = 0;
    if (const int err = WriteAll(fd_, bytes, at, done)) Fail(err);
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
    if (target_ == Target::Stream) {
        Fail("This kind of file cannot be written into a pipe or a device");
        return false;
    }
    return Flush() && WriteThrough(bytes, offset);
}

Result<> ReplacingFile::Commit()
{
    if (!Flush()) return Failure(error_);
    switch (target_) {
    case Target::Replaced:
        return CommitReplaced();
    case Target::Filled:
    case Target::Descriptor:
        return CommitCopy();
    case Target::Stream:
    case Target::Scratch:
        break;
    }
    // Nothing to put in place; a pipe's reader sees the end of the bytes
    // when it is closed.
    if (target_ == Target::Stream && !OpenStream()) return Failure(error_);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 && errno != EINTR) {
        Fail(errno);
        return Failure(error_);
    }
    named_.clear();
    return {};
}

Result<> ReplacingFile::CommitReplaced()
{
    if (durability_ == Durability::Synced && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(errno);
        return Failure(error_);
    }
    if (named_.empty()) {
        // Give the unnamed file a hidden name beside the destination, then
        // move it over the destination (a link cannot replace a file).
        int err = EEXIST;
        for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
            named_ = TemporaryName(folder_);
            err = LinkUnnamed(fd_, named_);
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

// Copies the whole temporary file into the existing file (from its start,
// then cut to the new length) or through the descriptor (at its offset);
// the temporary file goes only once the destination holds every byte.
Result<> ReplacingFile::CommitCopy()
{
    if (target_ == Target::Filled) {
        // Opened only now, and checked to be the file that was there: one
        // that has become another file (or a pipe) meanwhile is not written.
        through_ = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (through_ < 0) {
            const int err = errno;
            Fail(OpeningReason(err));
            return Failure(error_);
        }
        struct stat st {};
        if (::fstat(through_, &st) != 0 || st.st_dev != device_ || st.st_ino != inode_) {
            Fail("Another file took its name while it was being saved");
            return Failure(error_);
        }
        ::fcntl(through_, F_SETFL, ::fcntl(through_, F_GETFL) & ~O_NONBLOCK);
    }
    bool touched = false;
    int err = CopyInto(through_, touched);
    const int closed = ::close(through_);
    through_ = -1;
    if (err == 0 && closed != 0 && errno != EINTR) err = errno;
    if (err == 0) {
        Discard();
        return {};
    }
    if (!touched) {
        Fail(err);
        return Failure(error_);
    }
    // The destination now holds part of the new bytes: they are all kept,
    // under a name the message gives.
    const std::string kept = KeepNewContent();
    std::string reason = SystemReason(err) + ": the file holds only part of the new content";
    if (!kept.empty()) reason += ", which is kept whole in \"" + kept + "\"";
    Fail(std::move(reason));
    return Failure(error_);
}

// Copies the temporary file into `to`; the system's reason when it cannot
// (0 when it did).  `touched` tells whether `to` was changed at all.
int ReplacingFile::CopyInto(int to, bool& touched)
{
    const bool positioned = target_ == Target::Filled;
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(size_, uint64_t(1) << 20)));
    for (uint64_t at = 0; at < size_;) {
        const ssize_t r = ::pread(fd_, chunk.data(), static_cast<size_t>(std::min<uint64_t>(chunk.size(), size_ - at)),
                                  static_cast<off_t>(at));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return EIO;  // the temporary file is shorter than what was written
        size_t done = 0;
        const int err = WriteAll(to, std::span(chunk.data(), static_cast<size_t>(r)),
                                 positioned ? std::optional<uint64_t>(at) : std::nullopt, done);
        touched = touched || done > 0;
        if (err) return err;
        at += static_cast<uint64_t>(r);
    }
    if (positioned && ::ftruncate(to, static_cast<off_t>(size_)) != 0) {
        touched = true;
        return errno;
    }
    if (durability_ == Durability::Synced && ::fsync(to) != 0 && errno != EINVAL && errno != EROFS) return errno;
    return 0;
}

// Gives the temporary file a lasting name in its folder; that name, or
// empty when none could be given.
std::string ReplacingFile::KeepNewContent()
{
    static std::atomic<unsigned> counter{0};
    std::string extension = path_.extension().string();
    if (extension.size() > 16) extension.clear();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path kept = folder_ / ("morvane-unsaved-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(counter.fetch_add(1)) + extension);
        const int err = named_.empty() ? LinkUnnamed(fd_, kept)
                                       : (::link(named_.c_str(), kept.c_str()) == 0 ? 0 : errno);
        if (err == 0) return kept.string();
        if (err != EEXIST) break;
    }
    return {};
}

}  // namespace morvane
