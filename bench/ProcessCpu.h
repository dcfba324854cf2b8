#pragma once
// CPU time of every thread of this process so far, user and system, in seconds: work handed
// to other threads counts too.
#include <sys/resource.h>

namespace folioray::bench {

inline double ProcessCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

}  // namespace folioray::bench
