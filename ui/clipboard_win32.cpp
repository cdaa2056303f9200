// The Copy command: the whole hop table as tab-separated text on the clipboard, then a
// confirmation box.
#include <algorithm>

#include "app/trace_app_win32.h"
#include "ui/trace_text.h"

namespace {

// The block is never smaller than this; a longer trace gets a block of its own size,
// so the text on the clipboard is always the whole table.
constexpr size_t kMinimumBlockSize = 60000;

size_t traceText(const HopTable* table, char* out, size_t capacity) {
    if (table == nullptr) return formatTraceText(nullptr, 0, out, capacity);
    return formatTraceText(*table, out, capacity);
}

// Hands a block holding the trace text to the open clipboard. Returns false when
// nothing reached it; a block the clipboard refused is freed again.
bool putTraceText(const HopTable* table) {
    size_t size = std::max(kMinimumBlockSize, traceText(table, nullptr, 0) + 1);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block == nullptr) return false;
    char* text = static_cast<char*>(GlobalLock(block));
    if (text == nullptr) {
        GlobalFree(block);
        return false;
    }
    traceText(table, text, size);
    GlobalUnlock(block);
    if (SetClipboardData(CF_TEXT, block) == nullptr) {
        GlobalFree(block);
        return false;
    }
    return true;
}

}  // namespace

void TraceApp::copyTrace() {
    if (!OpenClipboard(mainWindow)) return;
    EmptyClipboard();
    bool copied = putTraceText(hopTable);
    CloseClipboard();
    // The confirmation is only true when the text reached the clipboard.
    if (copied) {
        MessageBoxA(mainWindow, "Trace has been copied to the clipboard.", "Copy to clipboard", MB_OK);
    }
}
