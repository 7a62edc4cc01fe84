#include "host/report/printed_report.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <span>
#include <utility>

#include "core/convert.h"
#include "core/text.h"
#include "host/data/app_context.h"
#include "host/data/kind_codes.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/data/sql_tools.h"
#include "host/report/print_forms.h"
#include "host/services/enterprise_info.h"
#include "host/services/message_table.h"

namespace qts::host {

namespace {

// The engine's own texts in the message table.
constexpr int32_t kMsgTotal = 30001;
constexpr int32_t kMsgPage = 30002;
constexpr int32_t kMsgPrinted = 30003;
constexpr int32_t kMsgNoData = 30004;
constexpr int32_t kMsgSignature = 30005;
constexpr int32_t kMsgName = 30006;
constexpr int32_t kMsgMoreCodes = 30007;

// A selection is said by its first few names, then "ir dar N".
constexpr size_t kSaidCodes = 5;

// No group yet in a slot of the group index.
constexpr size_t kNoGroup = SIZE_MAX;

// "%0", "%1", ... replaced from the highest index down, so "%10" goes before "%1".
std::string Compose(std::string text, const std::vector<std::string>& args) {
  for (size_t i = args.size(); i-- > 0;) text = Replace(text, "%" + std::to_string(i), args[i]);
  return text;
}

bool IsBlank(const Variant& value) {
  if (value.IsEmpty() || value.IsNull() || value.IsNothing()) return true;
  return value.Type() == VarType::kString && value.AsString().empty();
}

// A number as a cell holds it (a text of digits is no number here).
bool IsNumber(const Variant& value) {
  switch (value.Type()) {
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kDouble:
    case VarType::kCurrency:
      return true;
    default:
      return false;
  }
}

bool IsNumericKind(int32_t kind) {
  const KindClass cls = ClassOfKind(kind);
  return cls == KindClass::kInteger || cls == KindClass::kNumber;
}

// Values are compared as the texts a person would read; a group key joins them.
std::string KeyText(const Variant& value) {
  if (value.IsEmpty() || value.IsNull()) return std::string();
  if (value.Type() == VarType::kCurrency) return value.AsCurrency().ToString();
  if (value.Type() == VarType::kDate) return value.AsDate().ToIso();
  return CStr(value);
}

bool Meets(const Variant& cell, const Variant& equals) {
  if (cell.IsNull() || cell.IsEmpty()) return false;
  if (equals.Type() == VarType::kString) return KeyText(cell) == equals.AsString();
  if (!IsNumber(cell)) return false;
  return CCur(cell) == CCur(equals);
}

// Appends `value` to a group key, then a separator: equal keys for the values a person reads
// as equal. A date or an amount goes in as its eight bytes behind a mark of its own (a column
// holds values of one kind), which is what its text would tell apart, without writing it.
void AppendKey(std::string& key, const Variant& value) {
  auto append_bytes = [&key](char mark, auto bits) {
    key += mark;
    key.append(reinterpret_cast<const char*>(&bits), sizeof bits);
  };
  switch (value.Type()) {
    case VarType::kString:
      key += value.AsString();
      break;
    case VarType::kDate:
      append_bytes('\x02', value.AsDate().Serial() + 0.0);  // -0 and 0 are one date
      break;
    case VarType::kCurrency:
      append_bytes('\x03', value.AsCurrency().Scaled());
      break;
    default:
      if (!value.IsEmpty() && !value.IsNull()) key += KeyText(value);
      break;
  }
  key += '\x1f';
}

// Sums per unit, in the order units first appear (a report has a few units: a list is
// quicker than a map).
class UnitSums {
 public:
  void Add(std::string_view unit, Currency value) {
    for (auto& [known, sum] : sums_) {
      if (known == unit) {
        sum += value;
        return;
      }
    }
    sums_.emplace_back(std::string(unit), value);
  }
  const std::vector<std::pair<std::string, Currency>>& Sums() const { return sums_; }
  bool Empty() const { return sums_.empty(); }
  void Clear() { sums_.clear(); }

 private:
  std::vector<std::pair<std::string, Currency>> sums_;
};

// The sums of one table's total columns over some rows: money (no unit) per column, the
// others per column and unit; indexed by the table's columns.
struct Sums {
  explicit Sums(size_t columns)
      : plain(columns), by_unit(columns), counts(columns, 0), per_unit(columns, false) {}

  std::vector<Currency> plain;
  std::vector<UnitSums> by_unit;
  std::vector<int> counts;  // values summed per column
  std::vector<bool> per_unit;
  bool any = false;

  void Clear() {
    if (!any) return;
    for (size_t c = 0; c < counts.size(); ++c) {
      plain[c] = Currency();
      by_unit[c].Clear();
      counts[c] = 0;
    }
    any = false;
  }

  // Puts into `several` (of the same columns and units) the sums of the columns that summed
  // more than one value: a subtotal that repeats a group's single value says nothing.
  void SeveralInto(Sums& several) const {
    several.Clear();
    for (size_t c = 0; c < counts.size(); ++c) {
      if (counts[c] < 2) continue;
      several.plain[c] = plain[c];
      several.by_unit[c] = by_unit[c];
      several.counts[c] = counts[c];
      several.any = true;
    }
  }
};

class Layouter {
 public:
  // `movable`, when given, is `doc` itself: its cells are moved into the lines, not copied.
  Layouter(const ReportDocument& doc, ReportDocument* movable, AppContextPtr book,
           const MessageTable& messages)
      : doc_(doc), movable_(movable), book_(std::move(book)), messages_(messages) {}

  PrintedReport Run(const std::optional<PrintLayout>& layout) {
    PrintedReport out;
    out.report_class = doc_.report_class;
    out.printed = doc_.printed;
    out.texts = {messages_.GetText(kMsgTotal),     messages_.GetText(kMsgPage),
                 messages_.GetText(kMsgPrinted),   messages_.GetText(kMsgNoData),
                 messages_.GetText(kMsgSignature), messages_.GetText(kMsgName)};
    if (!layout) {
      Plain(out);
      return out;
    }
    const PrintLayout& l = *layout;
    out.title = messages_.GetText(l.title);
    out.orientation = l.orientation;
    for (const LayoutHeaderItem& item : l.header) Header(item, out.header);
    for (const LayoutTable& table : l.tables) out.tables.push_back(Table(table));
    for (const LayoutSignature& s : l.signatures) {
      PrintedSignature line;
      if (s.role) line.role = messages_.GetText(*s.role);
      if (!s.position.empty()) line.position = Said(s.position, "");
      if (!s.name.empty()) line.name = Said(s.name, "");
      for (const std::string& part : s.name_parts) {
        const std::string said = Said(part, "");
        if (said.empty()) continue;
        line.name += (line.name.empty() ? "" : " ") + said;
      }
      if (s.skip_empty && line.name.empty()) continue;
      // A position that says what the role says already is not said twice.
      if (EqualsIgnoreCase(line.position, line.role)) line.position.clear();
      out.signatures.push_back(std::move(line));
    }
    return out;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw Error(kErrPrintLayout, "PrintLayout", "the layout of " + doc_.report_class + " " + what);
  }

  // --- Values ---

  const EnterpriseInfo& Enterprise() {
    if (!enterprise_) {
      enterprise_ = std::make_shared<EnterpriseInfo>();
      enterprise_->Init(book_);
    }
    return *enterprise_;
  }

  // The value `name` with its kind; nullopt when the report has no such value (engine values
  // are always there, empty without a book).
  std::optional<std::pair<Variant, int32_t>> Find(const std::string& name) {
    if (!name.empty() && name[0] == '@') return std::pair(EngineValue(name), EngineKind(name));
    const ReportHeaderValue* value = doc_.FindValue(name);
    if (!value) return std::nullopt;
    return std::pair(value->value, value->kind);
  }

  std::pair<Variant, int32_t> Get(const std::string& name) {
    auto found = Find(name);
    if (!found) Fail("reads the value \"" + name + "\", which the report does not hand over");
    return *found;
  }

  static int32_t EngineKind(std::string_view name) {
    return name == "@Today" || name == "@Printed" ? Code(Kind::kDate) : Code(Kind::kText);
  }

  Variant EngineValue(std::string_view name) {
    if (name == "@Today") return Variant(doc_.printed.DateOnly());
    if (name == "@Printed") return Variant(doc_.printed);
    if (!book_) return Variant(std::string());
    if (name == "@EnterpriseName") return Variant(Enterprise().UnitName());
    if (name == "@PlantCode") return Variant(Enterprise().PlantCode());
    if (name == "@VatCode") return Variant(Enterprise().VatCode());
    if (name == "@Director") return Variant(Enterprise().Director()->FullName());
    if (name == "@DirectorPosition") return Variant(Enterprise().Director()->Position());
    if (name == "@AccountCurrency") {
      const NamedValueList& settings = book_->Settings();
      if (!settings.ExistsField("AccountCurrency")) return Variant(std::string());
      return Variant(CStr(settings.Item("AccountCurrency").Value()));
    }
    return Variant(std::string());
  }

  // The value as a person reads it: formatted by its kind, or its codes said by `lookup`.
  std::string Said(const std::string& name, const std::string& lookup) {
    auto [value, kind] = Get(name);
    if (IsBlank(value)) return std::string();
    if (lookup.empty()) return FormatValue(value, kind);
    return SayCodes(lookup, SelectionCodes(CStr(value)));
  }

  // "Centrinis sandėlis (CS), Gamybos sandėlis (GS)": each code with the name `table` holds
  // for it (the code alone when it holds none).
  std::string SayCodes(const std::string& table, const std::vector<std::string>& codes) {
    if (codes.empty()) return std::string();
    std::map<std::string, std::string> names;
    if (book_) {
      const SqlTools& sql = *SqlTools::Instance();
      std::string list;
      for (size_t i = 0; i < codes.size() && i < kSaidCodes; ++i) {
        list += (i ? "," : "") + sql.SqlValue(Variant(codes[i]), 7);
      }
      QueryPtr query = book_->CreateQuery(table);
      query->Fields().KeepOnly({"Code", "Name"});
      query->AddWhere(sql.Condition(query->Fields().Item("Code"), kOpInList, Variant(list)));
      query->Open();
      for (; !query->Eof(); query->MoveNext()) {
        const Variant& name = query->Fields().Item("Name").Value();
        if (!IsBlank(name)) names[KeyText(query->Fields().Item("Code").Value())] = CStr(name);
      }
    }
    std::string said;
    for (size_t i = 0; i < codes.size() && i < kSaidCodes; ++i) {
      auto it = names.find(codes[i]);
      said += (i ? ", " : "") + (it == names.end() ? codes[i] : it->second + " (" + codes[i] + ")");
    }
    if (codes.size() > kSaidCodes) {
      said += " " + Compose(messages_.GetText(kMsgMoreCodes),
                            {std::to_string(codes.size() - kSaidCodes)});
    }
    return said;
  }

  bool Blank(const std::string& name) {
    auto found = Find(name);
    return !found || IsBlank(found->first);
  }

  void Header(const LayoutHeaderItem& item, std::vector<PrintedHeaderLine>& out) {
    if (!item.if_set.empty() && Blank(item.if_set)) return;
    if (!item.unless_set.empty() && !Blank(item.unless_set)) return;
    PrintedHeaderLine line;
    line.style = item.style;
    if (item.caption) line.caption = messages_.GetText(*item.caption);
    if (!item.barcode.empty()) {
      // A bar code is drawn only when the report was asked for one.
      auto found = Find(item.barcode);
      if (!found || IsBlank(found->first)) return;
      line.text = CStr(found->first);
      line.barcode = true;
    } else if (item.text) {
      std::vector<std::string> args;
      bool any = item.args.empty();
      for (const std::string& name : item.args) {
        args.push_back(Said(name, ""));
        any = any || !args.back().empty();
      }
      if (!any) return;
      line.text = Compose(messages_.GetText(*item.text), args);
    } else {
      line.text = Said(item.value, item.lookup);
      if (line.text.empty()) {
        if (!item.all) return;
        line.text = messages_.GetText(*item.all);
      }
    }
    out.push_back(std::move(line));
  }

  // --- Tables ---

  struct Column {
    size_t source;  // index in the data list
    const PrintLayoutColumn* layout;
    std::optional<size_t> when;  // the condition's column
    std::optional<size_t> unit;  // the unit column, as a printed column
    bool group = false;          // one of the group's own values
  };

  // The index of `name` in `list`; a layout naming a column the list lacks is refused.
  size_t SourceOf(const ReportList& list, const LayoutTable& lt, const std::string& name,
                  const std::string& what) const {
    std::optional<size_t> at = list.Find(name);
    if (!at) {
      Fail(what + " \"" + name + "\", which the data list \"" + lt.list + "\" does not have");
    }
    return *at;
  }

  // The printed columns of `lt` over `list`, and how each reads the list.
  std::vector<Column> Columns(const LayoutTable& lt, const ReportList& list, PrintedTable& table) {
    std::vector<Column> columns;
    double widths = 0;
    for (const PrintLayoutColumn& lc : lt.columns) {
      Column c{SourceOf(list, lt, lc.name, "shows the column"), &lc, std::nullopt, std::nullopt,
               false};
      if (lc.when) c.when = SourceOf(list, lt, lc.when->column, "shows rows by the column");
      const int32_t kind = list.columns[c.source].kind;
      if (lc.total && !IsNumericKind(kind)) Fail("totals \"" + lc.name + "\", which is no number");
      if (lc.total && kind == Code(Kind::kQuantity) && lc.unit.empty()) {
        Fail("totals the quantity \"" + lc.name + "\" without its unit");
      }
      std::vector<std::string> args;
      for (const std::string& name : lc.caption_args) args.push_back(Said(name, ""));
      table.columns.push_back({list.columns[c.source].name,
                               Compose(messages_.GetText(lc.caption), args), lc.code, kind,
                               lc.width, lc.wrap, IsNumericKind(kind), false, lc.unit});
      widths += lc.width;
      columns.push_back(c);
    }
    for (PrintedColumn& c : table.columns) c.width /= widths;
    for (size_t i = 0; i < lt.columns.size(); ++i) {
      for (size_t u = 0; u < lt.columns.size(); ++u) {
        if (EqualsIgnoreCase(lt.columns[u].name, lt.columns[i].unit)) columns[i].unit = u;
      }
      if (!lt.group) continue;
      for (const std::string& name : lt.group->columns) {
        if (EqualsIgnoreCase(lt.columns[i].name, name)) {
          columns[i].group = true;
          table.columns[i].group = true;
        }
      }
    }
    return columns;
  }

  // The rows of `list` in groups, in the order their first rows come; rows keep their order
  // inside a group. Without a group every row is a group of its own. Group g holds
  // rows[starts[g]] up to rows[starts[g + 1]].
  struct Groups {
    std::vector<size_t> rows;
    std::vector<size_t> starts;
    size_t Count() const { return starts.size() - 1; }
  };

  Groups GroupRows(const LayoutTable& lt, const ReportList& list) const {
    const size_t count = list.rows.size();
    Groups groups;
    groups.rows.resize(count);
    if (!lt.group) {
      groups.starts.resize(count + 1);
      for (size_t r = 0; r < count; ++r) groups.rows[r] = groups.starts[r] = r;
      groups.starts[count] = count;
      return groups;
    }
    std::vector<size_t> by;
    for (const std::string& name : lt.group->by) {
      by.push_back(SourceOf(list, lt, name, "groups by"));
    }
    // Each row's group, found by its key text. The keys of the groups are kept one after
    // another in one text and found through an open-addressed table of group numbers, so a
    // row costs no allocation of its own.
    std::vector<size_t> group_of(count);
    std::string keys;
    std::vector<size_t> key_ends;  // group g's key is keys[key_ends[g - 1] .. key_ends[g])
    std::vector<size_t> slots(std::bit_ceil(std::max<size_t>(16, count * 2)), kNoGroup);
    const size_t mask = slots.size() - 1;
    std::string key;
    for (size_t r = 0; r < count; ++r) {
      key.clear();
      for (size_t b : by) AppendKey(key, list.rows[r][b]);
      size_t slot = std::hash<std::string_view>{}(key)&mask;
      for (;; slot = (slot + 1) & mask) {
        const size_t g = slots[slot];
        if (g == kNoGroup) {
          slots[slot] = key_ends.size();
          keys += key;
          key_ends.push_back(keys.size());
          group_of[r] = slots[slot];
          break;
        }
        const size_t begin = g == 0 ? 0 : key_ends[g - 1];
        if (std::string_view(keys).substr(begin, key_ends[g] - begin) == key) {
          group_of[r] = g;
          break;
        }
      }
    }
    // The rows ordered by group, each group's rows in their order.
    groups.starts.assign(key_ends.size() + 1, 0);
    for (size_t r = 0; r < count; ++r) ++groups.starts[group_of[r] + 1];
    for (size_t g = 1; g < groups.starts.size(); ++g) groups.starts[g] += groups.starts[g - 1];
    std::vector<size_t> next(groups.starts.begin(), groups.starts.end() - 1);
    for (size_t r = 0; r < count; ++r) groups.rows[next[group_of[r]]++] = r;
    return groups;
  }

  PrintedTable Table(const LayoutTable& lt) {
    const ReportList* list = doc_.FindList(lt.list);
    if (!list) {
      Fail("prints the data list \"" + lt.list + "\", which the report does not hand over");
    }
    ReportList* cells_to_move =
        movable_ ? &movable_->lists[static_cast<size_t>(list - doc_.lists.data())] : nullptr;
    PrintedTable table;
    table.list = list->name;
    if (lt.caption) table.caption = messages_.GetText(*lt.caption);
    const std::vector<Column> columns = Columns(lt, *list, table);
    const Groups groups = GroupRows(lt, *list);
    table.rows = list->rows.size();

    Sums grand(columns.size());
    Sums sums(columns.size());
    Sums several(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
      grand.per_unit[i] = sums.per_unit[i] = several.per_unit[i] = columns[i].unit.has_value();
    }
    table.lines.reserve(list->rows.size() + groups.Count() / 2 + 4);
    std::vector<bool> shown;
    // A line's cells in the table's order, before they go into the line.
    std::vector<Variant> cells(columns.size());
    // The group's own values: where each is in the list (the first value given in any of the
    // group's rows), and in `own` a copy of those the group's later lines read again (a total
    // counted once per group, a unit). The others go into the group's first line only: moved
    // out of the list when its first row holds them and no other column reads them there, so
    // a long text is not copied.
    std::vector<const Variant*> own_at(columns.size(), nullptr);
    std::vector<Variant> own(columns.size());
    std::vector<bool> kept(columns.size(), false);
    std::vector<bool> only_reader(columns.size(), true);
    for (size_t i = 0; i < columns.size(); ++i) {
      const Column& c = columns[i];
      if (c.group && c.layout->total) kept[i] = true;
      if (c.unit && columns[*c.unit].group) kept[*c.unit] = true;
      for (size_t j = 0; j < columns.size(); ++j) {
        if (j != i && (columns[j].source == c.source || columns[j].when == c.source)) {
          only_reader[i] = false;
        }
      }
    }
    const bool subtotals = lt.group && lt.group->subtotal;
    const std::string subtotal_label =
        subtotals ? messages_.GetText(*lt.group->subtotal) : std::string();
    for (size_t g = 0; g < groups.Count(); ++g) {
      const std::span<const size_t> rows(groups.rows.data() + groups.starts[g],
                                         groups.starts[g + 1] - groups.starts[g]);
      for (size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].group) continue;
        own_at[i] = nullptr;
        for (size_t r : rows) {
          const Variant& v = list->rows[r][columns[i].source];
          if (!IsBlank(v)) {
            own_at[i] = &v;
            break;
          }
        }
        if (kept[i]) own[i] = own_at[i] ? *own_at[i] : Variant();
      }
      sums.Clear();
      for (size_t k = 0; k < rows.size(); ++k) {
        const std::vector<Variant>& row = list->rows[rows[k]];
        PrintedLine& line = table.lines.emplace_back();
        line.group = g;
        line.group_start = k == 0;
        // Which cells the line shows, decided before any is moved.
        shown.assign(columns.size(), false);
        for (size_t i = 0; i < columns.size(); ++i) {
          const Column& c = columns[i];
          shown[i] = !c.group && (!c.when || Meets(row[*c.when], c.layout->when->equals));
        }
        if (cells_to_move) {
          // The row's cells are moved into the line and the row's own vector, no longer
          // needed, holds them: a line costs no allocation.
          std::vector<Variant>& source = cells_to_move->rows[rows[k]];
          // The group's values first: one of them may lie in this row.
          for (size_t i = 0; i < columns.size(); ++i) {
            const Column& c = columns[i];
            if (!c.group || k != 0) {
              cells[i] = Variant();
            } else if (!own_at[i]) {
              cells[i] = Variant();
            } else if (own_at[i] == &source[c.source] && !kept[i] && only_reader[i]) {
              cells[i] = std::move(source[c.source]);
            } else {
              cells[i] = *own_at[i];
            }
          }
          for (size_t i = 0; i < columns.size(); ++i) {
            if (shown[i]) cells[i] = std::move(source[columns[i].source]);
          }
          source.clear();
          for (Variant& cell : cells) source.push_back(std::move(cell));
          line.cells = std::move(source);
        } else {
          line.cells.resize(columns.size());
          for (size_t i = 0; i < columns.size(); ++i) {
            const Column& c = columns[i];
            if (c.group && k == 0 && own_at[i]) line.cells[i] = *own_at[i];
            if (shown[i]) line.cells[i] = row[c.source];
          }
        }
        for (size_t i = 0; i < columns.size(); ++i) {
          const Column& c = columns[i];
          if (!c.group && c.layout->total) {
            Count(sums, i, line.cells[i], UnitOf(c, line.cells, own));
          }
        }
      }
      for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].group && columns[i].layout->total) {
          Count(grand, i, own[i], UnitOf(columns[i], table.lines.back().cells, own));
        }
      }
      Merge(grand, sums);
      if (subtotals && rows.size() > 1) {
        sums.SeveralInto(several);
        if (several.any) {
          SumLines(several, columns, LineKind::kSubtotal, subtotal_label, g, table.lines);
        }
      }
    }
    if (grand.any) {
      SumLines(grand, columns, LineKind::kTotal, messages_.GetText(kMsgTotal), groups.Count(),
               table.lines);
    }
    return table;
  }

  // The unit of `c` on a line: the line's own unit, else its group's.
  static std::string_view UnitOf(const Column& c, const std::vector<Variant>& cells,
                                 const std::vector<Variant>& own) {
    if (!c.unit) return {};
    for (const Variant* v : {&cells[*c.unit], &own[*c.unit]}) {
      if (v->Type() == VarType::kString && !v->AsString().empty()) return v->AsString();
    }
    return {};
  }

  static void Count(Sums& sums, size_t column, const Variant& value, std::string_view unit) {
    if (!IsNumber(value)) return;
    sums.any = true;
    ++sums.counts[column];
    if (sums.per_unit[column]) {
      sums.by_unit[column].Add(unit, CCur(value));
    } else {
      sums.plain[column] += CCur(value);
    }
  }

  static void Merge(Sums& into, const Sums& from) {
    if (!from.any) return;
    for (size_t c = 0; c < from.counts.size(); ++c) {
      if (from.counts[c] == 0) continue;
      into.plain[c] += from.plain[c];
      for (const auto& [unit, value] : from.by_unit[c].Sums()) into.by_unit[c].Add(unit, value);
      into.counts[c] += from.counts[c];
    }
    into.any = true;
  }

  // The lines of `sums`: with one unit (or none) a single line; with several, a first line of
  // the sums that have no unit, then a line per unit with that unit in its column.
  static void SumLines(const Sums& sums, const std::vector<Column>& columns, LineKind kind,
                       const std::string& label, size_t group, std::vector<PrintedLine>& out) {
    std::vector<std::string> units;
    for (const UnitSums& by_unit : sums.by_unit) {
      for (const auto& [unit, value] : by_unit.Sums()) {
        if (std::find(units.begin(), units.end(), unit) == units.end()) units.push_back(unit);
      }
    }
    auto blank = [&] {
      PrintedLine line;
      line.kind = kind;
      line.group = group;
      line.cells.resize(columns.size());
      return line;
    };
    PrintedLine first = blank();
    first.label = label;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (sums.counts[c] > 0 && !sums.per_unit[c]) first.cells[c] = Variant(sums.plain[c]);
    }
    const bool one_line = units.size() <= 1;
    if (!one_line) out.push_back(std::move(first));
    for (size_t u = 0; u < units.size(); ++u) {
      PrintedLine line = one_line ? std::move(first) : blank();
      for (size_t c = 0; c < columns.size(); ++c) {
        if (sums.by_unit[c].Empty()) continue;
        for (const auto& [unit, value] : sums.by_unit[c].Sums()) {
          if (unit == units[u]) line.cells[c] = Variant(value);
        }
        line.cells[*columns[c].unit] = Variant(units[u]);
      }
      out.push_back(std::move(line));
    }
    if (one_line && units.empty()) out.push_back(std::move(first));
  }

  // --- Without a layout ---

  void Plain(PrintedReport& out) {
    out.title = ReportTitle(doc_.report_class);
    out.header.push_back({HeaderStyle::kTitle, "", out.title, false});
    for (const ReportHeaderValue& v : doc_.values) {
      if (IsBlank(v.value)) continue;
      out.header.push_back({HeaderStyle::kLine, v.name, FormatValue(v.value, v.kind), false});
    }
    for (const ReportList& list : doc_.lists) {
      PrintedTable table;
      table.list = list.name;
      table.rows = list.rows.size();
      Sums sums(list.columns.size());
      std::vector<Column> columns;
      for (size_t i = 0; i < list.columns.size(); ++i) {
        const int32_t kind = list.columns[i].kind;
        table.columns.push_back({list.columns[i].name, list.columns[i].name, "", kind,
                                 1.0 / static_cast<double>(list.columns.size()), false,
                                 IsNumericKind(kind), false, ""});
        columns.push_back({i, nullptr, std::nullopt, std::nullopt, false});
      }
      for (size_t r = 0; r < list.rows.size(); ++r) {
        PrintedLine line;
        line.group = r;
        line.group_start = true;
        line.cells = list.rows[r];
        for (size_t i = 0; i < list.columns.size(); ++i) {
          if (list.columns[i].kind == Code(Kind::kMoney)) Count(sums, i, line.cells[i], {});
        }
        table.lines.push_back(std::move(line));
      }
      if (sums.any) {
        SumLines(sums, columns, LineKind::kTotal, out.texts.total, list.rows.size(), table.lines);
      }
      out.tables.push_back(std::move(table));
    }
  }

  const ReportDocument& doc_;
  ReportDocument* movable_;
  AppContextPtr book_;
  const MessageTable& messages_;
  std::shared_ptr<EnterpriseInfo> enterprise_;
};

}  // namespace

bool PrintedTable::HasCodes() const {
  for (const PrintedColumn& c : columns) {
    if (!c.code.empty()) return true;
  }
  return false;
}

std::string PrintedReport::PageText(int page, int pages) const {
  return Compose(texts.page, {std::to_string(page), std::to_string(pages)});
}

std::string PrintedReport::PrintedText() const {
  return Compose(texts.printed, {FormatValue(Variant(printed), Code(Kind::kDate))});
}

const MessageTable& ReportMessages() {
  static const std::shared_ptr<MessageTable> table = [] {
    auto t = std::make_shared<MessageTable>();
    t->SetResourceName("QTSFormRes");
    return t;
  }();
  return *table;
}

PrintedReport LayOutReport(const ReportDocument& doc, const std::optional<PrintLayout>& layout,
                           const AppContextPtr& book) {
  return Layouter(doc, nullptr, book, ReportMessages()).Run(layout);
}

PrintedReport LayOutReport(ReportDocument&& doc, const std::optional<PrintLayout>& layout,
                           const AppContextPtr& book) {
  return Layouter(doc, &doc, book, ReportMessages()).Run(layout);
}

std::string ReportTitle(std::string_view report_class) {
  std::optional<PrintLayout> layout = LoadPrintLayout(report_class);
  if (layout) return ReportMessages().GetText(layout->title);
  // An act without a layout of its own yet is titled as its print form is named.
  if (const PrintForm* form = FindPrintForm(report_class)) return UCase(form->caption);
  return std::string(report_class);
}

std::vector<std::string> SelectionCodes(std::string_view text) {
  std::vector<std::string> codes;
  if (text.find('\'') != std::string_view::npos) {
    // Quoted codes; a quote inside a code is doubled.
    size_t i = 0;
    while ((i = text.find('\'', i)) != std::string_view::npos) {
      std::string code;
      size_t k = i + 1;
      for (; k < text.size(); ++k) {
        if (text[k] != '\'') {
          code += text[k];
        } else if (k + 1 < text.size() && text[k + 1] == '\'') {
          code += '\'';
          ++k;
        } else {
          break;
        }
      }
      codes.push_back(std::move(code));
      i = k + 1;
      if (k >= text.size()) break;
    }
    return codes;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string_view part = text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    if (!part.empty()) codes.emplace_back(part);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return codes;
}

}  // namespace qts::host
