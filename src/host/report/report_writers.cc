#include "host/report/report_writers.h"

#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <system_error>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/data/variant_json.h"

namespace qts::host {

namespace {

// A field quoted when it holds the separator, a quote or a line end.
std::string CsvField(const std::string& text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string::npos) {
    return text;
  }
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Whether `path` names a link or something that is neither a file nor a folder (a device such
// as /dev/null, a pipe, /dev/stdout): what is written goes into it, never over it.
bool IsSpecialFile(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::file_status own = std::filesystem::symlink_status(path, ec);
  if (ec || !std::filesystem::exists(own)) return false;
  if (std::filesystem::is_symlink(own)) return true;
  return !std::filesystem::is_regular_file(own) && !std::filesystem::is_directory(own);
}

[[noreturn]] void CannotWrite(const std::filesystem::path& path, const std::string& why = {}) {
  throw Error(kErrFileAccess, "ReportEngine",
              "cannot write \"" + path.string() + "\"" + (why.empty() ? "" : ": " + why));
}

// Runs `write` on a temporary file and puts what it wrote at `path`: a file is renamed into
// place, so that a reader never sees half of it; a link, a device or a pipe is written into
// (the temporary file then lies in the system's temporary folder). On failure the temporary
// file is removed.
template <class Write>
void WriteThroughTemporary(const std::filesystem::path& path, Write&& write) {
  const bool special = IsSpecialFile(path);
  std::filesystem::path temp = path;
  if (special) {
    static std::atomic<int> counter = 0;
    temp = std::filesystem::temp_directory_path() /
           fmt::format("qts-output-{}-{}.part", getpid(), ++counter);
  } else {
    temp += ".part";
  }
  std::error_code ec;
  try {
    write(temp);
    if (special) {
      std::ifstream in(temp, std::ios::binary);
      std::ofstream out(path, std::ios::binary);
      out << in.rdbuf();
      out.flush();
      if (!in || !out) CannotWrite(path);
      std::filesystem::remove(temp, ec);
      return;
    }
  } catch (...) {
    std::filesystem::remove(temp, ec);
    throw;
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    const std::string why = ec.message();
    std::filesystem::remove(temp, ec);
    CannotWrite(path, why);
  }
}

// A cell as CSV writes it: numbers plainly (exact, a decimal point) or in the local form.
std::string CsvValue(const Variant& value, int32_t kind, CsvLocale locale) {
  if (value.IsNull() || value.IsEmpty() || value.IsObject()) return std::string();
  if (value.Type() == VarType::kDate) {
    Date date = value.AsDate();
    std::string text = date.DateOnly().ToIso().substr(0, 10);
    if (date.HasTime()) text += " " + date.ToIso().substr(11, 8);
    return text;
  }
  const bool number = value.Type() == VarType::kCurrency || value.Type() == VarType::kDouble ||
                      value.Type() == VarType::kLong || value.Type() == VarType::kInteger;
  if (!number) return CStr(value);
  if (locale == CsvLocale::kPlain) {
    if (value.Type() == VarType::kDouble) return fmt::format("{}", value.AsDouble());
    return CCur(value).ToString();
  }
  int decimals = -1;
  if (kind == Code(Kind::kMoney)) decimals = 2;
  if (kind == Code(Kind::kQuantity)) decimals = 3;
  if (kind == Code(Kind::kPrice) || kind == Code(Kind::kWeight)) decimals = 4;
  std::string text = decimals < 0
                         ? (value.Type() == VarType::kDouble ? fmt::format("{}", value.AsDouble())
                                                             : CCur(value).ToString())
                         : FormatGrouped(CCur(value), decimals);
  std::string out;
  for (char c : text) {
    if (c == ' ') continue;  // no thousands separator
    out += c == '.' ? ',' : c;
  }
  return out;
}

void WriteAtomically(const std::filesystem::path& path, const std::string& text) {
  WriteThroughTemporary(path, [&](const std::filesystem::path& temp) {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) CannotWrite(path);
  });
}

}  // namespace

ReportFormat ParseReportFormat(std::string_view text) {
  std::string lower = AsciiLower(text);
  if (lower == "html") return ReportFormat::kHtml;
  if (lower == "pdf") return ReportFormat::kPdf;
  if (lower == "csv") return ReportFormat::kCsv;
  if (lower == "json") return ReportFormat::kJson;
  if (lower == "xlsx") return ReportFormat::kXlsx;
  throw Error(kErrInvalidCall, "ReportEngine",
              "unknown report format \"" + std::string(text) + "\" (html, pdf, csv, json, xlsx)");
}

CsvLocale ParseCsvLocale(std::string_view text) {
  std::string lower = AsciiLower(text);
  if (lower.empty() || lower == "plain") return CsvLocale::kPlain;
  if (lower == "lt") return CsvLocale::kLithuanian;
  throw Error(kErrInvalidCall, "ReportEngine",
              "unknown locale \"" + std::string(text) + "\" (plain, lt)");
}

std::string_view ReportFormatName(ReportFormat format) {
  switch (format) {
    case ReportFormat::kHtml:
      return "html";
    case ReportFormat::kPdf:
      return "pdf";
    case ReportFormat::kCsv:
      return "csv";
    case ReportFormat::kJson:
      return "json";
    case ReportFormat::kXlsx:
      return "xlsx";
  }
  return "?";
}

std::string RenderCsv(const ReportList& list, CsvLocale locale) {
  const char separator = locale == CsvLocale::kLithuanian ? ';' : ',';
  std::string out;
  for (size_t i = 0; i < list.columns.size(); ++i) {
    if (i) out += separator;
    out += CsvField(list.columns[i].name, separator);
  }
  out += "\r\n";
  for (const std::vector<Variant>& row : list.rows) {
    for (size_t i = 0; i < list.columns.size(); ++i) {
      if (i) out += separator;
      out += CsvField(CsvValue(row[i], list.columns[i].kind, locale), separator);
    }
    out += "\r\n";
  }
  return out;
}

nlohmann::ordered_json RenderJson(const ReportDocument& doc) {
  nlohmann::ordered_json out;
  out["report"] = doc.report_class;
  out["printed"] = doc.printed.ToIso().substr(0, 10);
  nlohmann::ordered_json values = nlohmann::ordered_json::object();
  for (const ReportHeaderValue& v : doc.values) values[v.name] = ToJson(v.value);
  out["values"] = std::move(values);
  nlohmann::ordered_json lists = nlohmann::ordered_json::object();
  for (const ReportList& list : doc.lists) {
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (const ReportColumn& c : list.columns) {
      columns.push_back({{"name", c.name}, {"kind", c.kind}});
    }
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const std::vector<Variant>& row : list.rows) {
      nlohmann::ordered_json r = nlohmann::ordered_json::object();
      for (size_t i = 0; i < list.columns.size(); ++i) r[list.columns[i].name] = ToJson(row[i]);
      rows.push_back(std::move(r));
    }
    lists[list.name] = {{"columns", std::move(columns)}, {"rows", std::move(rows)}};
  }
  out["lists"] = std::move(lists);
  return out;
}

namespace {

// The first data list to `path`, each further one to "<stem>-<list name>.csv" beside it; an
// empty file for a report without lists. Returns the files written.
std::vector<std::filesystem::path> WriteCsvFiles(const ReportDocument& doc,
                                                 const std::filesystem::path& path,
                                                 CsvLocale locale) {
  if (doc.lists.empty()) {
    WriteAtomically(path, "");
    return {path};
  }
  std::vector<std::filesystem::path> written;
  for (size_t i = 0; i < doc.lists.size(); ++i) {
    std::filesystem::path target = path;
    if (i > 0) {
      target = path.parent_path() /
               (path.stem().string() + "-" + doc.lists[i].name + path.extension().string());
    }
    WriteAtomically(target, RenderCsv(doc.lists[i], locale));
    written.push_back(target);
  }
  return written;
}

}  // namespace

std::vector<std::filesystem::path> WriteReport(const ReportDocument& doc,
                                               const PrintedReport& printed, ReportFormat format,
                                               const std::filesystem::path& path,
                                               CsvLocale locale) {
  std::vector<std::filesystem::path> written;
  switch (format) {
    case ReportFormat::kHtml:
      WriteAtomically(path, RenderHtml(printed));
      written.push_back(path);
      break;
    case ReportFormat::kPdf:
      WriteThroughTemporary(path,
                            [&](const std::filesystem::path& temp) { WritePdf(printed, temp); });
      written.push_back(path);
      break;
    case ReportFormat::kJson:
      WriteAtomically(
          path,
          RenderJson(doc).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
      written.push_back(path);
      break;
    case ReportFormat::kCsv:
      return WriteCsvFiles(doc, path, locale);
    case ReportFormat::kXlsx:
      WriteThroughTemporary(path,
                            [&](const std::filesystem::path& temp) { WriteXlsx(printed, temp); });
      written.push_back(path);
      break;
  }
  return written;
}

}  // namespace qts::host
