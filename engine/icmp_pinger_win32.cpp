// The echo service on Windows: the platform's ICMP library, loaded at run time from the
// system folder and bound by name (so the program runs, with every echo failing, where
// it is missing), and the Windows Sockets 1.1 resolver for names and dotted quads.
// A program may give the pinger a wake event (see icmp_pinger.h); only then do echoes go
// through IcmpSendEcho2, whose wait the event can end.
#include "icmp_pinger.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winsock.h>
#include <ipexport.h>

#include <cstring>

#include "system_library_win32.h"
#include "text/bounded_text.h"

namespace {

using IcmpCreateFileFn = HANDLE(WINAPI*)();
using IcmpCloseHandleFn = BOOL(WINAPI*)(HANDLE);
using IcmpSendEchoFn = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION,
                                      LPVOID, DWORD, DWORD);

using IcmpSendEcho2Fn = DWORD(WINAPI*)(HANDLE, HANDLE, FARPROC, PVOID, IPAddr, LPVOID, WORD,
                                       PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
using IcmpParseRepliesFn = DWORD(WINAPI*)(LPVOID, DWORD);

constexpr DWORD kReplyAreaSize = 8192;

// The ICMP service holds an echo cut short until its own timeout and may still write its
// answer while the program goes on, so such an echo's reply area outlives the call. One
// area: a process gives one pinger a wake event (the console runner's table), and once an
// echo was cut short that pinger sends no more.
alignas(8) unsigned char wakeableReplies[kReplyAreaSize];

// An echo whose wait also ends once the pinger's wake event is set; the number of
// answers in `wakeableReplies`, 0 when none came in time or the wait was cut short.
DWORD sendWakeable(IcmpPinger& pinger, IPAddr destination, LPVOID request, WORD requestSize,
                   IP_OPTION_INFORMATION& options, DWORD waitMs) {
    HANDLE answered = static_cast<HANDLE>(pinger.answerEvent);
    const DWORD count = reinterpret_cast<IcmpSendEcho2Fn>(pinger.icmpSendEcho2)(
        pinger.icmpHandle, answered, nullptr, nullptr, destination, request, requestSize,
        &options, wakeableReplies, kReplyAreaSize, waitMs);
    if (count != 0 || GetLastError() != ERROR_IO_PENDING) return count;
    // The service ends every request by its timeout, so this wait ends too.
    const HANDLE events[2] = {answered, static_cast<HANDLE>(pinger.wakeEvent)};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
        pinger.cutShort = 1;
        return 0;
    }
    return reinterpret_cast<IcmpParseRepliesFn>(pinger.icmpParseReplies)(wakeableReplies,
                                                                         kReplyAreaSize);
}

}  // namespace

IcmpPinger::IcmpPinger()
    : library(nullptr),
      icmpHandle(nullptr),
      icmpCreateFile(nullptr),
      icmpCloseHandle(nullptr),
      icmpSendEcho(nullptr),
      icmpSendEcho2(nullptr),
      icmpParseReplies(nullptr),
      answerEvent(nullptr),
      wakeEvent(nullptr),
      cutShort(0) {
    HMODULE module = loadSystemLibrary("icmp.dll");
    library = module;
    if (module == nullptr) return;
    icmpCreateFile = entryPointOf<void*>(module, "IcmpCreateFile");
    icmpCloseHandle = entryPointOf<void*>(module, "IcmpCloseHandle");
    icmpSendEcho = entryPointOf<void*>(module, "IcmpSendEcho");
    // Stored as returned: only 0 means "no handle" (an invalid-handle value just makes
    // every echo fail inside the library).
    if (icmpCreateFile != nullptr) {
        icmpHandle = reinterpret_cast<IcmpCreateFileFn>(icmpCreateFile)();
    }
}

IcmpPinger::~IcmpPinger() {
    // The closing entry point lives in the library: close first, then release.
    if (icmpHandle != nullptr && icmpCloseHandle != nullptr) {
        reinterpret_cast<IcmpCloseHandleFn>(icmpCloseHandle)(icmpHandle);
    }
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

uint32_t IcmpPinger::resolve(const char* text) {
    if (text == nullptr) return 0;
    const unsigned long quad = inet_addr(text);
    if (quad != INADDR_NONE) return static_cast<uint32_t>(quad);
    const hostent* host = gethostbyname(text);
    if (host == nullptr || host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr ||
        host->h_length < 4) {
        return 0;
    }
    uint32_t address;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    return address;
}

void IcmpPinger::reverseLookup(char (&hostName)[kHostNameSize], uint32_t address) {
    const hostent* host =
        gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET);
    if (host == nullptr || host->h_name == nullptr) {
        hostName[0] = '\0';
        return;
    }
    // The resolver's storage is reused by its next call: copy at once, cut to 255.
    copyHostName(hostName, host->h_name);
}

void IcmpPinger::formatAddress(char (&addressText)[kAddressTextSize], uint32_t address) {
    in_addr value;
    value.s_addr = address;
    copyBounded(addressText, inet_ntoa(value));
}

int IcmpPinger::echo(uint32_t destination, int32_t timeToLive, int32_t size, int32_t timeoutMs,
                     EchoResult& result) {
    if (icmpHandle == nullptr || icmpSendEcho == nullptr || cutShort != 0) return 0;

    IP_OPTION_INFORMATION options;
    std::memset(&options, 0, sizeof options);
    options.Ttl = static_cast<UCHAR>(timeToLive & 0xFF);
    options.Tos = 0;
    options.Flags = 0;
    options.OptionsSize = 0;
    options.OptionsData = nullptr;

    unsigned char request[kEchoDataMax];
    std::memset(request, kEchoFill, sizeof request);
    const WORD requestSize = static_cast<WORD>(echoDataSize(size));

    // Reply records hold pointers: keep the area aligned for them.
    alignas(8) unsigned char replies[kReplyAreaSize];
    // A negative timeout would be an almost endless wait as a DWORD.
    const DWORD waitMs = timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 0;
    const DWORD count =
        wakeEvent != nullptr
            ? sendWakeable(*this, destination, request, requestSize, options, waitMs)
            : reinterpret_cast<IcmpSendEchoFn>(icmpSendEcho)(icmpHandle, destination, request,
                                                             requestSize, &options, replies,
                                                             kReplyAreaSize, waitMs);
    if (count == 0) return 0;

    ICMP_ECHO_REPLY first;
    std::memcpy(&first, wakeEvent != nullptr ? wakeableReplies : replies, sizeof first);
    result.replyAddress = first.Address;
    result.status = first.Status;
    result.roundTripMs = static_cast<int32_t>(first.RoundTripTime);
    return 1;
}
