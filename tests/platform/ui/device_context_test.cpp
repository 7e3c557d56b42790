// Printer device contexts: what they record, refuse and measure.
#include <gtest/gtest.h>

#include "platform/ui/device_context.h"
#include "platform/ui/ui_resources.h"
#include "platform/ui/window.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace platform;

class DeviceContexts : public testing_support::UiFixture {};

TEST_F(DeviceContexts, StatesFontsAndEscapesOfAPrinterContext) {
  HDC dc = CreatePrinterDC({4960, 7016, 600});
  EXPECT_EQ(GetDeviceCaps(dc, kHorzRes) + GetDeviceCaps(dc, kVertRes), 4960 + 7016);
  EXPECT_EQ(GetDeviceCaps(dc, kLogPixelsY), 600);
  EXPECT_EQ(GetDeviceCaps(dc, 88), 0);
  // Saved levels: 1 and 2; a negative level counts back; a gone level fails.
  SetTextColor(dc, 0x10);
  EXPECT_EQ(SaveDC(dc), 1);
  SetTextColor(dc, 0x20);
  EXPECT_EQ(SaveDC(dc), 2);
  SetTextColor(dc, 0x30);
  EXPECT_EQ(RestoreDC(dc, -1), 1);
  EXPECT_EQ(GetTextColor(dc), 0x20u);
  EXPECT_EQ(RestoreDC(dc, 1), 1);
  EXPECT_EQ(GetTextColor(dc), 0x10u);
  EXPECT_EQ(RestoreDC(dc, 1), 0);
  // Text extents: |height| x characters / 2 by |height|.
  LogFontW record;
  record.height = -833;
  HFONT font = CreateFontIndirectW(&record);
  HGDIOBJ stock = SelectObject(dc, font);
  ASSERT_NE(stock, nullptr);
  Size size;
  ASSERT_EQ(GetTextExtentPoint32W(dc, u"DRAFT", 5, &size), 1);
  EXPECT_EQ(size.cx, 2082);
  EXPECT_EQ(size.cy, 833);
  EXPECT_EQ(SelectObject(dc, stock), font);
  EXPECT_EQ(DeleteObject(font), 1);
  EXPECT_EQ(SelectObject(dc, font), nullptr);  // deleted
  // Escapes answer what was scripted for their code; the reply is cut to
  // the caller's buffer.
  char reply[4] = {};
  EXPECT_EQ(ExtEscape(dc, 7, 0, nullptr, 4, reply), 0);
  ScriptEscape(dc, 7, 3, {'a', 'b', 'c', 'd', 'e', 'f'});
  EXPECT_EQ(ExtEscape(dc, 7, 2, "xy", 4, reply), 3);
  EXPECT_EQ(std::string(reply, 4), "abcd");
  EXPECT_EQ(ExtEscape(dc, 7, -1, nullptr, 0, nullptr), -1);
  EXPECT_EQ(ExtEscape(dc, 7, 3, nullptr, 0, nullptr), -1);
  IntersectClipRect(dc, 100, 100, 9000, 200);
  ASSERT_EQ(ExtTextOutW(dc, 5, 6, 0, nullptr, u"ab", 2, nullptr), 1);
  const std::vector<DcEvent> log = DeviceContextLog(dc);
  ASSERT_EQ(log.size(), 7u);  // 2 saves, 2 restores, 2 escapes, the text
  EXPECT_EQ(log[5].bytes, (std::vector<BYTE>{'x', 'y'}));
  EXPECT_EQ(log[6].text, u"ab");
  EXPECT_EQ(log[6].state.clip.right, 4960);
  EXPECT_EQ(log[6].state.clip.bottom, 200);
  EXPECT_EQ(DeleteDC(dc), 1);
  EXPECT_EQ(DeleteDC(dc), 0);
}

TEST_F(DeviceContexts, HandlesOfOtherKindsAreRefused) {
  HWND window = CreateWindowExW(0, u"STATIC", u"", 0, 0, 0, 10, 10, nullptr, 0, nullptr, nullptr);
  HDC as_dc = reinterpret_cast<HDC>(window);
  EXPECT_EQ(SaveDC(as_dc), 0);
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(ExtEscape(as_dc, 1, 0, nullptr, 0, nullptr), 0);
  EXPECT_EQ(GetDeviceCaps(as_dc, kHorzRes), 0);
  HDC dc = CreatePrinterDC({});
  EXPECT_EQ(SelectObject(dc, window), nullptr);
  EXPECT_EQ(DeleteObject(dc), 0);
  EXPECT_EQ(CreateFontIndirectW(nullptr), nullptr);
  DeleteDC(dc);
  DestroyWindow(window);
}

}  // namespace
