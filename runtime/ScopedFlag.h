#pragma once
// A busy flag held for one scope: set on entry, cleared on every way out. Commands that
// pump messages hold one, so that a second run started from a pumped message is seen.
namespace folioray {

class ScopedFlag {
  public:
    explicit ScopedFlag(bool& flag) : flag_(&flag) { flag = true; }
    ~ScopedFlag() { Release(); }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

    // Clears the flag early: before an event whose handler may start the next run.
    void Release() {
        if (flag_) *flag_ = false;
        flag_ = nullptr;
    }

  private:
    bool* flag_;
};

}  // namespace folioray
