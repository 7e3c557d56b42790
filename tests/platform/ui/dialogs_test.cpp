// Dialogs from templates, modal dialogs run by scripts (nested, unscripted,
// left open), and message boxes answered by expectations and handlers.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/ui/message_boxes.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace platform;
using support::UiDialog;
using testing_support::heard;
using Lines = std::vector<std::string>;

class Dialogs : public testing_support::ModuleFixture {
 protected:
  INT_PTR Modal(UINT template_id, HWND owner = nullptr, LPARAM parameter = 0) {
    return DialogBoxParamW(module_, MakeIntResourceW(template_id), owner,
                           testing_support::RecordingProc, parameter);
  }
};

std::u16string ClassOf(HWND window) {
  char16_t name[32];
  return std::u16string(name, std::size_t(GetClassNameW(window, name, 32)));
}

TEST_F(Dialogs, ADialogIsMadeFromItsTemplate) {
  HWND dialog = CreateDialogParamW(module_, MakeIntResourceW(100), nullptr,
                                   testing_support::RecordingProc, 42);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(heard.Take(), Lines{"init 42"});
  UiDialog view(dialog);
  EXPECT_EQ(view.Caption(), u"Controls");
  EXPECT_EQ(ClassOf(dialog), u"#32770");
  EXPECT_TRUE(IsWindowVisible(dialog));  // the template says visible
  EXPECT_EQ(FindDialogByTemplate(100), dialog);
  EXPECT_EQ(DialogTemplateId(dialog), 100u);
  const struct {
    int id;
    const char16_t* class_name;
    const char16_t* text;
    bool visible, enabled;
  } controls[] = {
      {1, u"Button", u"OK", true, true},       {10, u"Button", u"&Remember", true, true},
      {20, u"ComboBox", u"", true, true},      {31, u"msctls_updown32", u"", true, true},
      {40, u"Static", u"Label", true, true},   {50, u"ListBox", u"", true, true},
      {60, u"Button", u"Hidden", false, true}, {61, u"Button", u"Off", true, false},
  };
  for (const auto& c : controls) {
    HWND control = GetDlgItem(dialog, c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(ClassOf(control), c.class_name);
    EXPECT_EQ(view.Text(c.id), c.text);
    EXPECT_EQ(bool(IsWindowVisible(control)), c.visible) << c.id;
    EXPECT_EQ(bool(IsWindowEnabled(control)), c.enabled) << c.id;
    EXPECT_EQ(GetParent(control), dialog);
  }
  EXPECT_EQ(GetTopWindow(dialog), GetDlgItem(dialog, 1));  // template order

  // A page is a child of the window it is made in, hidden until shown.
  HWND page = CreateDialogParamW(module_, MakeIntResourceW(400), dialog, nullptr, 0);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(GetParent(page), dialog);
  EXPECT_FALSE(IsWindowVisible(page));
  EXPECT_EQ(UiHandleCount(UiHandleKind::kDialog), 2u);
  EXPECT_EQ(UiHandleCount(UiHandleKind::kWindow), 15u);  // 14 controls and the page's one
  DestroyWindow(dialog);
  EXPECT_EQ(heard.Take(), Lines{"destroy"});
  EXPECT_EQ(UiHandleCount(UiHandleKind::kDialog), 0u);
  EXPECT_EQ(UiHandleCount(UiHandleKind::kWindow), 0u);
}

TEST_F(Dialogs, AScriptedModalDialogAnswersItsEndDialogValue) {
  HWND owner =
      CreateWindowExW(0, u"Static", u"owner", kWsVisible, 0, 0, 9, 9, nullptr, 0, nullptr, nullptr);
  ui.OnDialog(200, [&](UiDialog dialog) {
    EXPECT_FALSE(IsWindowEnabled(owner));  // modal to its owner
    EXPECT_TRUE(IsWindowVisible(dialog.Handle()));
    EXPECT_EQ(dialog.Caption(), u"Outer");
    EXPECT_EQ(GetParent(dialog.Handle()), owner);
    dialog.Type(202, u"typed");
    dialog.Click(kIdOk);
  });
  EXPECT_EQ(Modal(200, owner, 9), kIdOk);
  EXPECT_EQ(heard.Take(),
            (Lines{"init 9", "command 202 256", "command 202 768", "command 1 0", "destroy"}));
  EXPECT_TRUE(IsWindowEnabled(owner));
  DestroyWindow(owner);
}

// Outer's "More..." opens the inner dialog, whose result outer keeps.
INT_PTR inner_result = 0;
INT_PTR OuterProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmCommand && LowWord(wparam) == 201) {
    auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, kGwlpHInstance));
    inner_result =
        DialogBoxParamW(module, MakeIntResourceW(300), dialog, testing_support::RecordingProc, 3);
    return 1;
  }
  return testing_support::RecordingProc(dialog, message, wparam, lparam);
}

TEST_F(Dialogs, DialogsNest) {
  ui.OnDialog(200, [](UiDialog outer) {
    outer.Click(201);
    EXPECT_EQ(inner_result, 7);
    outer.Click(kIdCancel);
  });
  ui.OnDialog(300, [](UiDialog inner) {
    EXPECT_FALSE(IsWindowEnabled(GetParent(inner.Handle())));  // outer waits
    inner.Type(301, u"x");
    EndDialog(inner.Handle(), 7);
  });
  EXPECT_EQ(DialogBoxParamW(module_, MakeIntResourceW(200), nullptr, OuterProc, 2), kIdCancel);
  EXPECT_EQ(heard.Take(), (Lines{"init 2", "init 3", "command 301 256", "command 301 768",
                                 "destroy", "command 2 0", "destroy"}));
}

TEST_F(Dialogs, AnUnscriptedDialogFailsNamingItsTemplate) {
  INT_PTR result = 0;
  EXPECT_NONFATAL_FAILURE(result = Modal(200), "unscripted dialog 200");
  EXPECT_EQ(result, kIdCancel);  // cancelled, as the Escape key does
  EXPECT_EQ(heard.Take(), (Lines{"init 0", "command 2 0", "destroy"}));

  SetStrictDialogs(false);
  EXPECT_EQ(Modal(300), kIdCancel);
  EXPECT_EQ(UiFailures().size(), 1u);

  ui.OnDialog(200, [](UiDialog) {});  // a script that leaves it open
  EXPECT_NONFATAL_FAILURE(result = Modal(200), "dialog 200 left open by its script");
  EXPECT_EQ(result, kIdCancel);
}

TEST_F(Dialogs, EndingDuringInitialisationRunsNoScript) {
  INT_PTR result = DialogBoxParamW(
      module_, MakeIntResourceW(300), nullptr,
      [](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == kWmInitDialog) EndDialog(dialog, 12);
        return 0;
      },
      0);
  EXPECT_EQ(result, 12);
  EXPECT_TRUE(UiFailures().empty());
}

// Box flags 0x41: OK and Cancel with the information icon.
TEST_F(Dialogs, MessageBoxesAreAnsweredAsExpected) {
  HWND owner = CreateWindowExW(0, u"Static", u"", 0, 0, 0, 9, 9, nullptr, 0, nullptr, nullptr);
  ui.ExpectBox(u"The paper does not fit.", u"Incompatible Options", 0x41, kIdCancel);
  EXPECT_EQ(MessageBoxW(owner, u"The paper does not fit.", u"Incompatible Options", 0x41),
            kIdCancel);
  MessageBoxExpectation by_id;
  by_id.caption = u"Incompatible Options";
  by_id.text_id = 2;
  by_id.text_module = module_;
  by_id.answer = kIdOk;
  ui.ExpectBox(by_id);
  EXPECT_EQ(MessageBoxW(nullptr, u"Plain", u"Incompatible Options", kMbOk | kMbIconHand), kIdOk);
  std::vector<MessageBoxRecord> log = ui.Boxes();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].owner, owner);
  EXPECT_EQ(log[0].flags, 0x41u);
  EXPECT_EQ(log[0].answer, kIdCancel);
  EXPECT_EQ(log[1].flags, kMbOk | kMbIconHand);  // as given

  // Unexpected boxes fail and close as their Cancel (or only) button.
  const struct {
    UINT flags;
    int answer;
  } unexpected[] = {
      {kMbOkCancel, kIdCancel}, {kMbOk, kIdOk}, {kMbYesNo, kIdYes}, {kMbYesNoCancel, kIdCancel}};
  for (const auto& u : unexpected) {
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(answer = MessageBoxW(nullptr, u"Surprise", nullptr, u.flags),
                            "unexpected message box caption \"Error\", text \"Surprise\"");
    EXPECT_EQ(answer, u.answer) << u.flags;
  }
  ui.ExpectBox(u"one", u"c", kMbOk, kIdOk);
  EXPECT_NONFATAL_FAILURE(MessageBoxW(nullptr, u"two", u"c", kMbOk), "text (expected \"one\")");
  ui.ExpectBox(u"one", u"c", kMbOk, kIdYes);  // no button of an OK box
  EXPECT_NONFATAL_FAILURE(MessageBoxW(nullptr, u"one", u"c", kMbOk), "answer 6 is no button");

  SetMessageBoxHandler(
      [](const MessageBoxRecord& box) { return box.text == u"retry?" ? kIdRetry : kIdCancel; });
  EXPECT_EQ(MessageBoxW(nullptr, u"retry?", u"c", kMbRetryCancel), kIdRetry);
  EXPECT_EQ(MessageBoxW(nullptr, u"no", u"c", kMbRetryCancel), kIdCancel);
  EXPECT_EQ(MessageBoxW(nullptr, u"no", u"c", 7), 0);  // no such box
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_EQ(ui.Boxes().size(), 10u);
  DestroyWindow(owner);
}

}  // namespace
