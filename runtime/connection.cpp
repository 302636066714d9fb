// The server connection: resolve the host, open a non-blocking UDP socket bound to any local
// port, and remember where commands go. Any failure leaves socketfd at -1 and prints nothing;
// ConnectFailure then says why, in the words the fatal exit gives the user.

#include "runtime/runtime.h"

#include "runtime/program.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn {

// Globals
char ConnectFailure[ConnectFailureSize] = "";

// Like atoi, but defined for every text: leading blanks and a sign are read, anything that is
// not a number gives 0, and the low 16 bits of the number form the port (70000 gives 4464).
int portfromtext(const char *text) {
    long long value = strtoll(text, nullptr, 10);
    return static_cast<int>(static_cast<unsigned long long>(value) & 0xffff);
}

// The host text as the user gave it, fit for one line: at most 100 bytes, control characters
// as '?'.
static void showhost(char *shown, const char *host) {
    int n = 0;
    for (; host[n] != '\0' && n < 100; n++)
        shown[n] = static_cast<unsigned char>(host[n]) < ' ' ? '?' : host[n];
    shown[n] = '\0';
}

// The port of a host text written as address:port (one colon, digits after it), else null.
static const char *portinhost(const char *host) {
    const char *colon = strchr(host, ':');
    if (colon == nullptr || colon == host || strchr(colon + 1, ':') != nullptr)
        return nullptr;
    size_t digits = strspn(colon + 1, "0123456789");
    return digits > 0 && digits <= 5 && colon[1 + digits] == '\0' ? colon + 1 : nullptr;
}

// Notes that the host cannot be resolved, with the name service's reason unless it is that no
// such host exists, and a hint when the text carries a port.
static void unresolved(const char *host, int lookup) {
    char shown[101];
    showhost(shown, host);
    int n = snprintf(ConnectFailure, ConnectFailureSize, "cannot resolve the host '%s'", shown);
    if (lookup != HOST_NOT_FOUND && n < ConnectFailureSize)
        n += snprintf(ConnectFailure + n, ConnectFailureSize - n, ": %s", hstrerror(lookup));
    const char *port = portinhost(shown);
    if (port != nullptr && n < ConnectFailureSize)
        snprintf(ConnectFailure + n, ConnectFailureSize - n,
                 "; the port is an argument of its own: %s %.*s %s", ProgramName,
                 static_cast<int>(port - 1 - shown), shown, port);
}

void initserconnection(const char *host, int port) {
    SockSer.socketfd = -1;
    ConnectFailure[0] = '\0';

    // A name that resolves is used through its dotted-decimal text; otherwise the host text
    // itself must be such an address.
    char address[INET_ADDRSTRLEN] = "";
    hostent *entry = gethostbyname(host);
    int lookup = h_errno;
    if (entry != nullptr && entry->h_addrtype == AF_INET && entry->h_addr_list[0] != nullptr) {
        in_addr first;
        memcpy(&first, entry->h_addr_list[0], sizeof first);
        snprintf(address, sizeof address, "%s", inet_ntoa(first));
    } else {
        if (inet_addr(host) == INADDR_NONE) {
            unresolved(host, entry != nullptr ? NO_DATA : lookup);
            return;
        }
        snprintf(address, sizeof address, "%s", host);
    }

    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        snprintf(ConnectFailure, ConnectFailureSize, "cannot open a UDP socket: %s",
                 strerror(errno));
        return;
    }
    // The receive loop watches the socket with select, which cannot take a descriptor this
    // high (a process started with a thousand files open).
    if (fd >= FD_SETSIZE) {
        snprintf(ConnectFailure, ConnectFailureSize,
                 "cannot watch the UDP socket: its descriptor %d is not below select's limit "
                 "of %d (too many files open)",
                 fd, FD_SETSIZE);
        close(fd);
        return;
    }
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) < 0) {
        snprintf(ConnectFailure, ConnectFailureSize, "cannot bind the UDP socket: %s",
                 strerror(errno));
        return;
    }

    SockSer.socketfd = fd;
    memset(&SockSer.servaddr, 0, sizeof SockSer.servaddr);
    SockSer.servaddr.sin_family = AF_INET;
    SockSer.servaddr.sin_port = htons(static_cast<uint16_t>(port & 0xffff));
    SockSer.servaddr.sin_addr.s_addr = inet_addr(address);
}

} // namespace vorn
