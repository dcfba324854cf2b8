#include "platform/sane/ReaderThreads.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace folioray::sane {

namespace {

enum class NewThreads { None, Resting, Running };

NewThreads LookAtNewThreads(const std::vector<long>& before) {
    NewThreads seen = NewThreads::None;
    for (long tid : ThreadIds()) {
        if (std::find(before.begin(), before.end(), tid) != before.end()) continue;
        seen = NewThreads::Resting;
        std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t paren = line.rfind(')');
        // The state follows the command name: R running, S/D sleeping, Z/X ended.
        if (paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'R') {
            return NewThreads::Running;
        }
    }
    return seen;
}

}  // namespace

std::vector<long> ThreadIds() {
    std::vector<long> ids;
#if defined(__linux__)
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(tasks)) {
            const long tid = std::strtol(e->d_name, nullptr, 10);
            if (tid > 0) ids.push_back(tid);
        }
        ::closedir(tasks);
    }
#endif
    return ids;
}

void WaitForNewThreadsToRest(const std::vector<long>& before, std::chrono::milliseconds bound,
                             std::chrono::microseconds step) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    // Two quiet looks in a row, a moment apart, so that a thread between two calls is seen.
    for (int quiet = 0; std::chrono::steady_clock::now() < deadline;) {
        const NewThreads seen = LookAtNewThreads(before);
        if (seen == NewThreads::None) return;
        quiet = seen == NewThreads::Resting ? quiet + 1 : 0;
        if (quiet == 2) return;
        std::this_thread::sleep_for(step);
    }
}

}  // namespace folioray::sane
