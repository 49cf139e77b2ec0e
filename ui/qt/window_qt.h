// Inside view of the Qt backend, for its own tests: the widgets behind the
// ids and the pieces of the standard dialogs that can be checked without a
// user. Program logic never includes this.
#pragma once

#include <string_view>

#include <QStringList>

class QWidget;

namespace qtwindow {

QWidget* WindowFrame(int windowId);   // the top-level widget, nullptr when not open
QWidget* WindowClient(int windowId);  // the client area (below the menu bar)
QWidget* ControlWidget(int controlId);
int QueuedEventCount();  // events WaitForEvent would hand out without waiting

// Qt name filters of a "description|filter|..." pattern, in order.
QStringList NameFiltersOf(std::string_view pattern);
// Index into those filters that a Win32 filter index (1-based, 0 = first) picks.
int NameFilterIndex(int patternIndex, int filterCount);

}  // namespace qtwindow
