// The Copy command: the whole hop table as tab-separated text on the clipboard, then a
// confirmation box; and the clipboard block that every copy of the program fills.
#include "ui/clipboard_win32.h"

#include <algorithm>

#include "app/trace_app_win32.h"
#include "ui/trace_text.h"

namespace {

// The block is never smaller than this; a longer trace gets a block of its own size,
// so the text on the clipboard is always the whole table.
constexpr size_t kMinimumBlockSize = 60000;

size_t traceText(const void* source, char* out, size_t capacity) {
    const HopTable* table = static_cast<const HopTable*>(source);
    if (table == nullptr) return formatTraceText(nullptr, 0, out, capacity);
    return formatTraceText(*table, out, capacity);
}

// Hands a block holding the text to the open clipboard. Returns false when nothing
// reached it; a block the clipboard refused is freed again.
bool putText(size_t minimumSize, ClipboardTextWriter write, const void* source) {
    size_t size = std::max(minimumSize, write(source, nullptr, 0) + 1);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block == nullptr) return false;
    char* text = static_cast<char*>(GlobalLock(block));
    if (text == nullptr) {
        GlobalFree(block);
        return false;
    }
    write(source, text, size);
    GlobalUnlock(block);
    if (SetClipboardData(CF_TEXT, block) == nullptr) {
        GlobalFree(block);
        return false;
    }
    return true;
}

}  // namespace

bool putClipboardText(HWND owner, size_t minimumSize, ClipboardTextWriter write, const void* source) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const bool copied = putText(minimumSize, write, source);
    CloseClipboard();
    return copied;
}

void TraceApp::copyTrace() {
    // The confirmation is only true when the text reached the clipboard.
    if (putClipboardText(mainWindow, kMinimumBlockSize, traceText, hopTable)) {
        MessageBoxA(mainWindow, "Trace has been copied to the clipboard.", "Copy to clipboard", MB_OK);
    }
}
