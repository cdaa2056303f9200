// Check box images for the results list at a DPI.
#include "ui/check_boxes_win32.h"

#include <commctrl.h>

#include "engine/system_library_win32.h"
#include "ui/display_scale.h"

namespace {

using CreateFn = HIMAGELIST(WINAPI*)(int, int, UINT, int, int);
using AddFn = int(WINAPI*)(HIMAGELIST, HBITMAP, HBITMAP);
using DestroyFn = BOOL(WINAPI*)(HIMAGELIST);
using SizeFn = BOOL(WINAPI*)(HIMAGELIST, int*, int*);

// A box of `size` pixels with a mask that leaves its outer margin transparent, as the
// list view draws its own; `ticked` selects the second image.
void addBox(HIMAGELIST images, AddFn add, int size, int margin, bool ticked) {
    HDC screen = GetDC(nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP image = CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    ReleaseDC(nullptr, screen);
    RECT box{0, 0, size, size};
    HGDIOBJ original = SelectObject(canvas, mask);
    FillRect(canvas, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    InflateRect(&box, -margin, -margin);
    FillRect(canvas, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SelectObject(canvas, image);
    DrawFrameControl(canvas, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_MONO | (ticked ? DFCS_CHECKED : 0));
    SelectObject(canvas, original);
    add(images, image, mask);
    DeleteObject(image);
    DeleteObject(mask);
    DeleteDC(canvas);
}

}  // namespace

void scaleCheckBoxes(HWND list, HMODULE commonControls, uint32_t fromDpi, uint32_t toDpi) {
    const auto create = entryPointOf<CreateFn>(commonControls, "ImageList_Create");
    const auto add = entryPointOf<AddFn>(commonControls, "ImageList_Add");
    const auto destroy = entryPointOf<DestroyFn>(commonControls, "ImageList_Destroy");
    const auto sizeOf = entryPointOf<SizeFn>(commonControls, "ImageList_GetIconSize");
    if (create == nullptr || add == nullptr || destroy == nullptr || sizeOf == nullptr) return;
    const auto current = reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_STATE, 0));
    int width = 0, height = 0;
    if (current == nullptr || !sizeOf(current, &width, &height)) return;
    // Through the 96-DPI size, so that every DPI gives the size the list view itself
    // makes there (13 at 96 gives 20 at 144 and 26 at 192, from either).
    const int size = scaleToDpi(scaleFromDpi(width, fromDpi), toDpi);
    if (size == width) return;
    HIMAGELIST images = create(size, size, ILC_COLOR | ILC_MASK, 2, 2);
    if (images == nullptr) return;
    addBox(images, add, size, scaleToDpi(2, toDpi), false);
    addBox(images, add, size, scaleToDpi(2, toDpi), true);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images));
    destroy(current);
}
