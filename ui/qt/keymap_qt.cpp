#include "ui/qt/keymap_qt.h"

#include <array>

namespace qtkeys {
namespace {

// X key codes (evdev + 8) of the main block and the virtual key a US layout
// gives at each position; 0 where the position names no such key.
constexpr int kFirstPositionCode = 10;
constexpr std::array<int, 85> kPositionKeys = [] {
  std::array<int, 85> keys{};
  const auto put = [&keys](int xCode, int vk) { keys[xCode - kFirstPositionCode] = vk; };
  const char digits[] = "1234567890";
  for (int i = 0; i < 10; ++i) put(10 + i, digits[i]);
  put(20, 189);  // minus
  put(21, 187);  // equals
  const char top[] = "QWERTYUIOP";
  for (int i = 0; i < 10; ++i) put(24 + i, top[i]);
  put(34, 219);  // [
  put(35, 221);  // ]
  const char middle[] = "ASDFGHJKL";
  for (int i = 0; i < 9; ++i) put(38 + i, middle[i]);
  put(47, 186);  // ;
  put(48, 222);  // '
  put(49, 192);  // `
  put(51, 220);  // backslash
  const char bottom[] = "ZXCVBNM";
  for (int i = 0; i < 7; ++i) put(52 + i, bottom[i]);
  put(59, 188);  // ,
  put(60, 190);  // .
  put(61, 191);  // /
  put(94, 226);  // the extra key of ISO keyboards
  return keys;
}();

int PositionKey(uint32_t scanCode) {
  if (scanCode < kFirstPositionCode || scanCode >= kFirstPositionCode + kPositionKeys.size()) {
    return 0;
  }
  return kPositionKeys[scanCode - kFirstPositionCode];
}

// The Russian (JCUKEN) layout: each Cyrillic capital А..Я and the key a US
// layout has at its place; used when no position is known.
constexpr std::array<int, 32> kCyrillicKeys = {
    'F', 188, 'D', 'U', 'L', 'T', 186, 'P',  // А Б В Г Д Е Ж З
    'B', 'Q', 'R', 'K', 'V', 'Y', 'J', 'G',  // И Й К Л М Н О П
    'H', 'C', 'N', 'E', 'A', 219, 'W', 'X',  // Р С Т У Ф Х Ц Ч
    'I', 'O', 221, 'S', 'M', 222, 190, 'Z',  // Ш Щ Ъ Ы Ь Э Ю Я
};
constexpr int kCyrillicCapitalA = 0x0410;
constexpr int kCyrillicCapitalIo = 0x0401;  // Ё

// Keys named by Qt and their virtual-key codes.
struct NamedKey {
  int qtKey;
  int vk;
};
constexpr NamedKey kNamedKeys[] = {
    {Qt::Key_Backspace, kVkBack},
    {Qt::Key_Tab, kVkTab},
    {Qt::Key_Backtab, kVkTab},
    {Qt::Key_Return, kVkReturn},
    {Qt::Key_Enter, kVkReturn},
    {Qt::Key_Clear, 12},
    {Qt::Key_Shift, kVkShift},
    {Qt::Key_Control, kVkControl},
    {Qt::Key_Alt, kVkMenu},
    {Qt::Key_AltGr, kVkMenu},
    {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, kVkEscape},
    {Qt::Key_Space, kVkSpace},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},
    {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_Meta, 91},
    {Qt::Key_Menu, 93},
    {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    // Punctuation, unshifted and shifted as on a US keyboard.
    {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},
    {Qt::Key_Comma, kVkOemComma},
    {Qt::Key_Less, kVkOemComma},
    {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189},
    {Qt::Key_Period, kVkOemPeriod},
    {Qt::Key_Greater, kVkOemPeriod},
    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},
    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},
    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, kVkOemQuote},
    {Qt::Key_QuoteDbl, kVkOemQuote},
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
};

// Keys of the numeric keypad (Qt marks them with KeypadModifier). With Num
// Lock on they are digits; off, Qt already names the navigation key.
int KeypadKey(int qtKey) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return kVkNumpad0 + (qtKey - Qt::Key_0);
  switch (qtKey) {
    case Qt::Key_Asterisk:
      return 106;
    case Qt::Key_Plus:
      return 107;
    case Qt::Key_Minus:
      return 109;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      return 110;  // decimal point
    case Qt::Key_Slash:
      return 111;
    default:
      return 0;  // navigation keys and Enter: by name
  }
}

int NamedKeyOf(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return kVkF1 + (qtKey - Qt::Key_F1);
  if (qtKey >= kCyrillicCapitalA && qtKey < kCyrillicCapitalA + 32) {
    return kCyrillicKeys[static_cast<std::size_t>(qtKey - kCyrillicCapitalA)];
  }
  if (qtKey == kCyrillicCapitalIo) return 192;
  for (const NamedKey& named : kNamedKeys) {
    if (named.qtKey == qtKey) return named.vk;
  }
  return 0;
}

// Identity of a physical key for matching its release to its press.
uint64_t KeyIdentity(const KeyFacts& key) {
  if (key.scanCode != 0) return key.scanCode;
  const uint64_t keypad = (key.modifiers & Qt::KeypadModifier) ? 1 : 0;
  return (uint64_t{1} << 40) | (keypad << 32) | static_cast<uint32_t>(key.qtKey);
}

}  // namespace

int VirtualKeyOf(int qtKey, uint32_t scanCode, Qt::KeyboardModifiers modifiers,
                 bool scanCodesArePositions) {
  if (modifiers & Qt::KeypadModifier) {
    if (const int vk = KeypadKey(qtKey)) return vk;
    return NamedKeyOf(qtKey);
  }
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  if (scanCodesArePositions) {
    if (const int vk = PositionKey(scanCode)) return vk;
  }
  return NamedKeyOf(qtKey);
}

KeyMessage TranslateKey(KeyTracker& tracker, const KeyFacts& key, bool scanCodesArePositions) {
  const bool isAlt = key.qtKey == Qt::Key_Alt;
  const bool ctrl = (key.modifiers & Qt::ControlModifier) != 0;
  const uint64_t identity = KeyIdentity(key);
  if (key.press) {
    const int vk = VirtualKeyOf(key.qtKey, key.scanCode, key.modifiers, scanCodesArePositions);
    tracker.pressedKeys[identity] = vk;
    if (isAlt) {
      if (!key.autoRepeat) {
        tracker.altDown = true;
        tracker.keySinceAlt = false;
      }
      return {ctrl ? 256 : 260, vk};
    }
    const bool altHeld = (key.modifiers & Qt::AltModifier) != 0;
    if (altHeld) tracker.keySinceAlt = true;
    const bool system = (altHeld && !ctrl) || vk == kVkF10;
    return {system ? 260 : 256, vk};
  }
  if (key.autoRepeat) return {};  // the key is still down
  int vk = 0;
  if (const auto found = tracker.pressedKeys.find(identity); found != tracker.pressedKeys.end()) {
    vk = found->second;
    tracker.pressedKeys.erase(found);
  } else {
    vk = VirtualKeyOf(key.qtKey, key.scanCode, key.modifiers, scanCodesArePositions);
  }
  if (isAlt) {
    const bool alone = tracker.altDown && !tracker.keySinceAlt;
    tracker.altDown = false;
    tracker.keySinceAlt = false;
    return {alone && !ctrl ? 261 : 257, vk};
  }
  const bool altHeld = (key.modifiers & Qt::AltModifier) != 0;
  const bool system = (altHeld && !ctrl) || vk == kVkF10;
  return {system ? 261 : 257, vk};
}

}  // namespace qtkeys
