// Work done as another user of the machine: a child process takes the
// user's ids and groups, runs the work and reports one text back.  Taking
// another user's ids needs root; tests that need a second user skip when
// they run without it.  Header only.
//
//   const OtherUser nobody{65534, 65534, {}};
//   const std::optional<std::string> error = RunAs(nobody, [&] { return WriteFileReplacing(path, bytes).error; });
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane::test {

struct OtherUser {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;  // the supplementary groups
};

// The machine's unprivileged user.
inline const OtherUser kNobody{65534, 65534, {}};

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// Runs `work` in a child process as `user`: what it returned, or nothing
// when the child could not become that user or did not end normally.
inline std::optional<std::string> RunAs(const OtherUser& user, const std::function<std::string()>& work)
{
    int out[2];
    if (::pipe(out) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(out[0]);
        if (::setgroups(user.groups.size(), user.groups.data()) != 0 || ::setgid(user.gid) != 0 ||
            ::setuid(user.uid) != 0)
            ::_exit(111);
        const std::string text = work();
        for (size_t done = 0; done < text.size();) {
            const ssize_t w = ::write(out[1], text.data() + done, text.size() - done);
            if (w <= 0) ::_exit(112);
            done += static_cast<size_t>(w);
        }
        ::_exit(0);
    }
    ::close(out[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

// Whether `user` can reach the folder `dir` (every folder above it lets
// them through).
inline bool CanReach(const OtherUser& user, const std::filesystem::path& dir)
{
    return RunAs(user, [&] { return std::string(::access(dir.c_str(), X_OK) == 0 ? "yes" : "no"); }) == "yes";
}

}  // namespace morvane::test
