#include "media/FrameFolder.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "engine/SafeFile.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

constexpr char kPrefix[] = "morvane-frames-";

// The folder of the export in progress, for the signal handler: its path
// while `g_registered` is 1.
char g_folder[PATH_MAX];
volatile sig_atomic_t g_registered = 0;

// Removes the files in the open folder `fd`.  Makes only calls that a
// signal handler may make: the entries are read with the system call
// itself, not through the C library's reader.
void RemoveFiles(int fd)
{
    if (::lseek(fd, 0, SEEK_SET) != 0) return;
    alignas(8) char entries[4096];
    long n;
    while ((n = ::syscall(SYS_getdents64, fd, entries, sizeof entries)) > 0) {
        // Each entry: 8 bytes inode, 8 bytes offset, 2 bytes record length,
        // 1 byte type, the name ending in a zero byte.
        for (long pos = 0; pos + 19 < n;) {
            uint16_t length;
            std::memcpy(&length, entries + pos + 16, sizeof length);
            const char* entry = entries + pos + 19;
            const bool dots = entry[0] == '.' && (entry[1] == 0 || (entry[1] == '.' && entry[2] == 0));
            if (!dots) ::unlinkat(fd, entry, 0);
            if (length == 0) break;
            pos += length;
        }
    }
}

// Removes every file in the folder `name` (relative to the open folder
// `at`, or absolute), then the folder; a folder that holds more than files
// stays.  Safe in a signal handler.
void RemoveFolder(int at, const char* name)
{
    const int fd = ::openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    // Entries removed while the folder is read may hide others from that
    // pass, and another thread may still be making a frame: empty it again
    // while something is left.
    for (int pass = 0; pass < 16; ++pass) {
        RemoveFiles(fd);
        if (::unlinkat(at, name, AT_REMOVEDIR) == 0 || errno != ENOTEMPTY) break;
    }
    ::close(fd);
}

// Whether `suffix` is what mkdtemp puts after a frame folder's "-".
bool IsFolderSuffix(std::string_view suffix)
{
    return suffix.size() == 6 &&
           std::all_of(suffix.begin(), suffix.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// Removes the frame folders in `base` that this user's processes which no
// longer run left behind.
void RemoveStaleFolders(const fs::path& base)
{
    RemoveLeftovers(base, kPrefix, S_IFDIR, IsFolderSuffix, RemoveFolder);
}

void RemoveFolderThenEnd(int signal)
{
    if (g_registered) RemoveFolder(AT_FDCWD, g_folder);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    // Delivered when the handler returns: the process ends as the signal
    // says, and whoever waits for it sees that signal.
    ::raise(signal);
}

}  // namespace

Result<FrameFolder> FrameFolder::Create()
{
    std::error_code ec;
    const fs::path base = fs::absolute(TemporaryFolder(), ec);
    RemoveStaleFolders(base);
    std::string pattern = (base / (LeftoverStem(kPrefix) + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) return Failure(std::strerror(errno));
    return FrameFolder(pattern);
}

FrameFolder::FrameFolder(fs::path folder) : folder_(std::move(folder))
{
    const std::string& path = folder_.native();
    if (path.size() >= sizeof g_folder) return;
    g_registered = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(g_folder, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_registered = 1;
}

FrameFolder::FrameFolder(FrameFolder&& other) noexcept : folder_(std::move(other.folder_)) { other.folder_.clear(); }

FrameFolder::~FrameFolder()
{
    if (folder_.empty()) return;
    if (g_registered && folder_.native() == g_folder) g_registered = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    RemoveFolder(AT_FDCWD, folder_.c_str());
}

void RemoveFrameFolderOnSignals()
{
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
    struct sigaction handler {};
    handler.sa_handler = RemoveFolderThenEnd;
    sigemptyset(&handler.sa_mask);
    for (int s : signals) sigaddset(&handler.sa_mask, s);
    for (int s : signals) {
        struct sigaction old {};
        if (::sigaction(s, nullptr, &old) != 0) continue;
        if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;  // ignored, or handled already
        ::sigaction(s, &handler, nullptr);
    }
}

}  // namespace morvane
