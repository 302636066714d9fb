// A child process for tests: a built program started in a folder of its own, with standard
// input on a pipe (or closed, or /dev/null) and standard output and error written to files
// in that folder.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace vorntest {

enum class Input { Pipe, Closed, DevNull };

class Child {
  public:
    Child(const std::string &program, const std::vector<std::string> &args,
          const std::string &folder, Input input = Input::Pipe);
    ~Child(); // a child still running is killed
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool started() const {
        return pid_ > 0;
    }
    pid_t pid() const {
        return pid_;
    }
    void write(const std::string &text); // to standard input
    void closeinput();
    // Waits up to timeout seconds; the exit status, -1 while still running, or 128 + the
    // signal that ended it.
    int wait(double timeout);
    bool running();
    void kill();
    std::string output() const; // standard output so far
    double cputime() const;     // user + system seconds so far (while running)

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int status_ = -1;
    std::string folder_;
};

} // namespace vorntest
