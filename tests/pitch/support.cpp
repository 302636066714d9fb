// support.cpp -- helpers for the pitch tests.

#include "tests/pitch/support.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace pitchtest {

static long long msnow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

std::string pitchpath() {
    const char *bin = std::getenv("PITCH_BIN");
    return bin ? bin : PITCH_BIN_DEFAULT;
}

// readsome: append what pitch wrote, waiting at most ms for the first bytes.
static void readsome(PitchProcess &p, int ms) {
    pollfd f{p.out, POLLIN, 0};
    if (poll(&f, 1, ms) <= 0)
        return;
    char buf[4096];
    for (int i = 0; i < 64; i++) {
        ssize_t n = read(p.out, buf, sizeof buf);
        if (n <= 0)
            return;
        p.text.append(buf, static_cast<size_t>(n));
        if (poll(&f, 1, 0) <= 0)
            return;
    }
}

bool startpitch(PitchProcess &p, const std::vector<std::string> &args) {
    int pipefd[2];
    if (pipe(pipefd) < 0)
        return false;
    std::vector<std::string> all = {pitchpath(), "--port", "0", "--bind", "127.0.0.1"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    p.pid = fork();
    if (p.pid == 0) {
        dup2(pipefd[1], 1);
        close(pipefd[0]);
        close(pipefd[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipefd[1]);
    p.out = pipefd[0];
    long long end = msnow() + 5000;
    while (msnow() < end) {
        readsome(p, 100);
        size_t at = p.text.find("listening on port ");
        size_t eol = at == std::string::npos ? at : p.text.find('\n', at);
        if (eol != std::string::npos) {
            p.port = std::atoi(p.text.c_str() + at + 18);
            return p.port > 0;
        }
        int status;
        if (waitpid(p.pid, &status, WNOHANG) == p.pid) {
            p.pid = -1;
            return false;
        }
    }
    return false;
}

bool waitline(PitchProcess &p, const std::string &line, int ms) {
    const std::string want = line + "\n";
    long long end = msnow() + ms;
    auto holds = [&] {
        size_t at = p.text.find(want);
        return at != std::string::npos && (at == 0 || p.text[at - 1] == '\n');
    };
    while (!holds()) {
        if (p.pid < 0 || msnow() > end)
            return false;
        readsome(p, 50);
    }
    return true;
}

int waitexit(PitchProcess &p, int ms) {
    if (p.pid < 0)
        return -1;
    long long end = msnow() + ms;
    int status = 0;
    while (true) {
        readsome(p, 20);
        if (waitpid(p.pid, &status, WNOHANG) == p.pid)
            break;
        if (msnow() > end)
            return -2;
    }
    readsome(p, 50);
    close(p.out);
    p.out = -1;
    p.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int stoppitch(PitchProcess &p) {
    if (p.pid < 0)
        return -1;
    kill(p.pid, SIGTERM);
    int r = waitexit(p, 5000);
    if (r == -2) {
        kill(p.pid, SIGKILL);
        waitpid(p.pid, nullptr, 0);
        close(p.out);
        p.pid = -1;
        return -1;
    }
    return r;
}

bool openclient(Client &c, int port) {
    c.fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (c.fd < 0)
        return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(c.fd, reinterpret_cast<sockaddr *>(&local), sizeof local) < 0)
        return false;
    c.main.sin_family = AF_INET;
    c.main.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    c.main.sin_port = htons(static_cast<uint16_t>(port));
    c.reply = c.main;
    return true;
}

int localport(const Client &c) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(c.fd, reinterpret_cast<sockaddr *>(&a), &len) < 0)
        return -1;
    return ntohs(a.sin_port);
}

void closeclient(Client &c) {
    if (c.fd >= 0)
        close(c.fd);
    c.fd = -1;
}

static void sendto_(Client &c, const sockaddr_in &to, const std::string &text) {
    sendto(c.fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
}

void sendmain(Client &c, const std::string &text) {
    sendto_(c, c.main, text);
}

void sendreply(Client &c, const std::string &text) {
    sendto_(c, c.reply, text);
}

bool recvraw(Client &c, std::string &msg, int ms, sockaddr_in *from) {
    pollfd f{c.fd, POLLIN, 0};
    if (poll(&f, 1, ms) <= 0)
        return false;
    char buf[9000];
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ssize_t n = recvfrom(c.fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&a), &len);
    if (n < 0)
        return false;
    msg.assign(buf, static_cast<size_t>(n));
    if (from)
        *from = a;
    return true;
}

bool waitfor(Client &c, const std::string &prefix, std::string &msg, int ms) {
    long long end = msnow() + ms;
    for (int i = 0; i < 10000; i++) {
        long long left = end - msnow();
        if (left <= 0 || !recvraw(c, msg, static_cast<int>(left)))
            return false;
        if (msg.compare(0, prefix.size(), prefix) == 0)
            return true;
    }
    return false;
}

bool initclient(Client &c, int port, const std::string &init, std::string &reply) {
    if (!openclient(c, port))
        return false;
    sendmain(c, init);
    sockaddr_in from{};
    if (!recvraw(c, reply, 3000, &from))
        return false;
    c.reply = from;
    reply = strip(reply);
    return true;
}

std::string strip(const std::string &msg) {
    if (!msg.empty() && msg.back() == '\0')
        return msg.substr(0, msg.size() - 1);
    return msg;
}

// The transcripts are JSON lines; only "msg" is needed, with its \" \\ and \u0000.
std::vector<std::string> transcript(const std::string &name) {
    std::ifstream in(std::string(VORN_TRANSCRIPTS_DIR) + "/" + name);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find("\"msg\": \"");
        if (at == std::string::npos)
            continue;
        std::string m;
        for (size_t i = at + 8; i < line.size() && line[i] != '"'; i++) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                char e = line[++i];
                if (e == 'u') {
                    m += static_cast<char>(std::strtol(line.substr(i + 1, 4).c_str(), nullptr, 16));
                    i += 4;
                } else {
                    m += e;
                }
            } else {
                m += line[i];
            }
        }
        out.push_back(strip(m));
    }
    return out;
}

std::vector<Entry> seeentries(const std::string &see) {
    std::vector<Entry> out;
    size_t i = see.find(' ', 5); // after "(see T"
    while (i != std::string::npos && i < see.size()) {
        size_t open = see.find("((", i);
        if (open == std::string::npos)
            break;
        size_t close = see.find(')', open + 2);
        size_t end = see.find(')', close + 1);
        if (close == std::string::npos || end == std::string::npos)
            break;
        Entry e;
        e.name = see.substr(open + 2, close - open - 2);
        std::string rest = see.substr(close + 1, end - close - 1);
        size_t k = 0;
        while (k < rest.size()) {
            while (k < rest.size() && rest[k] == ' ')
                k++;
            size_t s = k;
            while (k < rest.size() && rest[k] != ' ')
                k++;
            if (k > s)
                e.values.push_back(rest.substr(s, k - s));
        }
        out.push_back(e);
        i = end + 1;
    }
    return out;
}

} // namespace pitchtest
