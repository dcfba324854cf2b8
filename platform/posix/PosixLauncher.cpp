#include "platform/posix/PosixLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace folioray {

namespace {

// Frees the spawn settings on every way out.
struct SpawnSetup {
    posix_spawnattr_t attr{};
    posix_spawn_file_actions_t actions{};
    bool attrOk = false;
    bool actionsOk = false;
    ~SpawnSetup() {
        if (actionsOk) posix_spawn_file_actions_destroy(&actions);
        if (attrOk) posix_spawnattr_destroy(&attr);
    }
};

}  // namespace

bool PosixLauncher::StartDetached(const std::string& path) {
    lastError_ = 0;
    auto fail = [this](int e) {
        lastError_ = e;
        return false;
    };
    if (path.empty() || path.find('\0') != std::string::npos) return fail(ENOENT);

    // Everything is prepared before the fork: the intermediate child only spawns and exits.
    SpawnSetup s;
    if (posix_spawnattr_init(&s.attr) != 0) return fail(ENOMEM);
    s.attrOk = true;
    if (posix_spawn_file_actions_init(&s.actions) != 0) return fail(ENOMEM);
    s.actionsOk = true;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&s.attr, &none);
    posix_spawnattr_setsigdefault(&s.attr, &all);
    posix_spawnattr_setflags(
        &s.attr,
        static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
    // No terminal, and none of our descriptors (sockets, files, the pipe a caller reads our
    // output from, which would otherwise stay open as long as the program runs).
    posix_spawn_file_actions_addopen(&s.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&s.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&s.actions, 1, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&s.actions, 3);
#endif
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};

    // The intermediate child reports the spawn's result through a pipe, which works even
    // when the host ignores SIGCHLD; its exit hands the program to init.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return fail(errno);
    const pid_t mid = ::fork();
    if (mid < 0) {
        const int e = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return fail(e);
    }
    if (mid == 0) {
        ::close(fds[0]);
        pid_t pid = 0;
        int rc = posix_spawn(&pid, path.c_str(), &s.actions, &s.attr, argv, environ);
        ssize_t w;
        do {
            w = ::write(fds[1], &rc, sizeof rc);
        } while (w < 0 && errno == EINTR);
        ::_exit(0);
    }
    ::close(fds[1]);
    int rc = EIO;
    size_t got = 0;
    auto* p = reinterpret_cast<char*>(&rc);
    while (got < sizeof rc) {
        ssize_t n = ::read(fds[0], p + got, sizeof rc - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fds[0]);
    if (got != sizeof rc) rc = EIO;
    int status = 0;
    while (::waitpid(mid, &status, 0) < 0 && errno == EINTR) {
    }
    lastError_ = rc;
    return rc == 0;
}

}  // namespace folioray
