#include "host/report/print_layout.h"

#include <algorithm>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>

#include "core/text.h"
#include "host/services/file_cache.h"
#include "host/services/message_table.h"

namespace qts::host {

namespace {

using Json = nlohmann::json;

// Reads one layout, naming the place of every fault.
class LayoutReader {
 public:
  explicit LayoutReader(std::string_view origin) : origin_(origin) {}

  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    throw Error(kErrPrintLayout, "PrintLayout", origin_ + ": " + where + ": " + what);
  }

  void OnlyKeys(const Json& object, const std::string& where,
                std::initializer_list<std::string_view> keys) const {
    if (!object.is_object()) Fail(where, "is not an object");
    for (const auto& [key, value] : object.items()) {
      if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
        Fail(where, "unknown key \"" + key + "\"");
      }
    }
  }

  int32_t Key(const Json& value, const std::string& where) const {
    if (!value.is_number_integer() || value.get<int64_t>() <= 0 ||
        value.get<int64_t>() > INT32_MAX) {
      Fail(where, "is not a message key (a positive whole number)");
    }
    return value.get<int32_t>();
  }

  std::optional<int32_t> OptionalKey(const Json& object, const char* key,
                                     const std::string& where) const {
    if (!object.contains(key)) return std::nullopt;
    return Key(object[key], where + "." + key);
  }

  std::string Text(const Json& object, const char* key, const std::string& where,
                   bool required = false) const {
    if (!object.contains(key)) {
      if (required) Fail(where, std::string("needs \"") + key + "\"");
      return {};
    }
    if (!object[key].is_string() || object[key].get<std::string>().empty()) {
      Fail(where + "." + key, "is not a non-empty text");
    }
    return object[key].get<std::string>();
  }

  // A value name: a report value, or one of the engine's.
  std::string ValueName(const Json& object, const char* key, const std::string& where,
                        bool required = false) const {
    std::string name = Text(object, key, where, required);
    CheckValueName(name, where + "." + key);
    return name;
  }

  void CheckValueName(const std::string& name, const std::string& where) const {
    if (name.empty() || name[0] != '@') return;
    for (std::string_view engine : kEngineValues) {
      if (engine == name) return;
    }
    Fail(where, "\"" + name + "\" is no value the engine gives");
  }

  std::vector<std::string> Names(const Json& object, const char* key, const std::string& where,
                                 bool values) const {
    std::vector<std::string> names;
    if (!object.contains(key)) return names;
    const Json& list = object[key];
    if (!list.is_array()) Fail(where + "." + key, "is not a list");
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = where + "." + key + "[" + std::to_string(i) + "]";
      if (!list[i].is_string() || list[i].get<std::string>().empty()) {
        Fail(at, "is not a name");
      }
      names.push_back(list[i].get<std::string>());
      if (values) CheckValueName(names.back(), at);
    }
    return names;
  }

  bool Flag(const Json& object, const char* key, const std::string& where) const {
    if (!object.contains(key)) return false;
    if (!object[key].is_boolean()) Fail(where + "." + key, "is not true or false");
    return object[key].get<bool>();
  }

  LayoutHeaderItem HeaderItem(const Json& j, const std::string& where) const {
    OnlyKeys(j, where,
             {"caption", "value", "text", "args", "lookup", "all", "style", "if_set", "unless_set",
              "barcode"});
    LayoutHeaderItem item;
    item.caption = OptionalKey(j, "caption", where);
    item.value = ValueName(j, "value", where);
    item.text = OptionalKey(j, "text", where);
    item.args = Names(j, "args", where, true);
    item.lookup = Text(j, "lookup", where);
    item.all = OptionalKey(j, "all", where);
    item.if_set = ValueName(j, "if_set", where);
    item.unless_set = ValueName(j, "unless_set", where);
    item.barcode = ValueName(j, "barcode", where);
    const std::string style = Text(j, "style", where);
    if (style.empty() || style == "line") {
      item.style = HeaderStyle::kLine;
    } else if (style == "company") {
      item.style = HeaderStyle::kCompany;
    } else if (style == "title") {
      item.style = HeaderStyle::kTitle;
    } else if (style == "center") {
      item.style = HeaderStyle::kCenter;
    } else if (style == "note") {
      item.style = HeaderStyle::kNote;
    } else {
      Fail(where + ".style", "\"" + style + "\" is not company, title, center, line or note");
    }
    if (!item.args.empty() && !item.text) Fail(where, "\"args\" belong to a \"text\"");
    const int shown =
        (item.value.empty() ? 0 : 1) + (item.text ? 1 : 0) + (item.barcode.empty() ? 0 : 1);
    if (shown != 1) Fail(where, "needs exactly one of \"value\", \"text\" and \"barcode\"");
    if (!item.lookup.empty() && item.value.empty()) Fail(where, "\"lookup\" needs a \"value\"");
    return item;
  }

  PrintLayoutColumn Column(const Json& j, const std::string& where) const {
    OnlyKeys(j, where,
             {"name", "caption", "caption_args", "code", "width", "wrap", "total", "unit", "when"});
    PrintLayoutColumn column;
    column.name = Text(j, "name", where, true);
    if (!j.contains("caption")) Fail(where, "needs \"caption\"");
    column.caption = Key(j["caption"], where + ".caption");
    column.caption_args = Names(j, "caption_args", where, true);
    column.code = Text(j, "code", where);
    if (j.contains("width")) {
      if (!j["width"].is_number() || j["width"].get<double>() <= 0) {
        Fail(where + ".width", "is not a positive number");
      }
      column.width = j["width"].get<double>();
    }
    column.wrap = Flag(j, "wrap", where);
    column.total = Flag(j, "total", where);
    column.unit = Text(j, "unit", where);
    if (!column.unit.empty() && !column.total) Fail(where, "a \"unit\" belongs to a total");
    if (j.contains("when")) {
      const std::string at = where + ".when";
      OnlyKeys(j["when"], at, {"column", "equals"});
      LayoutCondition condition;
      condition.column = Text(j["when"], "column", at, true);
      if (!j["when"].contains("equals")) Fail(at, "needs \"equals\"");
      const Json& equals = j["when"]["equals"];
      if (equals.is_number_integer()) {
        condition.equals = Variant(static_cast<int32_t>(equals.get<int64_t>()));
      } else if (equals.is_string()) {
        condition.equals = Variant(equals.get<std::string>());
      } else {
        Fail(at + ".equals", "is not a whole number or a text");
      }
      column.when = std::move(condition);
    }
    return column;
  }

  LayoutTable Table(const Json& j, const std::string& where) const {
    OnlyKeys(j, where, {"list", "caption", "columns", "group"});
    LayoutTable table;
    table.list = Text(j, "list", where, true);
    table.caption = OptionalKey(j, "caption", where);
    if (!j.contains("columns") || !j["columns"].is_array() || j["columns"].empty()) {
      Fail(where, "needs \"columns\", a list of at least one column");
    }
    std::set<std::string> seen;
    for (size_t i = 0; i < j["columns"].size(); ++i) {
      PrintLayoutColumn column =
          Column(j["columns"][i], where + ".columns[" + std::to_string(i) + "]");
      if (!seen.insert(AsciiLower(column.name)).second) {
        Fail(where, "column \"" + column.name + "\" is shown twice");
      }
      table.columns.push_back(std::move(column));
    }
    for (const PrintLayoutColumn& column : table.columns) {
      if (!column.unit.empty() && !table.Find(column.unit)) {
        Fail(where + ".columns." + column.name,
             "its unit column \"" + column.unit + "\" is not shown");
      }
    }
    if (j.contains("group")) {
      const std::string at = where + ".group";
      OnlyKeys(j["group"], at, {"by", "columns", "subtotal"});
      LayoutGroup group;
      group.by = Names(j["group"], "by", at, false);
      if (group.by.empty()) Fail(at, "needs \"by\", the columns that group rows");
      group.columns = Names(j["group"], "columns", at, false);
      for (const std::string& name : group.columns) {
        if (!table.Find(name)) Fail(at, "group column \"" + name + "\" is not shown");
      }
      group.subtotal = OptionalKey(j["group"], "subtotal", at);
      table.group = std::move(group);
    }
    return table;
  }

  LayoutSignature Signature(const Json& j, const std::string& where) const {
    OnlyKeys(j, where, {"role", "position", "name", "skip_empty"});
    LayoutSignature signature;
    signature.role = OptionalKey(j, "role", where);
    signature.position = ValueName(j, "position", where);
    if (j.contains("name") && j["name"].is_array()) {
      const Json& parts = j["name"];
      if (parts.empty()) Fail(where + ".name", "is an empty list");
      for (size_t i = 0; i < parts.size(); ++i) {
        const std::string at = where + ".name[" + std::to_string(i) + "]";
        if (!parts[i].is_string() || parts[i].get<std::string>().empty()) {
          Fail(at, "is not a value name");
        }
        CheckValueName(parts[i].get<std::string>(), at);
        signature.name_parts.push_back(parts[i].get<std::string>());
      }
    } else {
      signature.name = ValueName(j, "name", where);
    }
    signature.skip_empty = Flag(j, "skip_empty", where);
    if (!signature.role && signature.position.empty()) {
      Fail(where, "needs a \"role\" or a \"position\"");
    }
    return signature;
  }

  PrintLayout Layout(const Json& j) const {
    OnlyKeys(j, "layout", {"report", "title", "orientation", "header", "tables", "footer"});
    PrintLayout layout;
    layout.report = Text(j, "report", "layout", true);
    if (!j.contains("title")) Fail("layout", "needs \"title\"");
    layout.title = Key(j["title"], "title");
    const std::string orientation = Text(j, "orientation", "layout");
    if (orientation == "landscape") {
      layout.orientation = PageOrientation::kLandscape;
    } else if (!orientation.empty() && orientation != "portrait") {
      Fail("orientation", "\"" + orientation + "\" is not portrait or landscape");
    }
    for (const char* list : {"header", "tables", "footer"}) {
      if (j.contains(list) && !j[list].is_array()) Fail(list, "is not a list");
    }
    if (j.contains("header")) {
      for (size_t i = 0; i < j["header"].size(); ++i) {
        layout.header.push_back(HeaderItem(j["header"][i], "header[" + std::to_string(i) + "]"));
      }
    }
    if (j.contains("tables")) {
      std::set<std::string> lists;
      for (size_t i = 0; i < j["tables"].size(); ++i) {
        LayoutTable table = Table(j["tables"][i], "tables[" + std::to_string(i) + "]");
        if (!lists.insert(AsciiLower(table.list)).second) {
          Fail("tables", "the data list \"" + table.list + "\" has two tables");
        }
        layout.tables.push_back(std::move(table));
      }
    }
    if (j.contains("footer")) {
      for (size_t i = 0; i < j["footer"].size(); ++i) {
        const std::string where = "footer[" + std::to_string(i) + "]";
        OnlyKeys(j["footer"][i], where, {"signatures"});
        const Json& lines = j["footer"][i].value("signatures", Json::array());
        if (!lines.is_array()) Fail(where + ".signatures", "is not a list");
        for (size_t k = 0; k < lines.size(); ++k) {
          layout.signatures.push_back(
              Signature(lines[k], where + ".signatures[" + std::to_string(k) + "]"));
        }
      }
    }
    return layout;
  }

 private:
  std::string origin_;
};

void AddUnique(std::vector<std::string>& names, const std::string& name) {
  if (name.empty() || name[0] == '@') return;
  for (const std::string& known : names) {
    if (EqualsIgnoreCase(known, name)) return;
  }
  names.push_back(name);
}

}  // namespace

const PrintLayoutColumn* LayoutTable::Find(std::string_view name) const {
  for (const PrintLayoutColumn& column : columns) {
    if (EqualsIgnoreCase(column.name, name)) return &column;
  }
  return nullptr;
}

const LayoutTable* PrintLayout::FindTable(std::string_view list) const {
  for (const LayoutTable& table : tables) {
    if (EqualsIgnoreCase(table.list, list)) return &table;
  }
  return nullptr;
}

std::vector<int32_t> PrintLayout::CaptionKeys() const {
  std::set<int32_t> keys{title};
  for (const LayoutHeaderItem& item : header) {
    for (const std::optional<int32_t>& key : {item.caption, item.text, item.all}) {
      if (key) keys.insert(*key);
    }
  }
  for (const LayoutTable& table : tables) {
    if (table.caption) keys.insert(*table.caption);
    for (const PrintLayoutColumn& column : table.columns) keys.insert(column.caption);
    if (table.group && table.group->subtotal) keys.insert(*table.group->subtotal);
  }
  for (const LayoutSignature& signature : signatures) {
    if (signature.role) keys.insert(*signature.role);
  }
  return {keys.begin(), keys.end()};
}

std::vector<std::string> PrintLayout::ValueNames() const {
  std::vector<std::string> names;
  for (const LayoutHeaderItem& item : header) {
    for (const std::string& name : {item.value, item.if_set, item.unless_set, item.barcode}) {
      AddUnique(names, name);
    }
    for (const std::string& name : item.args) AddUnique(names, name);
  }
  for (const LayoutTable& table : tables) {
    AddUnique(names, table.list);
    for (const PrintLayoutColumn& column : table.columns) {
      for (const std::string& name : column.caption_args) AddUnique(names, name);
    }
  }
  for (const LayoutSignature& signature : signatures) {
    AddUnique(names, signature.position);
    AddUnique(names, signature.name);
    for (const std::string& part : signature.name_parts) AddUnique(names, part);
  }
  return names;
}

PrintLayout PrintLayout::Parse(std::string_view json, std::string_view origin) {
  LayoutReader reader(origin);
  Json doc = Json::parse(json, nullptr, false);
  if (doc.is_discarded()) reader.Fail("layout", "is not JSON");
  return reader.Layout(doc);
}

std::filesystem::path PrintLayoutDir() { return MessageTable::ResourceDir() / "layouts"; }

std::optional<PrintLayout> LoadPrintLayout(std::string_view report_class) {
  // A report printed again reads its layout again, but parses it only when it changed.
  static ParsedFileCache<PrintLayout> cache;
  const std::filesystem::path file = PrintLayoutDir() / (std::string(report_class) + ".json");
  std::shared_ptr<const PrintLayout> layout = cache.Get(
      file, [&](const std::string& text) { return PrintLayout::Parse(text, file.string()); });
  if (!layout) return std::nullopt;
  if (!EqualsIgnoreCase(layout->report, report_class)) {
    throw Error(kErrPrintLayout, "PrintLayout",
                file.string() + ": the layout is for \"" + layout->report + "\"");
  }
  return *layout;
}

void CheckCaptionKeys(const PrintLayout& layout, const MessageTable& messages) {
  for (int32_t key : layout.CaptionKeys()) {
    if (!messages.HasText(key)) {
      throw Error(kErrPrintLayout, "PrintLayout",
                  "the layout of " + layout.report + " uses message " + std::to_string(key) +
                      ", which " + messages.ResourceName() + " does not hold");
    }
  }
}

std::vector<std::string> PrintLayoutClasses() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(PrintLayoutDir(), ec)) {
    if (entry.path().extension() == ".json") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qts::host
