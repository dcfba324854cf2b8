#pragma once
// Runs a program without a shell (a bare name is looked up on PATH) and collects its exit
// status and output.
#include <string>
#include <vector>

namespace folioray::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `env` entries are NAME=VALUE pairs added to the current environment.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env = {}, int timeoutSeconds = 60);

}  // namespace folioray::test
