#include "platform/linux/keycodes/CarbonKeyCodes.h"

#include "platform/Event.h"

#include <array>

namespace platform::keycodes {

namespace {

constexpr std::uint16_t kNone = 0xFFFF;

// evdev code -> Carbon code for the codes below 128.
constexpr std::array<std::uint16_t, 128> makeLowTable() {
    std::array<std::uint16_t, 128> t{};
    for (auto& v : t) v = kNone;
    t[1] = 53; // Escape
    t[2] = 18;
    t[3] = 19;
    t[4] = 20;
    t[5] = 21; // 1 2 3 4
    t[6] = 23;
    t[7] = 22;
    t[8] = 26;
    t[9] = 28; // 5 6 7 8
    t[10] = 25;
    t[11] = 29; // 9 0
    t[12] = 27;
    t[13] = 24; // - =
    t[14] = 51; // Backspace (Delete)
    t[15] = 48; // Tab
    t[16] = 12;
    t[17] = 13;
    t[18] = 14;
    t[19] = 15;
    t[20] = 17; // q w e r t
    t[21] = 16;
    t[22] = 32;
    t[23] = 34;
    t[24] = 31;
    t[25] = 35; // y u i o p
    t[26] = 33;
    t[27] = 30; // [ ]
    t[28] = 36; // Return
    t[29] = 59; // left Control
    t[30] = 0;
    t[31] = 1;
    t[32] = 2;
    t[33] = 3;
    t[34] = 5; // a s d f g
    t[35] = 4;
    t[36] = 38;
    t[37] = 40;
    t[38] = 37; // h j k l
    t[39] = 41;
    t[40] = 39;
    t[41] = 50; // ; ' `
    t[42] = 56; // left Shift
    t[43] = 42; // backslash
    t[44] = 6;
    t[45] = 7;
    t[46] = 8;
    t[47] = 9;
    t[48] = 11; // z x c v b
    t[49] = 45;
    t[50] = 46; // n m
    t[51] = 43;
    t[52] = 47;
    t[53] = 44; // , . /
    t[54] = 60; // right Shift
    t[55] = 67; // keypad *
    t[56] = 58; // left Alt (Option)
    t[57] = 49; // Space
    t[58] = 57; // Caps Lock
    t[59] = 122;
    t[60] = 120;
    t[61] = 99;
    t[62] = 118;
    t[63] = 96; // F1-F5
    t[64] = 97;
    t[65] = 98;
    t[66] = 100;
    t[67] = 101;
    t[68] = 109; // F6-F10
    t[69] = 71;  // Num Lock = keypad Clear
    t[71] = 89;
    t[72] = 91;
    t[73] = 92; // keypad 7 8 9
    t[74] = 78; // keypad -
    t[75] = 86;
    t[76] = 87;
    t[77] = 88; // keypad 4 5 6
    t[78] = 69; // keypad +
    t[79] = 83;
    t[80] = 84;
    t[81] = 85; // keypad 1 2 3
    t[82] = 82;
    t[83] = 65; // keypad 0 .
    t[86] = 10; // ISO section key
    t[87] = 103;
    t[88] = 111; // F11 F12
    t[89] = 94;  // RO (JIS underscore)
    t[92] = 104;
    t[94] = 102; // Henkan -> Kana, Muhenkan -> Eisu
    t[95] = 95;  // keypad JP comma
    t[96] = 76;  // keypad Enter
    t[97] = 62;  // right Control
    t[98] = 75;  // keypad /
    t[100] = 61; // right Alt (Option)
    t[102] = 115;
    t[103] = 126;
    t[104] = 116; // Home Up PageUp
    t[105] = 123;
    t[106] = 124; // Left Right
    t[107] = 119;
    t[108] = 125;
    t[109] = 121; // End Down PageDown
    t[110] = 114; // Insert = Help
    t[111] = 117; // Delete = forward delete
    t[113] = 74;
    t[114] = 73;
    t[115] = 72; // Mute, Volume down, Volume up
    t[117] = 81; // keypad =
    t[121] = 95; // keypad comma
    t[124] = 93; // Yen
    t[125] = 55;
    t[126] = 54; // left and right Super (Command)
    return t;
}

constexpr auto kLowTable = makeLowTable();

} // namespace

std::optional<std::uint16_t> carbonKeyCodeForEvdev(unsigned evdevCode) {
    if (evdevCode < kLowTable.size()) {
        auto v = kLowTable[evdevCode];
        if (v == kNone) return std::nullopt;
        return v;
    }
    switch (evdevCode) {
    case 183: return 105; // F13
    case 184: return 107; // F14
    case 185: return 113; // F15
    case 186: return 106; // F16
    case 187: return 64;  // F17
    case 188: return 79;  // F18
    case 189: return 80;  // F19
    case 190: return 90;  // F20
    case 464: return 63;  // Fn
    default: return std::nullopt;
    }
}

std::optional<std::uint8_t> x11KeycodeForCarbon(std::uint32_t carbonKeyCode) {
    // The inverse of the evdev -> Carbon table; built once.
    static const auto table = [] {
        std::array<std::int16_t, 128> t;
        t.fill(-1);
        for (unsigned evdev = 0; evdev + 8 <= 255; ++evdev) {
            auto carbon = carbonKeyCodeForEvdev(evdev);
            if (carbon && *carbon < t.size() && t[*carbon] < 0) t[*carbon] = static_cast<std::int16_t>(evdev + 8);
        }
        return t;
    }();
    if (carbonKeyCode >= table.size() || table[carbonKeyCode] < 0) return std::nullopt;
    return static_cast<std::uint8_t>(table[carbonKeyCode]);
}

std::uint64_t modifierFlagForCarbonKey(std::uint16_t code) {
    switch (code) {
    case 56:
    case 60: return ModifierShift;
    case 59:
    case 62: return ModifierControl;
    case 58:
    case 61: return ModifierOption;
    case 55:
    case 54: return ModifierCommand;
    case 57: return ModifierCapsLock;
    case 63: return ModifierFunction;
    default: return 0;
    }
}

bool isNumericPadKey(std::uint16_t code) {
    if (code >= 123 && code <= 126) return true; // arrows
    return *keypadCharacters(code) != '\0';
}

const char* keypadCharacters(std::uint16_t code) {
    switch (code) {
    case 82: return "0";
    case 83: return "1";
    case 84: return "2";
    case 85: return "3";
    case 86: return "4";
    case 87: return "5";
    case 88: return "6";
    case 89: return "7";
    case 91: return "8";
    case 92: return "9";
    case 65: return ".";
    case 67: return "*";
    case 69: return "+";
    case 75: return "/";
    case 78: return "-";
    case 81: return "=";
    case 76: return "\x03";
    default: return "";
    }
}

std::uint64_t modifierFlagsFromX11State(unsigned state) {
    std::uint64_t flags = 0;
    if (state & 0x01) flags |= ModifierShift;
    if (state & 0x02) flags |= ModifierCapsLock;
    if (state & 0x04) flags |= ModifierControl;
    if (state & 0x08) flags |= ModifierOption;
    if (state & 0x40) flags |= ModifierCommand;
    return flags;
}

} // namespace platform::keycodes
