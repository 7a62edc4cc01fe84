// Code 39 bar codes, as the printed acts draw a document's bar code: each character is five
// bars and four spaces between them, three of the nine wide; characters are separated by a
// narrow space and the text is framed by the start/stop character "*".
#ifndef QTS_HOST_REPORT_CODE39_H_
#define QTS_HOST_REPORT_CODE39_H_

#include <string>
#include <string_view>

namespace qts::host {

// The widths of `text` framed by "*": one letter per element, bars and spaces alternating and
// starting with a bar, 'n' narrow and 'w' wide; characters separated by an 'n' space.
// Lower-case letters are taken as upper-case. Error 5 naming the character for one Code 39
// cannot show (it has 0-9, A-Z, space and - . $ / + %).
[[nodiscard]] std::string Code39Elements(std::string_view text);

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_CODE39_H_
