// The command queue and the one road that sends a text to the server.

#include "actions/queue.h"

#include "perception/parser.h"
#include "runtime/program.h"
#include "runtime/runtime.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>

namespace vorn {

// Globals
char **List = nullptr;
int ListPek = 0;
int ListEnd = 0;
int ForceMove = 0;
char *awaymess = nullptr;

// Copies text into a slot buffer, cut at the buffer's end if it would not fit.
static void copyslot(char *slot, const char *text) {
    snprintf(slot, SlotTextSize, "%s", text);
}

// The slot at the read index, or nullptr when the read index is past the last slot.
static char *readslot() {
    return ListPek >= 0 && ListPek < ListSize ? List[ListPek] : nullptr;
}

int sendmess(const char *text) {
    printf(TextSendStart, text, Turn);
    if (PrintsQueueOnSend)
        printcommands();
    copyslot(awaymess, text);
    printf(TextSendCopied, awaymess);
    size_t n = strlen(awaymess);
    ssize_t sent =
        sendto(SockSer.socketfd, awaymess, n, 0,
               reinterpret_cast<const sockaddr *>(&SockSer.servaddr), sizeof SockSer.servaddr);
    if (sent < 0 || static_cast<size_t>(sent) != n)
        errorf("Error in sending\n");
    printf(TextSendDone, Turn, ntohs(SockSer.servaddr.sin_port), text);
    return 0;
}

const char *pendingentry() {
    const char *slot = readslot();
    return slot != nullptr && ListPek <= ListEnd && slot[0] != '\0' ? slot : nullptr;
}

void sendmess_list() {
    char *slot = readslot();
    fputs(TextServeEntry, stdout);
    if (slot == nullptr || slot[0] == '\0')
        fputs(TextServeEmpty, stdout);
    else
        printf(TextServeSlot, slot);
    printf(TextServeIndices, ListPek, ListSize, ListEnd);
    if (slot != nullptr && ListPek <= ListEnd && slot[0] != '\0') {
        fputs(TextServeTaken, stdout);
        if (ListPek == ListEnd)
            ForceMove = 0;
        if (strcmp(slot, Nop) == 0)
            logf("NOP\n");
        else if (sendmess(slot) == -1)
            errorf("error in sending sendmess_list\n");
        slot[0] = '\0';
        ListPek++;
    } else {
        ListPek = 0;
        ListEnd = 0;
        ForceMove = 0;
        logf("Nothing to send\n");
    }
    fputs(TextServeExit, stdout);
}

void addmess_list(const char *text) {
    printf(TextAddEntry, ListPek, ListEnd, text);
    char *slot = readslot();
    if (ListEnd < ListSize - 1 && slot != nullptr && slot[0] != '\0') {
        printf(TextAddAppend, text);
        ListEnd++;
        copyslot(List[ListEnd], text);
    } else {
        // The queue has run empty, or its last slot is in use: start again at slot 0.
        printf(TextAddRestart, text);
        ListPek = 0;
        ListEnd = 0;
        fputs(TextAddBeforeCopy, stdout);
        copyslot(List[0], text);
        printf(TextAddSlotZero, List[0]);
    }
    fputs(TextAddExit, stdout);
}

void removemess_list() {
    logf("*********removemess_list ***********************\n");
    char *slot = readslot();
    if (slot != nullptr)
        slot[0] = '\0';
    ListPek++; // past the last index, the next serve restarts the queue
}

void new_list() {
    ListPek = 0;
    ListEnd = 0;
    List[0][0] = '\0';
}

void newmess_list(const char *text) {
    fputs(TextNewEntry, stdout);
    ListPek = 0;
    ListEnd = 0;
    copyslot(List[0], text);
    fputs(TextNewExit, stdout);
}

void printcommands() {
    printf("ListPek=%d Listend=%d\n", ListPek, ListEnd);
    for (int i = 0; i <= ListEnd && i < ListSize; i++) {
        if (List[i][0] != '\0')
            printf("Plats %d=%s\n", i, List[i]);
        else
            printf("Plats %d=NULL\n", i);
    }
}

} // namespace vorn
