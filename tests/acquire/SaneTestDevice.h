#pragma once
// The tests' own SANE configuration (tests/support/sane), offering only the "test" backend.
#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace folioray::test {

inline std::string SaneConfigDir() {
    return SupportDir() + "/sane";
}

// A configuration that lists no device at all.
inline std::string EmptySaneConfigDir() {
    return SupportDir() + "/sane-none";
}

// The test backend loses a reader buffer whenever a scan is cancelled mid-page (and in
// three-pass mode even without one). Kept loaded after sane_exit, those leaks are told
// apart by module name and suppressed (tests/support/lsan.supp).
inline void KeepSaneTestBackendLoaded() {
    Dl_info info{};
    void* sane = ::dlopen("libsane.so.1", RTLD_NOW | RTLD_GLOBAL);  // the scanner opens it later
    void* init = sane ? ::dlsym(sane, "sane_init") : nullptr;
    if (!init || !::dladdr(init, &info) || !info.dli_fname) return;
    std::string dir = info.dli_fname;
    dir.erase(dir.find_last_of('/') + 1);
    ::dlopen((dir + "sane/libsane-test.so.1").c_str(), RTLD_NOW | RTLD_NODELETE);
}

// Must run before a scanner first talks to SANE.
inline void UseSaneTestDevice() {
    ::setenv("SANE_CONFIG_DIR", SaneConfigDir().c_str(), 1);
    KeepSaneTestBackendLoaded();
}

// For command-line runs under the leak checker: the backend's losses cannot be told
// apart there (it is unloaded before the check), so leak checking is off in the child.
inline std::vector<std::string> SaneChildEnv(const std::string& configDir) {
    return {"SANE_CONFIG_DIR=" + configDir, "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"};
}

inline std::string SaneEnv() {
    return "SANE_CONFIG_DIR=" + SaneConfigDir();
}

}  // namespace folioray::test
