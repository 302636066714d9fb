#include "tests/support/agent.h"

#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/parser.h"
#include "perception/referee.h"
#include "runtime/runtime.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace vorntest {

void startagent(Peer &server) {
    vorn::initvar();
    if (vorn::SockSer.socketfd >= 0)
        close(vorn::SockSer.socketfd);
    vorn::initserconnection("127.0.0.1", server.port());
}

void initagent(Peer &server, int side, int number) {
    startagent(server);
    vorn::AgentSide = side;
    vorn::AgentNumber = number;
    vorn::initinfo();
}

std::vector<std::string> queued() {
    std::vector<std::string> q;
    if (vorn::ListPek < 0 || vorn::ListPek >= vorn::ListSize ||
        vorn::List[vorn::ListPek][0] == '\0')
        return q;
    for (int i = vorn::ListPek; i <= vorn::ListEnd; i++)
        q.push_back(vorn::List[i]);
    return q;
}

int parse(const std::string &text) {
    return vorn::recvmess(text.c_str());
}

int agentport() {
    sockaddr_in a;
    socklen_t n = sizeof a;
    getsockname(vorn::SockSer.socketfd, reinterpret_cast<sockaddr *>(&a), &n);
    return ntohs(a.sin_port);
}

Capture::Capture() {
    char pattern[] = "/tmp/vorncapture.XXXXXX";
    int fd = mkstemp(pattern);
    path_ = pattern;
    fflush(stdout);
    saved_ = dup(1);
    dup2(fd, 1);
    close(fd);
}

Capture::~Capture() {
    take();
}

std::string Capture::take() {
    if (saved_ < 0)
        return "";
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    unlink(path_.c_str());
    return s.str();
}

} // namespace vorntest
