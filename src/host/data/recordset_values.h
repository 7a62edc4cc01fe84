// Parts shared by the recordset and its filter: ADO's errors, the field types, conversion of a
// value to a field's type, the ordering of values, and a reader for filter and sort texts.
#ifndef QTS_HOST_DATA_RECORDSET_VALUES_H_
#define QTS_HOST_DATA_RECORDSET_VALUES_H_

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/text.h"
#include "core/variant.h"
#include "host/data/recordset.h"

namespace qts::host {

// Raises ADO error `number` from `source`.
[[noreturn]] void RaiseAdo(int32_t number, std::string description,
                           const char* source = "ADODB.Recordset");

// One of the types Fields.Append takes.
bool IsKnownType(int32_t type);
bool IsTextType(int32_t type);

// `value` converted to the field's type; the multiple-step error (0x80040E21) naming field
// and value when the field cannot take it: a wrong type, a text longer than the field's size,
// Null in a field that is not nullable.
Variant CoerceToField(const FieldDef& field, Variant value);

// The order of Sort and Filter: Null (and Empty) first, then numbers and dates, then text
// without regard to case, then objects (all equal).
int CompareRecordValues(const Variant& a, const Variant& b);

// Reads filter and sort texts: blanks, keywords, field names.
struct TextReader {
  std::string_view text;
  size_t pos = 0;

  void SkipBlanks() {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos >= text.size();
  }
  char Peek() {
    SkipBlanks();
    return pos < text.size() ? text[pos] : '\0';
  }
  // A keyword (case-insensitive) followed by a non-word character.
  bool TakeKeyword(std::string_view word) {
    SkipBlanks();
    if (!StartsWithIgnoreCase(text.substr(pos), word)) return false;
    size_t end = pos + word.size();
    if (end < text.size()) {
      char c = text[end];
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') return false;
    }
    pos = end;
    return true;
  }
  // A field name: [bracketed] or a run of letters, digits, '_', '.', '$' and UTF-8 letters.
  std::optional<std::string> TakeName() {
    SkipBlanks();
    if (pos < text.size() && text[pos] == '[') {
      size_t end = text.find(']', pos + 1);
      if (end == std::string_view::npos) return std::nullopt;
      std::string name(text.substr(pos + 1, end - pos - 1));
      pos = end + 1;
      return name;
    }
    size_t start = pos;
    while (pos < text.size()) {
      auto c = static_cast<unsigned char>(text[pos]);
      if (!(std::isalnum(c) || c == '_' || c == '.' || c == '$' || c >= 0x80)) break;
      ++pos;
    }
    if (pos == start) return std::nullopt;
    return std::string(text.substr(start, pos - start));
  }
};

}  // namespace qts::host

#endif  // QTS_HOST_DATA_RECORDSET_VALUES_H_
