// The kinds of control every backend keeps in its control table, one per
// Create... function of ui/window.h. For the backends only.
#pragma once

enum class ControlKind {
  Label,
  PushButton,
  DropDownList,
  GroupFrame,
  RadioOption,
  CheckBox,
  TextField,
  Picture,
  TextBox
};
