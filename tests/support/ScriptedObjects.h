#pragma once
// A stand-in PDF translation object: it records every dispatch call (and what the "@FILE"
// argument's file held at that moment) and, when told to, writes the output file named
// by dispid 22 on the final call.
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ports/ObjectFactory.h"
#include "runtime/VbError.h"

namespace folioray {

struct DispatchLog {
    std::vector<std::pair<int32_t, std::vector<std::string>>> calls;
    std::string listFileContent;  // the interaction file as read at dispid 20
    int released = 0;
};

class RecordingDispatch : public Dispatch {
  public:
    RecordingDispatch(std::shared_ptr<DispatchLog> log, bool writeOutput, int32_t failDispid = -1)
        : log_(std::move(log)), writeOutput_(writeOutput), failDispid_(failDispid) {}
    ~RecordingDispatch() override { ++log_->released; }

    void Invoke(int32_t dispid, const std::vector<std::string>& args) override {
        log_->calls.emplace_back(dispid, args);
        if (dispid == 20 && !args.empty() && !args[0].empty() && args[0][0] == '@') {
            std::ifstream f(args[0].substr(1), std::ios::binary);
            log_->listFileContent.assign(std::istreambuf_iterator<char>(f), {});
        }
        if (dispid == 22 && !args.empty()) output_ = args[0];
        if (dispid == failDispid_) throw VbError(5);
        if (dispid == 0 && writeOutput_ && !output_.empty()) {
            std::ofstream(output_, std::ios::binary) << "%PDF-1.3 stand-in\n";
        }
    }

  private:
    std::shared_ptr<DispatchLog> log_;
    bool writeOutput_;
    int32_t failDispid_;
    std::string output_;
};

}  // namespace folioray
