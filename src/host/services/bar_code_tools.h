// Check characters of the bar codes printed on documents.
//
// The rule is ISO 7064 MOD 97-10, the one bank account numbers use: every character of the
// body is taken as a number (digits as themselves, letters A..Z, any case, as 10..35, and the
// other characters a Code 39 bar code prints as 36..42: blank, '-', '.', '$', '/', '+', '%'),
// the body is read as one long decimal number N, and the two check digits C are chosen so
// that (N * 100 + C) mod 97 == 1. A single wrong character, and most swaps of neighbours,
// change the check digits. Returned as two characters, "02".."98". Document bodies pad a
// type code of three letters with a blank ("MMO "), so the blank must count.
#ifndef QTS_HOST_SERVICES_BAR_CODE_TOOLS_H_
#define QTS_HOST_SERVICES_BAR_CODE_TOOLS_H_

#include <string>
#include <string_view>

#include "core/object.h"

namespace qts::host {

class BarCodeTools : public virtual Object {
 public:
  std::string_view ClassName() const override { return "BarCodeTools"; }

  // The two check characters of `body`. An empty body, or one holding a character a bar
  // code cannot print, raises error 5 naming the character.
  std::string CheckChars(std::string_view body) const;
  // Whether `code` is a body followed by its two check characters.
  bool IsValid(std::string_view code) const;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_BAR_CODE_TOOLS_H_
