#include "resources/script/resource_script.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

#include "platform/host/host_state.h"
#include "platform/text.h"
#include "platform/ui/messages.h"

namespace resources {
namespace {

using platform::DWORD;
using platform::UINT;

constexpr DWORD kDialogStyle =
    platform::kWsPopup | platform::kWsCaption | platform::kWsSysMenu | platform::kDsModalFrame;
constexpr DWORD kPageClear = kDialogStyle;
constexpr long kMaxBitmapSide = 4096;
constexpr long kMaxCursorSide = 256;

struct StyleWord {
  const char* class_name;  // null: any window
  const char* word;
  DWORD set;
  DWORD clear;
};

constexpr StyleWord kStyleWords[] = {
    {nullptr, "hidden", 0, platform::kWsVisible},
    {nullptr, "disabled", platform::kWsDisabled, 0},
    {nullptr, "tabstop", platform::kWsTabStop, 0},
    {nullptr, "group", platform::kWsGroup, 0},
    {nullptr, "border", platform::kWsBorder, 0},
    {nullptr, "vscroll", platform::kWsVScroll, 0},
    {"#32770", "visible", platform::kWsVisible, 0},
    {"#32770", "child", platform::kWsChild, kPageClear},
    {"Button", "defpush", platform::kBsDefPushButton, 0},
    {"Button", "check", platform::kBsCheckBox, 0},
    {"Button", "autocheck", platform::kBsAutoCheckBox, 0},
    {"Button", "radio", platform::kBsRadioButton, 0},
    {"Button", "autoradio", platform::kBsAutoRadioButton, 0},
    {"Button", "3state", platform::kBs3State, 0},
    {"Button", "auto3state", platform::kBsAuto3State, 0},
    {"Button", "groupbox", platform::kBsGroupBox, 0},
    {"Button", "ownerdraw", platform::kBsOwnerDraw, 0},
    {"Button", "notify", platform::kBsNotify, 0},
    {"ComboBox", "simple", platform::kCbsSimple, 0},
    {"ComboBox", "dropdown", platform::kCbsDropDown, 0},
    {"ComboBox", "dropdownlist", platform::kCbsDropDownList, 0},
    {"ListBox", "notify", platform::kLbsNotify, 0},
    {"Edit", "readonly", platform::kEsReadOnly, 0},
    {"Edit", "autohscroll", platform::kEsAutoHScroll, 0},
    {"Static", "notify", platform::kSsNotify, 0},
    {"msctls_updown32", "horz", platform::kUdsHorz, 0},
};

struct Token {
  std::string text;     // a bare word
  std::u16string wide;  // a quoted text
  bool quoted = false;
};

bool SameWithoutCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return platform::AsciiToLower(x) == platform::AsciiToLower(y);
         });
}

class Parser {
 public:
  explicit Parser(std::string_view script) : script_(script) {}

  bool Run(platform::ModuleResources* out, std::string* error) {
    out_ = out;
    *out = {};
    std::size_t at = 0;
    while (ok_ && at < script_.size()) {
      std::size_t end = script_.find('\n', at);
      if (end == std::string_view::npos) end = script_.size();
      ++line_;
      Tokenize(script_.substr(at, end - at));
      if (ok_ && !tokens_.empty()) Statement();
      at = end + 1;
    }
    if (ok_ && pixels_left_ > 0) Fail("the bitmap lacks pixels");
    if (ok_ && in_dialog_) Fail("a dialog lacks its \"end\"");
    if (ok_ && in_version_) Fail("a version record lacks its \"end\"");
    if (!ok_) *error = "line " + std::to_string(line_) + ": " + error_;
    return ok_;
  }

 private:
  void Fail(const std::string& what) {
    if (ok_) error_ = what;
    ok_ = false;
  }

  void Tokenize(std::string_view line) {
    tokens_.clear();
    std::size_t at = 0;
    while (ok_ && at < line.size()) {
      char c = line[at];
      if (platform::AsciiIsSpace(c)) {
        ++at;
      } else if (c == '#') {
        return;
      } else if (c == '"') {
        std::u16string text = Quoted(line, at);
        tokens_.push_back({"", std::move(text), true});
      } else {
        std::size_t start = at;
        while (at < line.size() && !platform::AsciiIsSpace(line[at]) && line[at] != '"' &&
               line[at] != '#') {
          ++at;
        }
        tokens_.push_back({std::string(line.substr(start, at - start)), u"", false});
      }
    }
  }

  // The text of the quoted token at `at` (moved past it), escapes resolved.
  std::u16string Quoted(std::string_view line, std::size_t& at) {
    std::u16string text;
    std::string run;  // UTF-8 not yet widened
    auto flush = [&] {
      std::u16string wide;
      if (!platform::MultiByteToWide(run.data(), run.size(), wide)) Fail("a text is not UTF-8");
      text += wide;
      run.clear();
    };
    for (++at; ok_ && at < line.size(); ++at) {
      char c = line[at];
      if (c == '"') {
        ++at;
        flush();
        return text;
      }
      if (c != '\\') {
        run += c;
        continue;
      }
      if (++at == line.size()) break;
      switch (line[at]) {
        case '"':
        case '\\':
          run += line[at];
          break;
        case 'n':
          run += '\n';
          break;
        case 't':
          run += '\t';
          break;
        case 'u': {
          unsigned unit = 0;
          for (std::size_t digit = 1; digit <= 4; ++digit) {
            int value = at + digit < line.size() ? HexDigit(line[at + digit]) : -1;
            if (value < 0) {
              Fail("a \\u escape needs four hex digits");
              return text;
            }
            unit = unit * 16 + unsigned(value);
          }
          at += 4;
          flush();
          text += char16_t(unit);
          break;
        }
        default:
          Fail(std::string("unknown escape \\") + line[at]);
          return text;
      }
    }
    Fail("a text lacks its closing quote");
    return text;
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = platform::AsciiToLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }

  bool Number(std::size_t index, long low, long high, long* value) {
    if (index >= tokens_.size() || tokens_[index].quoted) {
      Fail("a number is missing");
      return false;
    }
    const std::string& text = tokens_[index].text;
    bool negative = !text.empty() && text[0] == '-';
    std::string_view digits = std::string_view(text).substr(negative ? 1 : 0);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
      base = 16;
      digits.remove_prefix(2);
    }
    long long result = 0;
    for (char c : digits) {
      int digit = HexDigit(c);
      if (digit < 0 || digit >= base || result > 0xFFFFFFFFLL) {
        result = -1;
        break;
      }
      result = result * base + digit;
    }
    if (digits.empty() || result < 0) {
      Fail("\"" + text + "\" is no number");
      return false;
    }
    if (negative) result = -result;
    if (result < low || result > high) {
      Fail(text + " is out of range");
      return false;
    }
    *value = long(result);
    return true;
  }

  bool Text(std::size_t index, std::u16string* out) {
    if (index >= tokens_.size() || !tokens_[index].quoted) {
      Fail("a quoted text is missing");
      return false;
    }
    *out = tokens_[index].wide;
    return true;
  }

  bool Id(std::size_t index, std::set<UINT>& seen, UINT* id) {
    long value;
    if (!Number(index, 0, platform::kMaxResourceId, &value)) return false;
    if (!seen.insert(UINT(value)).second) {
      Fail("id " + std::to_string(value) + " is given twice");
      return false;
    }
    *id = UINT(value);
    return true;
  }

  // Applies the style words and numbers from token `index` on.
  bool Styles(std::size_t index, std::string_view class_name, DWORD* style) {
    for (; index < tokens_.size(); ++index) {
      const Token& token = tokens_[index];
      if (token.quoted) {
        Fail("a text where a style belongs");
        return false;
      }
      if (!token.text.empty() && (token.text[0] >= '0' && token.text[0] <= '9')) {
        long value;
        if (!Number(index, 0, 0xFFFFFFFFL, &value)) return false;
        *style |= DWORD(value);
        continue;
      }
      auto it = std::find_if(std::begin(kStyleWords), std::end(kStyleWords), [&](const auto& w) {
        return (w.class_name == nullptr || SameWithoutCase(w.class_name, class_name)) &&
               token.text == w.word;
      });
      if (it == std::end(kStyleWords)) {
        Fail("unknown style \"" + token.text + "\"");
        return false;
      }
      *style = (*style & ~it->clear) | it->set;
    }
    return true;
  }

  void Expect(std::size_t count) {
    if (tokens_.size() < count) Fail("\"" + tokens_[0].text + "\" lacks arguments");
  }

  void Statement() {
    if (pixels_left_ > 0) {
      Pixels();
      return;
    }
    const std::string& keyword = tokens_[0].text;
    if (tokens_[0].quoted) {
      Fail("a statement cannot start with a text");
    } else if (in_dialog_ && keyword == "control") {
      Control();
    } else if (in_version_ && keyword == "value") {
      Value();
    } else if ((in_dialog_ || in_version_) && keyword == "end") {
      if (tokens_.size() != 1) Fail("\"end\" takes nothing");
      in_dialog_ = in_version_ = false;
    } else if (in_dialog_ || in_version_) {
      Fail("\"" + keyword + "\" inside a " + (in_dialog_ ? "dialog" : "version record"));
    } else if (keyword == "string") {
      String();
    } else if (keyword == "cursor") {
      CursorStatement();
    } else if (keyword == "bitmap") {
      BitmapStatement();
    } else if (keyword == "dialog") {
      Dialog();
    } else if (keyword == "version") {
      Version();
    } else {
      Fail("unknown statement \"" + keyword + "\"");
    }
  }

  void String() {
    UINT id;
    std::u16string text;
    if (tokens_.size() != 3) Fail("string takes an id and a text");
    if (ok_ && Id(1, string_ids_, &id) && Text(2, &text)) out_->strings.emplace_back(id, text);
  }

  void CursorStatement() {
    platform::CursorResource cursor;
    long width, height, hot_x, hot_y;
    if (tokens_.size() != 6) Fail("cursor takes an id, a size and a hot spot");
    if (ok_ && Id(1, cursor_ids_, &cursor.id) && Number(2, 1, kMaxCursorSide, &width) &&
        Number(3, 1, kMaxCursorSide, &height) && Number(4, 0, width - 1, &hot_x) &&
        Number(5, 0, height - 1, &hot_y)) {
      cursor.width = int(width);
      cursor.height = int(height);
      cursor.hot_x = int(hot_x);
      cursor.hot_y = int(hot_y);
      out_->cursors.push_back(cursor);
    }
  }

  void BitmapStatement() {
    platform::BitmapResource bitmap;
    long width, height;
    if (tokens_.size() != 4) Fail("bitmap takes an id and a size; its pixels follow");
    if (ok_ && Id(1, bitmap_ids_, &bitmap.id) && Number(2, 1, kMaxBitmapSide, &width) &&
        Number(3, 1, kMaxBitmapSide, &height)) {
      bitmap.width = int(width);
      bitmap.height = int(height);
      pixels_left_ = std::size_t(width) * std::size_t(height);
      bitmap.pixels.reserve(pixels_left_);
      out_->bitmaps.push_back(std::move(bitmap));
    }
  }

  void Pixels() {
    auto& pixels = out_->bitmaps.back().pixels;
    for (const Token& token : tokens_) {
      std::string_view text = token.text;
      std::size_t star = text.find('*');
      long count = 1;
      if (star != std::string_view::npos) {
        count = 0;
        for (char c : text.substr(0, star)) {
          if (c < '0' || c > '9' || count > long(pixels_left_)) {
            count = -1;
            break;
          }
          count = count * 10 + (c - '0');
        }
        text.remove_prefix(star + 1);
      }
      std::uint32_t colour = 0;
      bool good = !token.quoted && text.size() == 6 && count > 0;
      for (char c : text) {
        int digit = HexDigit(c);
        good = good && digit >= 0;
        colour = colour * 16 + std::uint32_t(digit < 0 ? 0 : digit);
      }
      if (!good) {
        Fail("\"" + token.text + "\" is no pixel (RRGGBB or count*RRGGBB)");
        return;
      }
      if (std::size_t(count) > pixels_left_) {
        Fail("the bitmap has more pixels than its size");
        return;
      }
      pixels.insert(pixels.end(), std::size_t(count), colour);
      pixels_left_ -= std::size_t(count);
    }
  }

  void Dialog() {
    platform::DialogTemplate dialog;
    long x, y, width, height;
    dialog.style = kDialogStyle;
    Expect(7);
    if (ok_ && Id(1, dialog_ids_, &dialog.id) && Number(2, -32768, 32767, &x) &&
        Number(3, -32768, 32767, &y) && Number(4, 0, 32767, &width) &&
        Number(5, 0, 32767, &height) && Text(6, &dialog.caption) &&
        Styles(7, "#32770", &dialog.style)) {
      dialog.x = int(x);
      dialog.y = int(y);
      dialog.width = int(width);
      dialog.height = int(height);
      out_->dialogs.push_back(std::move(dialog));
      in_dialog_ = true;
    }
  }

  void Control() {
    platform::DialogItemTemplate item;
    long id, x, y, width, height;
    item.style = platform::kWsChild | platform::kWsVisible;
    Expect(8);
    if (ok_ && tokens_[1].quoted) Fail("a control's class is a bare word");
    if (ok_ && Number(2, -1, 0xFFFF, &id) && Number(3, -32768, 32767, &x) &&
        Number(4, -32768, 32767, &y) && Number(5, 0, 32767, &width) &&
        Number(6, 0, 32767, &height) && Text(7, &item.text) &&
        Styles(8, tokens_[1].text, &item.style)) {
      std::u16string class_name;
      platform::MultiByteToWide(tokens_[1].text.data(), tokens_[1].text.size(), class_name);
      item.class_name = class_name;
      item.id = int(id);
      item.x = int(x);
      item.y = int(y);
      item.width = int(width);
      item.height = int(height);
      out_->dialogs.back().items.push_back(std::move(item));
    }
  }

  // Opens the block of a new translation.
  void Version() {
    long language, code_page;
    if (tokens_.size() != 3) Fail("version takes a language and a code page");
    if (!ok_ || !Number(1, 0, 0xFFFF, &language) || !Number(2, 0, 0xFFFF, &code_page)) return;
    const std::pair<platform::WORD, platform::WORD> translation{platform::WORD(language),
                                                                platform::WORD(code_page)};
    auto& translations = out_->version.translations;
    if (std::find(translations.begin(), translations.end(), translation) != translations.end()) {
      Fail("the translation is given twice");
      return;
    }
    translations.push_back(translation);
    char block[32];
    std::snprintf(block, sizeof block, "\\StringFileInfo\\%04lx%04lx\\", language, code_page);
    block_.assign(block, block + std::strlen(block));
    value_names_.clear();
    in_version_ = true;
  }

  void Value() {
    std::u16string name, text;
    if (tokens_.size() != 3) Fail("value takes a name and a text");
    if (!ok_ || !Text(1, &name) || !Text(2, &text)) return;
    if (name.empty() || name.find(u'\\') != std::u16string::npos) {
      Fail("a value's name is empty or holds \"\\\"");
    } else if (!value_names_.insert(platform::host_internal::Fold(name)).second) {
      Fail("the value is given twice");  // names compare without case
    } else {
      out_->version.strings.emplace_back(block_ + name, text);
    }
  }

  std::string_view script_;
  platform::ModuleResources* out_ = nullptr;
  std::vector<Token> tokens_;
  std::size_t line_ = 0;
  bool ok_ = true;
  std::string error_;
  bool in_dialog_ = false;
  bool in_version_ = false;
  std::u16string block_;                  // the open translation's sub-block
  std::set<std::u16string> value_names_;  // folded, of the open block
  std::size_t pixels_left_ = 0;
  std::set<UINT> string_ids_, cursor_ids_, bitmap_ids_, dialog_ids_;
};

// A C++ literal of `text`: u"..." with every unit that is not plain ASCII as
// a \x escape closed by a literal break.
std::string Literal(std::u16string_view text) {
  std::string out = "u\"";
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\' && unit != '?') {
      out += char(unit);
    } else {
      char escape[16];
      std::snprintf(escape, sizeof escape, "\\x%04X\" u\"", unsigned(unit));
      out += escape;
    }
  }
  return out + "\"";
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08Xu", value);
  return text;
}

}  // namespace

bool ParseResourceScript(std::string_view script, platform::ModuleResources* out,
                         std::string* error) {
  return Parser(script).Run(out, error);
}

std::string EmitResourceSource(const platform::ModuleResources& resources,
                               std::string_view function, std::string_view origin) {
  std::size_t cut = function.rfind("::");
  std::string_view space = cut == std::string_view::npos ? "" : function.substr(0, cut);
  std::string_view name = cut == std::string_view::npos ? function : function.substr(cut + 2);
  std::ostringstream out;
  out << "// Made by drv_rcgen from " << origin << ": edit the script, not this file.\n"
      << "#include <cstdint>\n#include <initializer_list>\n#include <utility>\n\n"
      << "#include \"platform/host/resources.h\"\n\n";
  if (!space.empty()) out << "namespace " << space << " {\n";
  out << "namespace {\n\n"
      << "[[maybe_unused]] std::vector<std::uint32_t> Runs(\n"
      << "    std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> runs) {\n"
      << "  std::vector<std::uint32_t> pixels;\n"
      << "  for (const auto& [count, colour] : runs) pixels.insert(pixels.end(), count, colour);\n"
      << "  return pixels;\n}\n\n}  // namespace\n\n"
      << "platform::ModuleResources " << name << "() {\n  platform::ModuleResources r;\n";
  for (const auto& [id, text] : resources.strings)
    out << "  r.strings.emplace_back(" << id << ", " << Literal(text) << ");\n";
  for (const platform::DialogTemplate& dialog : resources.dialogs) {
    out << "  r.dialogs.push_back({" << dialog.id << ", " << Literal(dialog.caption) << ", "
        << Hex(dialog.style) << ", " << dialog.x << ", " << dialog.y << ", " << dialog.width << ", "
        << dialog.height << ", {\n";
    for (const platform::DialogItemTemplate& item : dialog.items) {
      out << "      {" << item.id << ", " << Literal(item.class_name) << ", " << Hex(item.style)
          << ", " << Literal(item.text) << ", " << item.x << ", " << item.y << ", " << item.width
          << ", " << item.height << "},\n";
    }
    out << "  }});\n";
  }
  for (const platform::BitmapResource& bitmap : resources.bitmaps) {
    out << "  r.bitmaps.push_back({" << bitmap.id << ", " << bitmap.width << ", " << bitmap.height
        << ", Runs({";
    for (std::size_t at = 0; at < bitmap.pixels.size();) {
      std::size_t run = 1;
      while (at + run < bitmap.pixels.size() && bitmap.pixels[at + run] == bitmap.pixels[at])
        ++run;
      out << "{" << run << ", " << Hex(bitmap.pixels[at]) << "}, ";
      at += run;
    }
    out << "})});\n";
  }
  for (const platform::CursorResource& cursor : resources.cursors) {
    out << "  r.cursors.push_back({" << cursor.id << ", " << cursor.width << ", " << cursor.height
        << ", " << cursor.hot_x << ", " << cursor.hot_y << "});\n";
  }
  for (auto [language, code_page] : resources.version.translations) {
    out << "  r.version.translations.emplace_back(platform::WORD(" << language
        << "), platform::WORD(" << code_page << "));\n";
  }
  for (const auto& [name, text] : resources.version.strings)
    out << "  r.version.strings.emplace_back(" << Literal(name) << ", " << Literal(text) << ");\n";
  out << "  return r;\n}\n";
  if (!space.empty()) out << "\n}  // namespace " << space << "\n";
  return out.str();
}

}  // namespace resources
