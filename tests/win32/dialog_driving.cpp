// Implementation of the settings-file, dialog and screenshot helpers of the tests.
#include "dialog_driving.h"

#include "app/window_texts.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace drive {

std::string settingsFile() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string file(path, length);
    return file.substr(0, file.size() - 4) + ".ini";
}

void removeSettingsFile() { DeleteFileA(settingsFile().c_str()); }

void writeSettingsFile(const std::string& text, const std::string& path) { std::ofstream(path, std::ios::binary) << text; }

// Empty when the file is missing.
std::string readSettingsFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> settingsLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = readSettingsFile(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string settingsValue(const std::string& section, const std::string& key, const std::string& path) {
    std::string current;
    for (const std::string& line : settingsLines(path)) {
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
            current = line.substr(1, line.size() - 2);
        } else if (current == section && line.compare(0, key.size() + 1, key + "=") == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return "<absent>";
}

bool waitUntil(const std::function<bool()>& condition, int limitMs) {
    const DWORD begin = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - begin >= static_cast<DWORD>(limitMs)) return false;
        Sleep(20);
    }
}

namespace {

// The dialog with this caption while it is visible, else null.
HWND shownDialog(const char* caption) {
    HWND found = FindWindowA("#32770", caption);
    return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

}  // namespace

HWND waitForDialog(const char* caption, int limitMs) {
    HWND found = nullptr;
    return waitUntil([&] { return (found = shownDialog(caption)) != nullptr; }, limitMs) ? found : nullptr;
}

bool waitForDialogGone(const char* caption) {
    return waitUntil([&] { return shownDialog(caption) == nullptr; });
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::string clipboardText() {
    std::string text = "<none>";
    if (!OpenClipboard(nullptr)) return "<not opened>";
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* bytes = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (bytes != nullptr) {
        text.assign(bytes, strnlen(bytes, GlobalSize(data)));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

std::string windowText(HWND window) {
    char text[kWindowTextSize];
    text[0] = '\0';
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string controlText(HWND dialog, int control) { return windowText(GetDlgItem(dialog, control)); }

void pressKey(HWND control, UINT virtualKey) {
    PostMessageA(control, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(control, WM_KEYUP, virtualKey, 0xC0000001);
}

void clickButton(HWND dialog, int control) { PostMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0); }

void pressCloseBox(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

namespace {

// Bottom-up 24-bit pixels, the layout both GetDIBits and the BMP file use.
BITMAPINFOHEADER pixelFormat(int width, int height) {
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    return info;
}

void writeBitmap(const std::string& path, int width, int height, const std::vector<unsigned char>& pixels) {
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER info = pixelFormat(width, height);
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof info;
    fileHeader.bfSize = static_cast<DWORD>(fileHeader.bfOffBits + pixels.size());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(&fileHeader, sizeof fileHeader, 1, file);
    std::fwrite(&info, sizeof info, 1, file);
    std::fwrite(pixels.data(), 1, pixels.size(), file);
    std::fclose(file);
}

// The window's rectangle as the screen shows it now; false when it has no area.
bool capture(HWND window, int& width, int& height, std::vector<unsigned char>& pixels) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);

    pixels.assign(static_cast<size_t>((width * 3 + 3) & ~3) * height, 0);
    BITMAPINFOHEADER info = pixelFormat(width, height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return true;
}

int countColours(int width, int height, const std::vector<unsigned char>& pixels) {
    const int stride = (width * 3 + 3) & ~3;
    std::set<unsigned> colours;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = pixels.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            colours.insert(row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16);
        }
    }
    return static_cast<int>(colours.size());
}

// Writes <test program dir>/screenshots/<name>.bmp; returns the number of colours.
int saveBitmap(const char* name, int width, int height, const std::vector<unsigned char>& pixels) {
    std::string directory = settingsFile();
    directory = directory.substr(0, directory.find_last_of("\\/") + 1) + "screenshots";
    CreateDirectoryA(directory.c_str(), nullptr);
    writeBitmap(directory + "\\" + name + ".bmp", width, height, pixels);
    return countColours(width, height, pixels);
}

}  // namespace

// A dialog paints its frame and fields before its labels and buttons, so a capture
// with a few colours may still lack some of them. The window and its children are
// painted now (the owning thread handles the paint messages before this returns), and
// the picture counts once two captures in a row show the same pixels.
int saveDrawnScreenshot(HWND window, const char* name) {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels, previous;
    waitUntil([&] {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        previous.swap(pixels);
        return capture(window, width, height, pixels) && pixels == previous &&
               countColours(width, height, pixels) > 3;
    });
    return pixels.empty() ? 0 : saveBitmap(name, width, height, pixels);
}

namespace {

BOOL CALLBACK closeIfDialog(HWND window, LPARAM) {
    char className[16];
    if (GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, "#32770") == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

constexpr UINT kRunWork = WM_APP + 1;
constexpr char kCallClass[] = "LumentraxTestCalls";

LRESULT CALLBACK callWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRunWork) return DefWindowProcA(window, message, wParam, lParam);
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
}

}  // namespace

void closeDialogsOf(DWORD threadId) { EnumThreadWindows(threadId, closeIfDialog, 0); }

UiThreadCalls::UiThreadCalls() : window(nullptr) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = callWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kCallClass;
    RegisterClassA(&windowClass);  // fails harmlessly once the class exists
    window = CreateWindowExA(0, kCallClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                             nullptr);
}

UiThreadCalls::~UiThreadCalls() {
    if (window != nullptr) DestroyWindow(window);
}

void UiThreadCalls::run(const std::function<void()>& work) const {
    SendMessageA(window, kRunWork, 0, reinterpret_cast<LPARAM>(&work));
}

namespace {

DWORD WINAPI runTask(void* parameter) {
    static_cast<Helper*>(parameter)->task();
    return 0;
}

}  // namespace

Helper::Helper(std::function<void()> work) : thread(nullptr), task(std::move(work)) {
    thread = CreateThread(nullptr, 0, runTask, this, 0, nullptr);
}

Helper::~Helper() { join(); }

void Helper::join() {
    if (thread == nullptr) return;
    // The modal loop on the calling thread may have ended before the helper's last
    // posted message; keep handling messages while waiting for it.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) pumpMessages();
    CloseHandle(thread);
    thread = nullptr;
}

}  // namespace drive
