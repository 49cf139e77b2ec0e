// Key events of the Qt backend turned into the Win32 key messages and
// virtual-key codes the program reads. Plain data in, plain data out: nothing
// here needs a display, so every rule can be tested on its own.
//
// Letters and digits are taken from the key's position on the keyboard when
// the platform's native scan codes are positions (X11 and Wayland: the X key
// code, evdev code + 8), so a Cyrillic layout still gives A..Z. A key whose
// Qt key is already a Latin letter keeps it (QWERTZ, AZERTY, Dvorak).
#pragma once

#include <cstdint>
#include <unordered_map>

#include <QtCore/qnamespace.h>

namespace qtkeys {

// Win32 virtual-key codes the program and this mapping name.
inline constexpr int kVkBack = 8;
inline constexpr int kVkTab = 9;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkShift = 16;
inline constexpr int kVkControl = 17;
inline constexpr int kVkMenu = 18;  // Alt
inline constexpr int kVkEscape = 27;
inline constexpr int kVkSpace = 32;
inline constexpr int kVkNumpad0 = 96;
inline constexpr int kVkF1 = 112;
inline constexpr int kVkF10 = 121;
inline constexpr int kVkOemComma = 188;
inline constexpr int kVkOemPeriod = 190;
inline constexpr int kVkOemQuote = 222;

// The virtual-key code of one key, 0 when it has none. `scanCode` is the
// native scan code (0 when unknown, as for synthesised events);
// `scanCodesArePositions` says whether it is an X key code.
int VirtualKeyOf(int qtKey, uint32_t scanCode, Qt::KeyboardModifiers modifiers,
                 bool scanCodesArePositions);

// One key event as Qt delivered it.
struct KeyFacts {
  bool press = true;  // false: release
  int qtKey = 0;
  uint32_t scanCode = 0;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  bool autoRepeat = false;
};

// What the program sees: a message code (256, 257, 260 or 261) with its
// virtual-key code; code 0 means the event is not reported.
struct KeyMessage {
  int code = 0;
  int virtualKey = 0;
};

// What the translation remembers between events.
struct KeyTracker {
  std::unordered_map<uint64_t, int> pressedKeys;  // key identity -> code given at its press
  bool altDown = false;
  bool keySinceAlt = false;  // another key went down while Alt was held
};

// Win32 rules: a key pressed while Alt (without Ctrl) is held, Alt itself and
// F10 give 260, their releases 261; Alt released after another key gives 257.
// Auto-repeat gives repeated key-downs and no releases in between. A release
// carries the code its press was given.
KeyMessage TranslateKey(KeyTracker& tracker, const KeyFacts& key, bool scanCodesArePositions);

}  // namespace qtkeys
