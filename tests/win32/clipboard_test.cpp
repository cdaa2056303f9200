// The Copy command under Wine: the clipboard receives exactly the trace text, the
// confirmation box shows its text and caption, and the engine waits while it is open.
#include <cstring>
#include <string>

#include "app_fixture.h"
#include "ui/trace_text.h"

namespace {

std::string traceText(const HopTable& table) {
    std::string text(formatTraceText(table, nullptr, 0) + 1, '\0');
    formatTraceText(table, &text[0], text.size());
    text.pop_back();
    return text;
}

// The CF_TEXT data as bytes up to its zero; "<none>" when the clipboard holds no text.
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

void putOnClipboard(const char* text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::memcpy(GlobalLock(block), text, std::strlen(text) + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

// What the helper saw while the confirmation box was open.
struct CopySeen {
    bool boxFound = false;
    std::string message;
    std::string expected;
    std::string copied;
    long long progressAtOpen = -1;
    long long progressLater = -2;
    int colours = 0;
    bool boxClosed = false;
    bool resumed = false;
};

class ClipboardTest : public AppTest {
protected:
    // Posts Copy, then works the confirmation box from a second thread while this one
    // runs the program's loop; the program is closed at the end.
    CopySeen copyAndConfirm(const std::function<bool()>& readyToCopy, bool expectResume) {
        CopySeen seen;
        drive::Helper helper([&] {
            const auto progressNow = [&] { return onUiThread([&] { return progress(); }); };
            if (!drive::waitUntil([&] { return onUiThread(readyToCopy); })) {
                PostMessageA(app->mainWindow, WM_CLOSE, 0, 0);
                return;
            }
            post(IDM_COPY);
            HWND box = drive::waitForDialog("Copy to clipboard");
            seen.boxFound = box != nullptr;
            if (box == nullptr) {
                giveUp();
                return;
            }
            seen.progressAtOpen = progressNow();
            seen.expected = onUiThread([&] { return traceText(*app->hopTable); });
            seen.message = drive::controlText(box, 0xFFFF);
            seen.copied = clipboardText();
            seen.colours = drive::saveDrawnScreenshot(box, "copy_confirmation");
            Sleep(300);  // room for steps that must not happen
            seen.progressLater = progressNow();
            drive::clickButton(box, IDOK);
            seen.boxClosed = drive::waitForDialogGone("Copy to clipboard");
            if (expectResume) seen.resumed = drive::waitUntil([&] { return progressNow() > seen.progressLater; });
            PostMessageA(app->mainWindow, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(app->run(), 0);
        helper.join();
        return seen;
    }
};

TEST_F(ClipboardTest, CopyDuringATracePutsExactlyTheTraceTextAndPausesTheEngine) {
    script::router(1, script::ip(10, 9, 0, 1), 3);
    script::router(2, script::ip(10, 9, 0, 2), 7);
    script::silent(3);
    script::target(script::ip(10, 9, 0, 4), 4, 11);
    script::reverseName(script::ip(10, 9, 0, 1), "gateway.lab.test");
    putOnClipboard("stale");
    launch();
    typeAndStart("10.9.0.4");
    ASSERT_TRUE(app->hopTable->isRunning());
    CopySeen seen = copyAndConfirm([&] { return app->hopTable->hopCount == 4 && app->hopTable->records[0].sent > 20; }, true);

    ASSERT_TRUE(seen.boxFound);
    EXPECT_EQ(seen.message, "Trace has been copied to the clipboard.");
    EXPECT_EQ(seen.copied, seen.expected);
    EXPECT_EQ(seen.copied.compare(0, 2, "1\t"), 0) << "no header line";
    EXPECT_NE(seen.copied.find("\r\n3\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%\r\n"), std::string::npos);
    EXPECT_NE(seen.copied.find("1\t10.9.0.1\tgateway.lab.test\t3 ms\t"), std::string::npos);
    EXPECT_EQ(seen.copied.substr(seen.copied.size() - 2), "\r\n");
    EXPECT_EQ(seen.progressLater, seen.progressAtOpen) << "no engine step while the box is open";
    EXPECT_GT(seen.colours, 3) << "the screenshot of the box is not blank";
    EXPECT_TRUE(seen.boxClosed);
    EXPECT_TRUE(seen.resumed) << "probing goes on once the box is closed";
}

TEST_F(ClipboardTest, CopyBeforeAnyTracePutsTheEmptyText) {
    putOnClipboard("stale");
    launch();
    CopySeen seen = copyAndConfirm([] { return true; }, false);
    ASSERT_TRUE(seen.boxFound);
    EXPECT_EQ(seen.message, "Trace has been copied to the clipboard.");
    EXPECT_EQ(seen.copied, "");
    EXPECT_TRUE(seen.boxClosed);
}

// 200 hops with 255-character names make a text longer than 60000 bytes.
TEST_F(ClipboardTest, ALongTraceWithLongNamesIsCopiedWhole) {
    launch();
    HopTable& table = *app->hopTable;
    for (int r = 0; r < 200; ++r) {
        HopRecord& record = table.records[r];
        std::snprintf(record.addressText, sizeof record.addressText, "10.%d.%d.1", r / 100, r % 100);
        std::memset(record.hostName, 'a' + r % 26, 255);
        record.hostName[255] = '\0';
        record.sent = 1000000 + r;
        record.received = 999999;
        record.lastMs = 1999;
        record.totalMs = 1999000000LL;
        record.bestMs = 1000;
        record.worstMs = 2999;
    }
    table.hopCount = 200;
    CopySeen seen = copyAndConfirm([] { return true; }, false);
    ASSERT_TRUE(seen.boxFound);
    EXPECT_GT(seen.expected.size(), 60000u);
    EXPECT_EQ(seen.copied.size(), seen.expected.size());
    EXPECT_EQ(seen.copied, seen.expected);
    EXPECT_EQ(seen.copied.compare(seen.copied.rfind("\r\n", seen.copied.size() - 3) + 2, 4, "200\t"), 0);
}

}  // namespace
