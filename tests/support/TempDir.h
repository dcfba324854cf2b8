#pragma once
// A fresh folder per test, removed afterwards.
#include <string>

namespace folioray::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // no trailing "/"
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The folder of the support files (scripts, configurations) in the source tree.
std::string SupportDir();

}  // namespace folioray::test
