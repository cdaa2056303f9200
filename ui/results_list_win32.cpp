// The results list: its ten columns, and the refresh after every engine step that
// draws changed rows, appends new ones, removes those a shorter route left behind and
// reads the check boxes back into the records.
#include "app/trace_app_win32.h"

#include <commctrl.h>

#include "ui/column_layout.h"
#include "ui/row_text.h"

namespace {

constexpr UINT kStateImageMask = LVIS_STATEIMAGEMASK;  // 0xF000
constexpr int kClearBox = 1;
constexpr int kTickedBox = 2;

void setBox(HWND list, int row, const HopRecord& record) {
    LVITEMA item{};
    item.state = INDEXTOSTATEIMAGEMASK(record.excluded != 0 ? kClearBox : kTickedBox);
    item.stateMask = kStateImageMask;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void insertRow(HWND list, int row, const HopRecord& record, char* hopNumber) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_STATE;
    item.iItem = row;
    item.iSubItem = 0;
    item.pszText = hopNumber;
    item.state = INDEXTOSTATEIMAGEMASK(record.excluded != 0 ? kClearBox : kTickedBox);
    item.stateMask = kStateImageMask;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    // Set once more on its own: a list with check boxes may give a new row its default
    // (ticked) image whatever the insert asked for.
    setBox(list, row, record);
}

void writeCells(HWND list, int row, RowCells& cells) {
    for (int column = 1; column < kColumnCount; ++column) {
        if (!cells.present[column]) continue;
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = cells.text[column];
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

// A clear box (image 1) excludes the hop; a ticked box, no box, or a row that cannot be
// read (state 0) leaves it included.
int32_t readExcluded(HWND list, int row) {
    const LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, row, kStateImageMask);
    return ((state & kStateImageMask) >> 12) == kClearBox ? 1 : 0;
}

}  // namespace

void TraceApp::setupColumns(int32_t initialClientWidth) {
    SendMessageA(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < kColumnCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = kColumns[i].alignRight ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = columnWidth(i, columnWidths[i], initialClientWidth);
        column.pszText = const_cast<char*>(kColumns[i].header);
        column.iSubItem = i;
        SendMessageA(listView, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void TraceApp::tickRewrittenRow(int32_t hopIndex) {
    if (hopTable != nullptr && hopIndex >= 0 && hopIndex < hopTable->hopCount && hopIndex < kMaxRecords) {
        setBox(listView, hopIndex, hopTable->records[hopIndex]);
    }
}

// Runs on every idle tick: the row count is asked once, only changed records are
// drawn, and the cells live on the stack, so the tick allocates nothing.
void TraceApp::refreshList() {
    if (hopTable == nullptr) return;
    LRESULT rowsShown = SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0);
    const int32_t count = hopTable->hopCount < kMaxRecords ? hopTable->hopCount : kMaxRecords;
    while (rowsShown > count) SendMessageA(listView, LVM_DELETEITEM, --rowsShown, 0);
    RowCells cells;
    for (int r = 0; r < count; ++r) {
        HopRecord& record = hopTable->records[r];
        if (record.changed != 0) {
            record.changed = 0;
            formatRowCells(record, r, cells);
            if (r >= rowsShown) insertRow(listView, r, record, cells.text[0]);
            writeCells(listView, r, cells);
        }
        record.excluded = readExcluded(listView, r);
    }
}
