#include "player/settings/hotkey_text.h"

#include "platform/windows/winuser.h"

std::wstring KeyNameText(UINT virtualKey, bool extended) {
    UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    LONG lParam = static_cast<LONG>((scan & 0xFF) << 16);
    if (extended) lParam |= 1 << 24;
    wchar_t name[259] = L"";
    int n = GetKeyNameTextW(lParam, name, 259);
    std::wstring text(name, n > 0 ? static_cast<size_t>(n) : 0);
    if (text == L"Space") return L"空格";
    if (text == L"Enter") return L"回车";
    return text;
}

std::wstring HotKeyToText(WORD virtualKey, WORD modifiers) {
    if (virtualKey == 0 && modifiers == 0) return {};
    std::wstring text;
    if (modifiers & HOTKEYF_CONTROL) text += KeyNameText(VK_CONTROL, false) + L" + ";
    if (modifiers & HOTKEYF_SHIFT) text += KeyNameText(VK_SHIFT, false) + L" + ";
    if (modifiers & HOTKEYF_ALT) text += KeyNameText(VK_MENU, false) + L" + ";
    switch (virtualKey) {
        case VK_UP: return text + L"↑";
        case VK_DOWN: return text + L"↓";
        case VK_LEFT: return text + L"←";
        case VK_RIGHT: return text + L"→";
        default: return text + KeyNameText(virtualKey, (modifiers & HOTKEYF_EXT) != 0);
    }
}
