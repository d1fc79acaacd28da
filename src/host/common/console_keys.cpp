#include "common/console_keys.h"

#include "common/key_decoder.h"

namespace {

// The virtual-key codes of the keys without a character, as the Windows headers number them.
constexpr unsigned VK_CLEAR_ = 0x0C, VK_ESCAPE_ = 0x1B;
constexpr unsigned VK_PRIOR_ = 0x21, VK_NEXT_ = 0x22, VK_END_ = 0x23, VK_HOME_ = 0x24;
constexpr unsigned VK_LEFT_ = 0x25, VK_UP_ = 0x26, VK_RIGHT_ = 0x27, VK_DOWN_ = 0x28;
constexpr unsigned VK_INSERT_ = 0x2D, VK_DELETE_ = 0x2E, VK_F1_ = 0x70, VK_F10_ = 0x79, VK_F11_ = 0x7A, VK_F12_ = 0x7B;
constexpr int KEY_KEYPAD_5 = 76;

struct CursorKey {
    unsigned virtual_key;
    int code;
};
constexpr CursorKey CURSOR_KEYS[] = {
    {VK_HOME_, KEY_HOME},     {VK_UP_, KEY_UP},         {VK_PRIOR_, KEY_PAGE_UP},  {VK_LEFT_, KEY_LEFT},
    {VK_RIGHT_, KEY_RIGHT},   {VK_END_, KEY_END},       {VK_DOWN_, KEY_DOWN},      {VK_NEXT_, KEY_PAGE_DOWN},
    {VK_INSERT_, KEY_INSERT}, {VK_DELETE_, KEY_DELETE}, {VK_CLEAR_, KEY_KEYPAD_5},
};

int two(int codes[2], int prefix, int code) {
    codes[0] = prefix;
    codes[1] = code;
    return 2;
}

}  // namespace

int console_key_codes(const ConsoleKey& key, int codes[2]) {
    if (key.character != 0) {
        codes[0] = static_cast<int>(key.character);
        return 1;
    }
    if (key.virtual_key == VK_ESCAPE_) {  // some consoles report it without its character
        codes[0] = KEY_ESCAPE;
        return 1;
    }
    for (const CursorKey& k : CURSOR_KEYS)
        if (k.virtual_key == key.virtual_key)
            return two(codes, key.enhanced ? KEY_PREFIX_EXTENDED : KEY_PREFIX_FUNCTION, k.code);
    if (key.virtual_key >= VK_F1_ && key.virtual_key <= VK_F10_)
        return two(codes, KEY_PREFIX_FUNCTION, KEY_F1 + static_cast<int>(key.virtual_key - VK_F1_));
    if (key.virtual_key == VK_F11_) return two(codes, KEY_PREFIX_EXTENDED, KEY_F11);
    if (key.virtual_key == VK_F12_) return two(codes, KEY_PREFIX_EXTENDED, KEY_F12);
    return 0;  // Shift, Ctrl, Alt, the lock keys and the like, alone
}
