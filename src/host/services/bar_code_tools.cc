#include "host/services/bar_code_tools.h"

#include <cstring>

#include "core/error.h"

namespace qts::host {

namespace {

// The characters beyond letters and digits, in the order of their values 36..42.
constexpr char kSymbols[] = " -.$/+%";

// N mod 97 of the body read as a decimal number, letters taking two digits.
int Mod97(std::string_view body) {
  int rest = 0;
  for (char c : body) {
    int value;
    if (c >= '0' && c <= '9') {
      rest = (rest * 10 + (c - '0')) % 97;
      continue;
    } else if (c >= 'A' && c <= 'Z') {
      value = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'z') {
      value = c - 'a' + 10;
    } else if (const char* at = std::strchr(kSymbols, c); at != nullptr && c != '\0') {
      value = 36 + static_cast<int>(at - kSymbols);
    } else {
      throw Error(kErrInvalidCall, "BarCodeTools",
                  std::string("a bar code holds letters, digits and \" -.$/+%\" only, not '") + c +
                      "'");
    }
    rest = (rest * 100 + value) % 97;
  }
  return rest;
}

}  // namespace

std::string BarCodeTools::CheckChars(std::string_view body) const {
  if (body.empty()) throw Error(kErrInvalidCall, "BarCodeTools", "empty bar code body");
  int check = 98 - (Mod97(body) * 100) % 97;
  std::string out(2, '0');
  out[0] = static_cast<char>('0' + check / 10);
  out[1] = static_cast<char>('0' + check % 10);
  return out;
}

bool BarCodeTools::IsValid(std::string_view code) const {
  if (code.size() < 3) return false;
  try {
    return Mod97(code) == 1;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace qts::host
