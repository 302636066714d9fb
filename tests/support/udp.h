// Loopback UDP peers for tests: a socket bound to 127.0.0.1 that plays the server's part.
#pragma once

#include <string>
#include <vector>

namespace vorntest {

double now(); // seconds on the monotonic clock

struct Datagram {
    std::string text; // the bytes received, NUL bytes included
    int port = 0;     // the sender's port
    double at = 0;    // now() when it was received
};

class Peer {
  public:
    explicit Peer(int port = 0); // bound to 127.0.0.1:port; port 0 picks a free one
    ~Peer();
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;

    bool ok() const {
        return fd_ >= 0;
    }
    int port() const {
        return port_;
    }
    // Waits up to timeout seconds for one datagram.
    bool receive(Datagram &d, double timeout);
    // Collects every datagram that arrives within the given seconds.
    std::vector<Datagram> collect(double seconds);
    void send(int port, const std::string &text); // to 127.0.0.1:port

  private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace vorntest
