// The kinds of dialog control a wrapper drives, and what a template's
// control is. A wrapper says, per entry of its table, which kind it drives
// (GControlWrapper::ExpectedKind); a test holds every page's and dialog's
// template to that, so that a control of the wrong kind (a push button
// where a check box belongs: BM_GETCHECK answers 0 and a click can only
// switch the option off) cannot come back unnoticed. The same kinds decide
// which WM_COMMAND notifications mean that the user changed something.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>

#include "platform/host/resources.h"
#include "platform/host/types.h"

enum class GControlKind : std::uint8_t {
  kAny,           // not checked, every WM_COMMAND reaches the wrapper
  kPushButton,    // Button, push or default push
  kCheckBox,      // Button, check box or three-state (plain or automatic)
  kRadioButton,   // Button, radio (plain or automatic)
  kDropDownList,  // ComboBox with the drop-down list style
  kComboBox,      // ComboBox of any style
  kListBox,
  kEdit,
  kUpDown,      // msctls_updown32
  kStatic,      // Static text or picture, not owner-drawn
  kOwnerDrawn,  // Button drawn by its wrapper
  kGroupBox,    // Button with the group-box style (a frame; sends nothing)
};

// The kind `item` is, by its class and style: never kAny (an unknown class
// answers kAny only when nothing else fits).
GControlKind KindOfControl(const platform::DialogItemTemplate& item);

// Whether a control of kind `kind` is what a wrapper expecting `expected`
// drives (kAny accepts everything; kComboBox any ComboBox).
bool ControlKindFits(GControlKind expected, GControlKind kind);

// Whether WM_COMMAND's notification code `code` from a control of kind
// `kind` means that the user changed its value: a click of a button, check
// box or radio button; a selection change of a list; an edit losing focus.
// kAny answers true (the wrapper sorts the notifications out itself).
bool IsChangeNotification(GControlKind kind, platform::WORD code);

// The display name of `kind` ("check box"), for messages.
const char* ControlKindName(GControlKind kind);
