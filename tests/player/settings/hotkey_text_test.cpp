#include <gtest/gtest.h>

#include <string>

#include "player/settings/hotkey_text.h"

namespace {

TEST(HotKeyText, ModifiersInFixedOrderAndArrows) {
    const std::wstring ctrl = KeyNameText(VK_CONTROL, false), shift = KeyNameText(VK_SHIFT, false),
                       alt = KeyNameText(VK_MENU, false);
    ASSERT_FALSE(ctrl.empty());
    ASSERT_FALSE(shift.empty());
    struct Case {
        WORD key, mods;
        std::wstring want;
    } cases[] = {
        {0, 0, L""},
        {VK_LEFT, HOTKEYF_CONTROL | HOTKEYF_SHIFT | HOTKEYF_EXT, ctrl + L" + " + shift + L" + ←"},
        {VK_UP, HOTKEYF_EXT, L"↑"},
        {VK_DOWN, HOTKEYF_ALT | HOTKEYF_SHIFT, shift + L" + " + alt + L" + ↓"},
        {VK_RIGHT, HOTKEYF_EXT, L"→"},
        {VK_F5, 0, KeyNameText(VK_F5, false)},
        {'S', HOTKEYF_CONTROL, ctrl + L" + " + KeyNameText('S', false)},
        {VK_NEXT, HOTKEYF_EXT, KeyNameText(VK_NEXT, true)},
        {VK_SPACE, 0, L"空格"},
        {VK_RETURN, HOTKEYF_CONTROL, ctrl + L" + 回车"},
    };
    for (const auto& c : cases) EXPECT_EQ(HotKeyToText(c.key, c.mods), c.want) << c.key << "/" << c.mods;
    EXPECT_FALSE(KeyNameText(VK_F5, false).empty());
}

}  // namespace
