#include "tests/support/process.h"

#include "tests/support/udp.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace vorntest {

Child::Child(const std::string &program, const std::vector<std::string> &args,
             const std::string &folder, Input input)
    : folder_(folder) {
    signal(SIGPIPE, SIG_IGN);
    int pipefd[2] = {-1, -1};
    if (input == Input::Pipe && pipe(pipefd) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        if (input == Input::Pipe) {
            dup2(pipefd[0], 0);
            close(pipefd[0]);
            close(pipefd[1]);
        } else if (input == Input::DevNull) {
            int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
            close(null);
        } else {
            close(0);
        }
        int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        close(out);
        close(err);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (input == Input::Pipe) {
        close(pipefd[0]);
        input_ = pipefd[1];
    }
}

Child::~Child() {
    if (running())
        kill();
    closeinput();
}

void Child::write(const std::string &text) {
    if (input_ >= 0 && ::write(input_, text.data(), text.size()) < 0)
        closeinput();
}

void Child::closeinput() {
    if (input_ >= 0)
        close(input_);
    input_ = -1;
}

int Child::wait(double timeout) {
    if (pid_ <= 0)
        return status_;
    double end = now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid_ = -1;
            return status_;
        }
        if (now() >= end)
            return -1;
        usleep(2000);
    }
}

bool Child::running() {
    return pid_ > 0 && wait(0) == -1;
}

void Child::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait(10);
    }
}

std::string Child::output() const {
    std::ifstream in(folder_ + "/stdout.txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

double Child::cputime() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string stat;
    std::getline(in, stat);
    // Fields after the command name, which is in parentheses and may hold blanks.
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; i++) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15)
            stime = std::stol(field);
    }
    return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

} // namespace vorntest
