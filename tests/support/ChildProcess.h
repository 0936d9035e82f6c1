// A program started as a child of a test, with the signals' standard
// actions (none ignored, none blocked) whatever the test program's, and
// some variables of the environment replaced.  Header only.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace morvane::test {

// Starts `argv` (argv[0] the program's path) with `setEnv` ("NAME=value")
// in place of those variables; the child's process id, or -1.
inline pid_t StartChild(const std::vector<std::string>& argv, const std::vector<std::string>& setEnv = {})
{
    std::vector<std::string> env = setEnv;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const std::string& s : setEnv) replaced = replaced || std::strncmp(*e, s.c_str(), s.find('=') + 1) == 0;
        if (!replaced) env.emplace_back(*e);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (std::string& e : env) envp.push_back(e.data());
    args.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int s = 1; s < NSIG; ++s) ::signal(s, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

// Waits at most `seconds` for the child to end: its status, or -1 after
// killing a child that did not end.
inline int WaitAtMost(pid_t child, int seconds)
{
    int status = 0;
    for (int i = 0; i < seconds * 100; ++i) {
        if (::waitpid(child, &status, WNOHANG) == child) return status;
        ::usleep(10000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -1;
}

}  // namespace morvane::test
