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

void putOnClipboard(const char* text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::memcpy(GlobalLock(block), text, std::strlen(text) + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

// What the helper read while the confirmation box was open.
struct CopySeen {
    std::string message;
    std::string expected;
    std::string copied;
    int colours = 0;
};

class ClipboardTest : public AppTest {
protected:
    // Posts Copy once `readyToCopy` holds and works the confirmation box from a second
    // thread while this one runs the program's loop; with `expectResume` the engine must
    // step again once the box is closed.
    ModalSeen copyAndConfirm(const std::function<bool()>& readyToCopy, bool expectResume, CopySeen& copy) {
        long long progressAtClose = -1;
        return runWhileModal({readyToCopy, IDM_COPY, "Copy to clipboard",
                              [&](HWND box) {
                                  copy.expected = onUiThread([&] { return traceText(*app->hopTable); });
                                  copy.message = drive::controlText(box, 0xFFFF);
                                  copy.copied = drive::clipboardText();
                                  copy.colours = drive::saveDrawnScreenshot(box, "copy_confirmation");
                              },
                              [&](HWND box) {
                                  progressAtClose = onUiThread([&] { return progress(); });
                                  drive::clickButton(box, IDOK);
                              },
                              expectResume ? std::function<bool()>([&] { return progress() > progressAtClose; })
                                           : nullptr});
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
    CopySeen copy;
    const HopTable& table = *app->hopTable;
    const ModalSeen seen = copyAndConfirm([&] { return table.hopCount == 4 && table.records[0].sent > 20; }, true, copy);

    ASSERT_TRUE(seen.found);
    EXPECT_EQ(copy.message, "Trace has been copied to the clipboard.");
    EXPECT_EQ(copy.copied, copy.expected);
    EXPECT_EQ(copy.copied.compare(0, 2, "1\t"), 0) << "no header line";
    EXPECT_NE(copy.copied.find("\r\n3\t0.0.0.0\t\t0 ms\t0 ms\t0 ms\t0 ms\t0\t0\t0%\r\n"), std::string::npos);
    EXPECT_NE(copy.copied.find("1\t10.9.0.1\tgateway.lab.test\t3 ms\t"), std::string::npos);
    EXPECT_EQ(copy.copied.substr(copy.copied.size() - 2), "\r\n");
    EXPECT_EQ(seen.progressLater, seen.progressAtOpen) << "no engine step while the box is open";
    EXPECT_GT(copy.colours, 3) << "the screenshot of the box is not blank";
    EXPECT_TRUE(seen.closed);
    EXPECT_TRUE(seen.wentOn) << "probing goes on once the box is closed";
}

TEST_F(ClipboardTest, CopyBeforeAnyTracePutsTheEmptyText) {
    putOnClipboard("stale");
    launch();
    CopySeen copy;
    const ModalSeen seen = copyAndConfirm([] { return true; }, false, copy);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(copy.message, "Trace has been copied to the clipboard.");
    EXPECT_EQ(copy.copied, "");
    EXPECT_TRUE(seen.closed);
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
    CopySeen copy;
    const ModalSeen seen = copyAndConfirm([] { return true; }, false, copy);
    ASSERT_TRUE(seen.found);
    EXPECT_GT(copy.expected.size(), 60000u);
    EXPECT_EQ(copy.copied.size(), copy.expected.size());
    EXPECT_EQ(copy.copied, copy.expected);
    EXPECT_EQ(copy.copied.compare(copy.copied.rfind("\r\n", copy.copied.size() - 3) + 2, 4, "200\t"), 0);
}

}  // namespace
