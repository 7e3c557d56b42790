// The ZDL5 generator's template language (zdl5e.h).
#include <cmath>
#include <cstdio>
#include <cstring>

#include "lang/joblang_zdl5/zdl5e.h"

namespace {

// Values written with their decimals must stay below this, so that the
// scaled value is an exact integer.
constexpr double kLargestWritten = 1e15;

struct Machine {
  double stack[kTemplateDepth];
  int depth = 0;
  bool floats = false;

  bool Push(double value) {
    if (depth == kTemplateDepth || !std::isfinite(value)) return false;
    stack[depth++] = floats ? value : std::trunc(value);
    return true;
  }
  bool Pop(double& value) {
    if (depth == 0) return false;
    value = stack[--depth];
    return true;
  }
  bool Apply(char op) {
    double right, left;
    if (!Pop(right) || !Pop(left)) return false;
    switch (op) {
      case '+':
        return Push(left + right);
      case '-':
        return Push(left - right);
      case '*':
        return Push(left * right);
      default:
        return right != 0 && Push(left / right);
    }
  }
};

// Appends `value` with `decimals` decimals, halves away from zero.
bool Write(double value, int decimals, RWCString& out) {
  double scale = std::pow(10.0, decimals);
  double scaled = std::round(value * scale);
  if (!(std::fabs(scaled) < kLargestWritten)) return false;
  auto units = static_cast<long long>(std::fabs(scaled));
  auto whole_scale = static_cast<long long>(scale);
  char text[256];
  if (decimals == 0) {
    std::snprintf(text, sizeof text, "%s%lld", scaled < 0 ? "-" : "", units);
  } else {
    std::snprintf(text, sizeof text, "%s%lld.%0*lld", scaled < 0 ? "-" : "", units / whole_scale,
                  decimals, units % whole_scale);
  }
  out += text;
  return true;
}

// A number at `p` (digits, and in float mode one decimal point and
// further digits); advances `p`.
double ReadNumber(const char*& p, bool floats) {
  double value = 0;
  for (; *p >= '0' && *p <= '9'; ++p)
    value = value * 10 + (*p - '0');
  if (floats && *p == '.') {
    double place = 0.1;
    for (++p; *p >= '0' && *p <= '9'; ++p, place /= 10)
      value += (*p - '0') * place;
  }
  return value;
}

}  // namespace

bool GZdl5e::FillTemplate(const char* program, double requested, RWCString& out) {
  Machine machine;
  bool wrote = false;
  for (const char* p = program; *p;) {
    char c = *p;
    if (c == ' ') {
      ++p;
    } else if (c >= '0' && c <= '9') {
      if (!machine.Push(ReadNumber(p, machine.floats))) return false;
    } else if (c == 'A') {
      ++p;
      if (!machine.Push(requested)) return false;
    } else if (c == '+' || c == '-' || c == '*' || c == '/') {
      ++p;
      if (!machine.Apply(c)) return false;
    } else if (c == 'i') {
      ++p;
      if (machine.depth == 0) return false;
      machine.stack[machine.depth - 1] = std::trunc(machine.stack[machine.depth - 1]);
    } else if (c == '%' && p[1] == 'f') {
      p += 2;
      machine.floats = true;
    } else if (c == '%' && p[1] == 'F' && p[2] >= '0' && p[2] <= '9') {
      double value;
      if (!machine.Pop(value) || !Write(value, p[2] - '0', out)) return false;
      p += 3;
      wrote = true;
    } else {
      return false;
    }
  }
  return wrote;
}

bool GZdl5e::FillSelectionTemplate(const RWCString& selection, double requested, RWCString& out) {
  static constexpr struct {
    const char* placeholder;
    const char* program;
  } kPlaceholders[] = {
      {"#HEIGHT", kHeightProgram}, {"#WIDTH", kPitchProgram}, {"#PITCH", kPitchProgram}};
  const char* text = selection.Data();
  RWSize length = selection.Length();
  for (RWSize i = 0; i < length;) {
    bool replaced = false;
    for (const auto& entry : kPlaceholders) {
      RWSize n = std::strlen(entry.placeholder);
      if (length - i >= n && std::memcmp(text + i, entry.placeholder, n) == 0) {
        if (!FillTemplate(entry.program, requested, out)) return false;
        i += n;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return true;
}
