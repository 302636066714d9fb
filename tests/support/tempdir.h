// A temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

namespace vorntest {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const {
        return path_;
    }
    std::string file(const std::string &name) const {
        return path_ + "/" + name;
    }
    bool exists(const std::string &name) const;
    std::string read(const std::string &name) const; // "" when missing

  private:
    std::string path_;
};

// The path of a built program.
std::string binpath(const std::string &program);

} // namespace vorntest
