#include "host/data/recordset_filter.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <string>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/data/recordset_storage.h"
#include "host/data/recordset_values.h"

namespace qts::host {

namespace {

// A stored text cell's bytes; a short one is copied out of its payload into `buffer`.
std::string_view StoredText(const ColumnCells& cells, uint8_t type, uint64_t payload,
                            char (&buffer)[sizeof(uint64_t)]) {
  if (type == kShortText) {
    std::memcpy(buffer, &payload, sizeof payload);
    return {buffer, static_cast<size_t>(buffer[kShortTextMax])};
  }
  const char* at = cells.texts[payload >> 32].get() + (payload & 0xFFFFFFFFu);
  uint32_t length = 0;
  std::memcpy(&length, at, sizeof length);
  return {at + sizeof length, length};
}

// `text` in lower case, into `out`, when all of it is ASCII (LCase maps ASCII letters to ASCII
// and nothing else to ASCII); false, with `out` unspecified, when a byte is not.
bool AsciiLower(std::string_view text, std::string& out) {
  out.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) return false;
    out[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
  return true;
}

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHigh = kOnes * 0x80;

// Whether each of the eight bytes of `payload` is ASCII.
constexpr bool IsAscii8(uint64_t payload) { return (payload & kHigh) == 0; }

// The eight ASCII bytes of `payload` with their letters in lower case. For a short text's
// payload: its unused bytes are 0 and its length byte (at most kShortTextMax) is no letter.
constexpr uint64_t LowerAscii8(uint64_t payload) {
  // Each byte's high bit: set where the byte is at least 'A', and where it is above 'Z' (no
  // carry crosses bytes: every byte is below 0x80).
  const uint64_t from_a = payload + kOnes * (0x80 - 'A');
  const uint64_t above_z = payload + kOnes * (0x80 - 'Z' - 1);
  const uint64_t upper = from_a & ~above_z & kHigh;
  return payload | (upper >> 2);
}
static_assert(LowerAscii8(0x005A41'405B617A) == 0x007A61'405B617A);

// For each pattern of eight bits: the positions of its set bits, lowest first, and how many.
struct SetBits {
  uint8_t index[8];
  uint8_t count;
};
constexpr std::array<SetBits, 256> kSetBits = [] {
  std::array<SetBits, 256> table{};
  for (size_t pattern = 0; pattern < table.size(); ++pattern) {
    SetBits& set = table[pattern];
    for (uint8_t bit = 0; bit < 8; ++bit) {
      if ((pattern >> bit) & 1U) set.index[set.count++] = bit;
    }
  }
  return table;
}();

// Whether any of the `n` rows from `row_in` is still in.
bool AnyIn(const uint8_t* row_in, size_t n) {
  uint8_t any = 0;
  for (size_t i = 0; i < n; ++i) any |= row_in[i];
  return any != 0;
}

// The loop over one block's cells that a criterion of the cells' own kind decides: clears
// `row_in[i]` where `own` takes the cell and `test` fails; whether some cell was not `own`'s.
// Built twice on x86-64, for the baseline and for AVX2 (chosen when the program loads), so the
// compares go eight or sixteen rows at a time where the processor can.
template <class Own, class Test>
#if defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
bool NarrowBlock(const uint8_t* __restrict types, const uint64_t* __restrict payloads,
                 uint8_t* __restrict row_in, size_t n, Own own, Test test) {
  uint8_t others = 0;
  for (size_t i = 0; i < n; ++i) {
    const bool mine = own(types[i], payloads[i]);
    others |= static_cast<uint8_t>(!mine);
    row_in[i] &= static_cast<uint8_t>(!mine | test(payloads[i]));
  }
  return others != 0;
}

// Narrows `in` (a byte per row, 1 while the row is in) over the cells of a column: a cell
// `own` takes is decided by `test` of its payload, for every row (no jump on the row's state;
// `test` cannot fail); any other cell by `other`, and only while its row is in. A block whose
// rows are all out already is passed over.
template <class Own, class Test, class Other>
void NarrowCells(const ColumnCells& cells, size_t rows, std::vector<uint8_t>& in, Own own,
                 Test test, Other other) {
  for (size_t first = 0; first < rows; first += kBlockRows) {
    const CellBlock& block = *cells.blocks[first / kBlockRows];
    const size_t n = std::min(kBlockRows, rows - first);
    uint8_t* row_in = in.data() + first;
    if (!AnyIn(row_in, n)) continue;
    if (!NarrowBlock(block.types, block.payloads, row_in, n, own, test)) continue;
    for (size_t i = 0; i < n; ++i) {
      if (row_in[i] != 0 && !own(block.types[i], block.payloads[i])) {
        row_in[i] = other(block.types[i], block.payloads[i], first + i);
      }
    }
  }
}

[[noreturn]] void BadFilter(std::string_view text, std::string_view why) {
  RaiseAdo(kAdErrInvalidArgument, fmt::format("Filter \"{}\" cannot be applied: {}", text, why));
}

std::optional<Date> ParseFilterDate(std::string_view text) {
  if (std::optional<Date> iso = Date::ParseIso(text)) return iso;
  // m/d/yyyy, as ADO reads #dates#.
  int parts[3] = {0, 0, 0};
  int part = 0;
  size_t i = 0;
  for (; i < text.size() && part < 3; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      parts[part] = parts[part] * 10 + (c - '0');
      if (parts[part] > 9999) return std::nullopt;
    } else if (c == '/' && part < 2) {
      ++part;
    } else {
      break;
    }
  }
  if (part != 2 || i != text.size()) return std::nullopt;
  auto [m, d, y] = parts;
  if (m < 1 || m > 12 || d < 1 || d > 31 || y < 100) return std::nullopt;
  Date date = Date::FromYmd(y, m, d);
  if (date.Month() != m) return std::nullopt;  // 2/30/2024
  return date;
}

}  // namespace

// Reads one criteria text: expr := term (OR term)*; term := factor (AND factor)*;
// factor := '(' expr ')' | criterion; criterion := name operator value. Every fault raises
// 3001 naming the whole text.
class RecordFilter::Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldDef>& fields,
         const ColumnLookup& find_column)
      : text_(text), lex_{text}, fields_(fields), find_column_(find_column) {}

  RecordFilter Run() {
    RecordFilter filter;
    filter.groups_ = Expr(0);
    if (!lex_.AtEnd()) Fail(fmt::format("unexpected \"{}\"", text_.substr(lex_.pos)));
    return filter;
  }

 private:
  [[noreturn]] void Fail(std::string_view why) const { BadFilter(text_, why); }

  // The result is an OR of AND groups; a factor holding an OR may not be joined by AND.
  std::vector<Conjunction> Expr(int depth) {
    if (depth > 32) Fail("parentheses nested too deep");
    std::vector<Conjunction> result = Term(depth);
    while (lex_.TakeKeyword("OR")) {
      std::vector<Conjunction> next = Term(depth);
      result.insert(result.end(), next.begin(), next.end());
    }
    return result;
  }

  std::vector<Conjunction> Term(int depth) {
    std::vector<Conjunction> result = Factor(depth);
    while (lex_.TakeKeyword("AND")) {
      std::vector<Conjunction> next = Factor(depth);
      if (result.size() > 1 || next.size() > 1) {
        Fail("clauses joined by OR may not be grouped and joined by AND");
      }
      result[0].insert(result[0].end(), next[0].begin(), next[0].end());
    }
    return result;
  }

  std::vector<Conjunction> Factor(int depth) {
    if (lex_.Peek() != '(') return {Conjunction{ReadCriterion()}};
    ++lex_.pos;
    std::vector<Conjunction> inner = Expr(depth + 1);
    if (lex_.Peek() != ')') Fail("a parenthesis is not closed");
    ++lex_.pos;
    return inner;
  }

  // name operator value
  Criterion ReadCriterion() {
    std::optional<std::string> name = lex_.TakeName();
    if (!name) Fail(fmt::format("a field name is expected at position {}", lex_.pos + 1));
    Criterion c{ColumnNamed(*name), Op::kEq, Variant(), {}, false, false};
    c.op = ReadOperator(*name);
    const FieldDef& field = fields_[c.column];
    if (lex_.TakeKeyword("NULL")) {
      if (c.op != Op::kEq && c.op != Op::kNe) Fail("NULL compares only with = or <>");
      c.op = c.op == Op::kEq ? Op::kIsNull : Op::kIsNotNull;
      return c;
    }
    Variant raw = ReadValue();
    if (c.op == Op::kLike) {
      SetPattern(field, raw, c);
    } else {
      c.value = Coerce(field, std::move(raw));
    }
    return c;
  }

  // A condition built on a query column names it by its expression ("G.SubCategory"); the
  // opened rows carry the column's own name, the part after the qualifier.
  size_t ColumnNamed(const std::string& name) const {
    std::optional<size_t> column = find_column_(name);
    if (!column) {
      if (size_t dot = name.rfind('.'); dot != std::string::npos && dot + 1 < name.size()) {
        column = find_column_(std::string_view(name).substr(dot + 1));
      }
    }
    if (!column) Fail(fmt::format("there is no field \"{}\"", name));
    return *column;
  }

  Op ReadOperator(const std::string& name) {
    static constexpr std::pair<std::string_view, Op> kSymbols[] = {
        {"<=", Op::kLe}, {">=", Op::kGe}, {"<>", Op::kNe},
        {"<", Op::kLt},  {">", Op::kGt},  {"=", Op::kEq}};  // two-character ones first
    lex_.SkipBlanks();
    const std::string_view rest = text_.substr(lex_.pos);
    for (const auto& [symbol, op] : kSymbols) {
      if (rest.starts_with(symbol)) {
        lex_.pos += symbol.size();
        return op;
      }
    }
    if (lex_.TakeKeyword("LIKE")) return Op::kLike;
    Fail(fmt::format("an operator is expected after \"{}\"", name));
  }

  // 'text' (a quote doubled inside), #date#, TRUE, FALSE or a bare number.
  Variant ReadValue() {
    const char first = lex_.Peek();
    if (first == '\'') return ReadQuotedText();
    if (first == '#') return ReadHashDate();
    if (lex_.TakeKeyword("TRUE")) return Variant(true);
    if (lex_.TakeKeyword("FALSE")) return Variant(false);
    return ReadBareNumber();
  }

  Variant ReadQuotedText() {
    std::string value;
    size_t i = lex_.pos + 1;
    while (true) {
      if (i >= text_.size()) Fail("a quoted value is not closed");
      if (text_[i] == '\'') {
        if (i + 1 < text_.size() && text_[i + 1] == '\'') {
          value += '\'';
          i += 2;
          continue;
        }
        break;
      }
      value += text_[i++];
    }
    lex_.pos = i + 1;
    return Variant(std::move(value));
  }

  Variant ReadHashDate() {
    size_t end = text_.find('#', lex_.pos + 1);
    if (end == std::string_view::npos) Fail("a #date# is not closed");
    std::string_view inner = text_.substr(lex_.pos + 1, end - lex_.pos - 1);
    std::optional<Date> date = ParseFilterDate(inner);
    if (!date) Fail(fmt::format("#{}# is not a date", inner));
    lex_.pos = end + 1;
    return Variant(*date);
  }

  // Up to the next blank or ')'; a leading '$' is dropped.
  Variant ReadBareNumber() {
    size_t start = lex_.pos;
    if (lex_.pos < text_.size() && text_[lex_.pos] == '$') ++start, ++lex_.pos;
    while (lex_.pos < text_.size() && text_[lex_.pos] != ' ' && text_[lex_.pos] != ')' &&
           text_[lex_.pos] != '\t') {
      ++lex_.pos;
    }
    std::string_view number = text_.substr(start, lex_.pos - start);
    std::optional<double> parsed;
    try {
      parsed = ParseNumber(number);
    } catch (const Error&) {
    }
    if (!parsed) Fail(fmt::format("\"{}\" is not a value", number));
    return Variant(*parsed);
  }

  // LIKE takes a quoted pattern on a text field, with * or % at its end or at both ends.
  void SetPattern(const FieldDef& field, const Variant& raw, Criterion& c) const {
    if (raw.Type() != VarType::kString) Fail("LIKE needs a quoted pattern");
    if (!IsTextType(field.type) && field.type != adVariant) {
      Fail(fmt::format("LIKE on field \"{}\", which is not text", field.name));
    }
    std::string pattern = raw.AsString();
    auto is_wild = [](char ch) { return ch == '*' || ch == '%'; };
    if (!pattern.empty() && is_wild(pattern.back())) {
      c.wild_end = true;
      pattern.pop_back();
    }
    if (!pattern.empty() && is_wild(pattern.front())) {
      c.wild_start = true;
      pattern.erase(0, 1);
    }
    if (c.wild_start && !c.wild_end) {
      Fail("a LIKE pattern may start with a wildcard only when it also ends with one");
    }
    if (std::any_of(pattern.begin(), pattern.end(), is_wild)) {
      Fail("wildcards are allowed only at the end (or at both ends) of a pattern");
    }
    c.pattern = LCase(pattern);
  }

  // `raw` in the field's type; a criterion may compare with Null whatever the field allows.
  Variant Coerce(const FieldDef& field, Variant raw) const {
    try {
      FieldDef nullable = field;
      nullable.attributes = adFldIsNullable;
      return CoerceToField(nullable, std::move(raw));
    } catch (const Error&) {
      Fail(fmt::format("the value does not suit field \"{}\"", field.name));
    }
  }

  std::string_view text_;
  TextReader lex_;
  const std::vector<FieldDef>& fields_;
  const ColumnLookup& find_column_;
};

RecordFilter RecordFilter::Parse(std::string_view text, const std::vector<FieldDef>& fields,
                                 const ColumnLookup& find_column) {
  return Parser(text, fields, find_column).Run();
}

// Defined inline: a call of an exported member would go through the library's table.
inline bool RecordFilter::Holds(Op op, int cmp) {
  switch (op) {
    case Op::kEq:
      return cmp == 0;
    case Op::kNe:
      return cmp != 0;
    case Op::kLt:
      return cmp < 0;
    case Op::kLe:
      return cmp <= 0;
    case Op::kGt:
      return cmp > 0;
    case Op::kGe:
      return cmp >= 0;
    default:
      return false;
  }
}

bool RecordFilter::Meets(const Criterion& c, const Variant& value) {
  const bool is_null = value.IsNull() || value.IsEmpty();
  switch (c.op) {
    case Op::kIsNull:
      return is_null;
    case Op::kIsNotNull:
      return !is_null;
    case Op::kLike: {
      if (is_null) return false;
      std::string folded;
      try {
        folded = LCase(CStr(value));
      } catch (const Error&) {
        return false;
      }
      if (c.wild_start) return folded.find(c.pattern) != std::string::npos;
      if (c.wild_end) return folded.starts_with(c.pattern);
      return folded == c.pattern;
    }
    default:
      break;
  }
  if (is_null) return false;
  return Holds(c.op, CompareRecordValues(value, c.value));
}

bool RecordFilter::Matches(const CellReader& cell) const {
  return std::any_of(groups_.begin(), groups_.end(), [&](const Conjunction& group) {
    return std::all_of(group.begin(), group.end(),
                       [&](const Criterion& c) { return Meets(c, cell(c.column)); });
  });
}

void RecordFilter::Narrow(const Criterion& c, const RowStore& store, std::vector<uint8_t>& in) {
  // The cells a criterion reads as they are stored: those of the type its value has (a
  // comparison of two values of one type is the plain comparison of the two), and for a text
  // or a pattern, texts of ASCII characters (whose lower case is LCase's).
  enum class Path { kNullTest, kCurrency, kLong, kInteger, kDouble, kDate, kText, kValue };
  Path path = Path::kValue;
  if (c.op == Op::kIsNull || c.op == Op::kIsNotNull) {
    path = Path::kNullTest;
  } else if (c.op == Op::kLike) {
    path = Path::kText;
  } else {
    switch (c.value.Type()) {
      case VarType::kCurrency:
        path = Path::kCurrency;
        break;
      case VarType::kLong:
        path = Path::kLong;
        break;
      case VarType::kInteger:
        path = Path::kInteger;
        break;
      case VarType::kDouble:
        path = Path::kDouble;
        break;
      case VarType::kDate:
        path = Path::kDate;
        break;
      case VarType::kString:
        path = Path::kText;
        break;
      default:
        break;
    }
  }
  const std::string folded_value =
      path == Path::kText && c.op != Op::kLike ? LCase(c.value.AsString()) : std::string();
  // The criterion's value as the cells of its type hold it.
  int64_t whole = 0;
  double real = 0;
  switch (path) {
    case Path::kCurrency:
      whole = c.value.AsCurrency().Scaled();
      break;
    case Path::kLong:
      whole = c.value.AsLong();
      break;
    case Path::kInteger:
      whole = c.value.AsInteger();
      break;
    case Path::kDouble:
      real = c.value.AsDouble();
      break;
    case Path::kDate:
      real = c.value.AsDate().Serial();
      break;
    default:
      break;
  }
  // An equality with an ASCII text of up to kShortTextMax bytes compares a short text's
  // payload, lower-cased, with the value's.
  std::optional<uint64_t> short_value;
  if (path == Path::kText && (c.op == Op::kEq || c.op == Op::kNe)) {
    std::string lowered;
    if (folded_value.size() <= kShortTextMax && AsciiLower(folded_value, lowered)) {
      char bytes[sizeof(uint64_t)] = {};
      std::memcpy(bytes, folded_value.data(), folded_value.size());
      bytes[kShortTextMax] = static_cast<char>(folded_value.size());
      std::memcpy(&short_value.emplace(), bytes, sizeof(uint64_t));
    }
  }
  const auto own = [](VarType type) { return static_cast<uint8_t>(type); };
  const ColumnCells& cells = store.columns[c.column];
  std::string folded;
  // Whether a cell stored as `type` meets `c`, where its being Null or Empty says: 1 or 0;
  // -1 for a cell that needs more. (Cells of the criterion's own kind are
  // settled by NarrowCells below before this sees any.)
  const auto decide = [&](uint8_t type) -> int {
    if (type == own(VarType::kNull) || type == own(VarType::kEmpty)) return c.op == Op::kIsNull;
    if (path == Path::kNullTest && type != own(VarType::kObject)) {
      return c.op == Op::kIsNotNull;
    }
    return -1;
  };
  // Whether the cell of row `row` that `decide` left meets `c`.
  const auto meets = [&](uint8_t type, uint64_t payload, size_t row) {
    if (path == Path::kText && (type == kShortText || type == own(VarType::kString))) {
      char buffer[sizeof(uint64_t)];
      if (AsciiLower(StoredText(cells, type, payload, buffer), folded)) {
        if (c.op != Op::kLike) {
          const int cmp = folded.compare(folded_value);
          return Holds(c.op, cmp < 0 ? -1 : (cmp > 0 ? 1 : 0));
        }
        if (c.wild_start) return folded.find(c.pattern) != std::string::npos;
        if (c.wild_end) return folded.starts_with(c.pattern);
        return folded == c.pattern;
      }
    }
    return Meets(c, store.Get(row, c.column));
  };
  // A whole cell (one read as it is stored, with the comparison known when compiled): the
  // column's cells of that kind are tested in a loop without a jump; the others as below.
  const auto slow = [&](uint8_t type, uint64_t payload, size_t row) -> uint8_t {
    const int decided = decide(type);
    return static_cast<uint8_t>(decided >= 0 ? decided : meets(type, payload, row));
  };
  const auto with_comparison = [&](auto&& run) {
    // Each as Holds reads Order's result, for doubles that are not numbers too.
    switch (c.op) {
      case Op::kEq:
        return run([](auto a, auto b) { return !(a < b) && !(b < a); });
      case Op::kNe:
        return run([](auto a, auto b) { return a < b || b < a; });
      case Op::kLt:
        return run([](auto a, auto b) { return a < b; });
      case Op::kLe:
        return run([](auto a, auto b) { return !(b < a); });
      case Op::kGt:
        return run([](auto a, auto b) { return b < a; });
      case Op::kGe:
        return run([](auto a, auto b) { return !(a < b); });
      default:
        return false;
    }
  };
  const auto numbers = [&](VarType type, auto value_of, auto wanted) {
    return with_comparison([&](auto compare) {
      NarrowCells(
          cells, store.rows, in, [code = own(type)](uint8_t t, uint64_t) { return t == code; },
          [=](uint64_t payload) { return compare(value_of(payload), wanted); }, slow);
      return true;
    });
  };
  bool narrowed = false;
  switch (path) {
    case Path::kCurrency:
      narrowed = numbers(
          VarType::kCurrency, [](uint64_t p) { return static_cast<int64_t>(p); }, whole);
      break;
    case Path::kLong:
      narrowed = numbers(
          VarType::kLong, [](uint64_t p) { return int64_t{static_cast<int32_t>(p)}; }, whole);
      break;
    case Path::kInteger:
      narrowed = numbers(
          VarType::kInteger, [](uint64_t p) { return int64_t{static_cast<int16_t>(p)}; }, whole);
      break;
    case Path::kDouble:
      narrowed = numbers(
          VarType::kDouble, [](uint64_t p) { return std::bit_cast<double>(p); }, real);
      break;
    case Path::kDate:
      narrowed = numbers(
          VarType::kDate, [](uint64_t p) { return Date(std::bit_cast<double>(p)).Serial(); }, real);
      break;
    case Path::kText:
      if (short_value) {
        const bool equal = c.op == Op::kEq;
        NarrowCells(
            cells, store.rows, in,
            [](uint8_t t, uint64_t payload) { return (t == kShortText) & IsAscii8(payload); },
            [equal, wanted = *short_value](uint64_t payload) {
              return (LowerAscii8(payload) == wanted) == equal;
            },
            slow);
        narrowed = true;
      }
      break;
    default:
      break;
  }
  if (narrowed) return;
  // What `decide` settles is settled for every row, taken or not (it cannot fail, and testing
  // without a jump on the row's state is quicker); anything else only for the rows still in.
  for (size_t first = 0; first < store.rows; first += kBlockRows) {
    const CellBlock& block = *cells.blocks[first / kBlockRows];
    const size_t n = std::min(kBlockRows, store.rows - first);
    uint8_t* row_in = in.data() + first;
    for (size_t i = 0; i < n; ++i) {
      const int decided = decide(block.types[i]);
      if (decided >= 0) {
        row_in[i] &= static_cast<uint8_t>(decided);
      } else if (row_in[i] != 0) {
        row_in[i] = meets(block.types[i], block.payloads[i], first + i) ? 1 : 0;
      }
    }
  }
}

std::vector<uint32_t> RecordFilter::RowsOf(const RowStore& store) const {
  // Each group in turn narrows the rows no earlier group took, criterion by criterion: every
  // row's criteria are tested in Matches' order, and stop where Matches stops.
  if (groups_.empty()) return {};
  std::vector<uint8_t> in(store.rows, 1);
  std::vector<uint8_t> met;
  for (size_t g = 0; g < groups_.size(); ++g) {
    if (g > 0) {
      if (g == 1) met = in;
      for (size_t r = 0; r < store.rows; ++r) in[r] = met[r] == 0 ? 1 : 0;
    }
    for (const Criterion& c : groups_[g]) Narrow(c, store, in);
    if (g > 0) {
      for (size_t r = 0; r < store.rows; ++r) met[r] |= in[r];
    }
  }
  const std::vector<uint8_t>& taken = groups_.size() > 1 ? met : in;
  size_t count = 0;
  for (uint8_t t : taken) count += t;
  // Eight rows at a time: their bytes (each 0 or 1) made one bit each, and the rows of the set
  // bits written from a table, all eight slots, the next eight starting where the taken ones
  // end (the slots past them are written over or cut). No jump depends on a row's byte.
  std::vector<uint32_t> rows(count + 8);
  size_t at = 0;
  size_t r = 0;
  for (; r + 8 <= store.rows; r += 8) {
    uint64_t bytes = 0;
    std::memcpy(&bytes, taken.data() + r, sizeof bytes);
    const SetBits& set = kSetBits[(bytes * 0x0102040810204080ULL) >> 56];
    for (size_t k = 0; k < 8; ++k) rows[at + k] = static_cast<uint32_t>(r + set.index[k]);
    at += set.count;
  }
  for (; r < store.rows; ++r) {
    rows[at] = static_cast<uint32_t>(r);
    at += taken[r];
  }
  rows.resize(at);
  return rows;
}

}  // namespace qts::host
