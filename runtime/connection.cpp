// The server connection: resolve the host, open a non-blocking UDP socket bound to any local
// port, and remember where commands go. Any failure leaves socketfd at -1 and prints nothing.

#include "runtime/runtime.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>

namespace vorn {

// Like atoi, but defined for every text: leading blanks and a sign are read, anything that is
// not a number gives 0, and the low 16 bits of the number form the port (70000 gives 4464).
int portfromtext(const char *text) {
    long long value = strtoll(text, nullptr, 10);
    return static_cast<int>(static_cast<unsigned long long>(value) & 0xffff);
}

void initserconnection(const char *host, int port) {
    SockSer.socketfd = -1;

    // A name that resolves is used through its dotted-decimal text; otherwise the host text
    // itself must be such an address.
    char address[INET_ADDRSTRLEN] = "";
    hostent *entry = gethostbyname(host);
    if (entry != nullptr && entry->h_addrtype == AF_INET && entry->h_addr_list[0] != nullptr) {
        in_addr first;
        memcpy(&first, entry->h_addr_list[0], sizeof first);
        snprintf(address, sizeof address, "%s", inet_ntoa(first));
    } else {
        if (inet_addr(host) == INADDR_NONE)
            return;
        snprintf(address, sizeof address, "%s", host);
    }

    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return;
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) < 0)
        return;

    SockSer.socketfd = fd;
    memset(&SockSer.servaddr, 0, sizeof SockSer.servaddr);
    SockSer.servaddr.sin_family = AF_INET;
    SockSer.servaddr.sin_port = htons(static_cast<uint16_t>(port & 0xffff));
    SockSer.servaddr.sin_addr.s_addr = inet_addr(address);
}

} // namespace vorn
