// The key codes of a Windows console key event, as the console's own key
// reading gives them: pure, so that it can be tested on any machine.
#pragma once

// What a KEY_EVENT_RECORD of a key press says.
struct ConsoleKey {
    unsigned virtual_key;  // the VK_ code
    unsigned character;    // the UTF-16 character it types, 0 for none
    bool enhanced;         // ENHANCED_KEY: the grey cursor block rather than the keypad
};

// Puts the codes of `key` in `codes` and returns how many: a character key
// gives its character (Escape 27); a key without a character gives two codes,
// 224 (the grey cursor and editing keys, F11, F12) or 0 (F1 .. F10, the keypad
// with Num Lock off), then the key's own code; modifier and lock keys alone
// give nothing.
int console_key_codes(const ConsoleKey& key, int codes[2]);
