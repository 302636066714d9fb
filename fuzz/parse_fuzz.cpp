// Fuzz target: any bytes, cut at their first NUL as a datagram is, go to recvmess of an agent
// whose init reply has been taken. Nothing may read or write out of bounds, leak or overflow,
// whatever the text holds; the sanitizers report what does.
//
// The init reply sends the placement to a loopback socket of this process and pauses between
// commands; the pauses are taken out (usleep below) so that an "init" costs no more than any
// other message.

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/runtime.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

// Replaces the C library's usleep for this program: the placement pauses return at once.
extern "C" int usleep(useconds_t) {
    return 0;
}

namespace {

int sink = -1; // a loopback socket that stands in for the server and drops what it gets

// Binds the sink to a free loopback port and points the agent's connection at it.
void connect() {
    sink = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(sink, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(sink, reinterpret_cast<sockaddr *>(&a), &n);
    vorn::initserconnection("127.0.0.1", ntohs(a.sin_port));
}

// Throws away what the agent sent, so that the sink's buffer never fills.
void drain() {
    char buffer[2048];
    while (recv(sink, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

bool start() {
    if (freopen("/dev/null", "w", stdout) == nullptr) // hear and still-working lines
        return false;
    connect();
    vorn::initvar();
    vorn::recvmess("(init l 5 before_kick_off)");
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = start();
    if (!ready)
        return 0;
    std::string text(reinterpret_cast<const char *>(data), size);
    vorn::recvmess(text.c_str());
    drain();
    return 0;
}
