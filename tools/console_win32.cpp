// lumentrax-trace's platform on Windows: the wide command line as UTF-8, the window's DLL
// search restriction, a binary standard output (the table already ends its lines in
// CR LF; text mode would double the CR), Windows Sockets 2 and its wide resolver, the
// ICMP library's state, the clocks and the console's control events.
#include "console_platform.h"

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/system_library_win32.h"

namespace {

// GetTickCount64 of the first interrupt; 0 before it.
volatile LONG64 firstInterruptMs = 0;
// Set by the first interrupt, for the echo whose wait it ends. It and the echoes' own
// event stay open for the process: an echo cut short may still signal its event.
HANDLE wakeEvent = nullptr;

// Runs on a thread of its own. The first event sets the flag the run reads between
// steps and ends the echo wait in progress; another within kInterruptRepeatMs is the same
// interrupt, a later one ends the process at once with status 130, as a shell reports
// Ctrl+C. When the console closes, Windows ends the process once this returns (or after
// about five seconds), so the handler waits there while the run writes its report and
// exits. A repeat ends it by TerminateProcess, not ExitProcess: the exit handlers would
// wait for the stdio lock that the main thread may hold in the middle of a report.
BOOL WINAPI onControlEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    const LONG64 nowMs = static_cast<LONG64>(GetTickCount64()) | 1;  // never 0
    const LONG64 firstMs = InterlockedCompareExchange64(&firstInterruptMs, nowMs, 0);
    if (firstMs == 0) {
        if (wakeEvent != nullptr) SetEvent(wakeEvent);
    } else if (nowMs - firstMs >= kInterruptRepeatMs) {
        TerminateProcess(GetCurrentProcess(), 130);
    }
    if (event == CTRL_CLOSE_EVENT) Sleep(10000);
    return TRUE;
}

}  // namespace

void takeUtf8Arguments(int& argc, char**& argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return;
    // One block for the pointers and the texts, made once at start-up and kept.
    size_t bytes = (static_cast<size_t>(count) + 1) * sizeof(char*);
    for (int i = 0; i < count; ++i) {
        bytes += static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr));
    }
    char** utf8 = static_cast<char**>(std::malloc(bytes));
    if (utf8 != nullptr) {
        char* text = reinterpret_cast<char*>(utf8 + count + 1);
        char* const end = reinterpret_cast<char*>(utf8) + bytes;
        for (int i = 0; i < count; ++i) {
            utf8[i] = text;
            text += WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text, static_cast<int>(end - text),
                                        nullptr, nullptr);
        }
        utf8[count] = nullptr;
        argc = count;
        argv = utf8;
    }
    LocalFree(wide);
}

bool startConsole(char (&reason)[kConsoleReasonSize]) {
    restrictDllSearch();
    // A process started without a standard output has no descriptor behind stdout.
    const int descriptor = _fileno(stdout);
    if (descriptor >= 0 && _setmode(descriptor, _O_BINARY) != -1) return true;
    std::snprintf(reason, sizeof reason, "standard output is closed");
    return false;
}

NetworkSession::NetworkSession() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

NetworkSession::~NetworkSession() { WSACleanup(); }

bool echoServiceUsable(const IcmpPinger& pinger, char (&reason)[kConsoleReasonSize]) {
    const char* cause = nullptr;
    if (pinger.library == nullptr) {
        cause = "ICMP.DLL could not be loaded from the system folder";
    } else if (pinger.icmpCreateFile == nullptr || pinger.icmpSendEcho == nullptr) {
        cause = "ICMP.DLL lacks IcmpCreateFile or IcmpSendEcho";
    } else if (pinger.icmpHandle == nullptr || pinger.icmpHandle == INVALID_HANDLE_VALUE) {
        // The window hands such a handle on and lets every echo fail; a console run
        // would print silent hops, so here it counts as no handle.
        cause = "IcmpCreateFile gave no handle";
    }
    if (cause == nullptr) return true;
    std::snprintf(reason, sizeof reason, "cannot send ICMP echoes: %s", cause);
    return false;
}

// A dotted quad as the window takes it, else a name through the wide resolver. inet_addr
// ends an address at a blank and takes "127.0.0.1 x" for 127.0.0.1; the Linux runner
// resolves no such text, so one with a blank goes to the resolver, which finds none.
uint32_t resolveHost(IcmpPinger&, const char* host) {
    if (host[0] == '\0') return 0;  // the resolver would take it for this machine
    const unsigned long quad = std::strpbrk(host, " \t\n\v\f\r") == nullptr ? inet_addr(host) : INADDR_NONE;
    if (quad != INADDR_NONE) return static_cast<uint32_t>(quad);
    wchar_t name[kHostNameSize * 2];
    if (MultiByteToWideChar(CP_UTF8, 0, host, -1, name, kHostNameSize * 2) == 0) return 0;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(name, nullptr, &hints, &found) != 0 || found == nullptr) return 0;
    const uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    FreeAddrInfoW(found);
    return address;
}

long long monotonicMs() { return static_cast<long long>(GetTickCount64()); }

void watchInterrupts() {
    wakeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onControlEvent, TRUE);
}

// The echoes go through IcmpSendEcho2 with an event of their own, waited on together with
// the interrupts' event. Where the library lacks it they wait their time, as the window's do.
void letInterruptsEndEchoes(IcmpPinger& pinger) {
    HMODULE library = static_cast<HMODULE>(pinger.library);
    void* sendEcho2 = entryPointOf<void*>(library, "IcmpSendEcho2");
    void* parseReplies = entryPointOf<void*>(library, "IcmpParseReplies");
    if (sendEcho2 == nullptr || parseReplies == nullptr || wakeEvent == nullptr) return;
    HANDLE answered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (answered == nullptr) return;
    pinger.icmpSendEcho2 = sendEcho2;
    pinger.icmpParseReplies = parseReplies;
    pinger.answerEvent = answered;
    pinger.wakeEvent = wakeEvent;
}

bool interruptRequested() { return firstInterruptMs != 0; }
