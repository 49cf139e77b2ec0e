// Inside view of the Win32 backend, for its own tests: the native handles
// behind the ids, the arithmetic the backend applies, and the pending window
// events. Program logic never includes this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/window.h"

namespace win32window {

NativeHandle WindowNativeHandle(int windowId);  // the HWND, 0 when not open
NativeHandle ControlNativeHandle(int controlId);
int QueuedWindowEventCount();  // window events WaitForEvent hands out before waiting

// Font height for CreateFont: -(points * dpi / 72) rounded to the nearest.
int FontHeightFor(int pointSize, int dotsPerInch);
// Top-left corner of a centred window of `outer` size on a `screen` side.
int CentredPosition(int screen, int outer);
// The "description|filter|..." pattern as the NUL-separated list of the file
// dialogs, ending with two NULs. Pairs without a filter are left out.
std::wstring FileDialogFilter(std::string_view pattern);
// "\n" line ends as the multi-line edit control wants them ("\r\n"), and back.
std::string ToControlLineEnds(std::string_view text);
std::string FromControlLineEnds(std::string_view text);

}  // namespace win32window
