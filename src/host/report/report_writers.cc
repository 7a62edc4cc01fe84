#include "host/report/report_writers.h"

#include <fmt/format.h>

#include <fstream>
#include <system_error>

#include "core/convert.h"
#include "core/error.h"
#include "core/text.h"
#include "host/data/variant_json.h"

namespace qts::host {

namespace {

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool IsNumberKind(int32_t kind) {
  switch (static_cast<Kind>(kind)) {
    case Kind::kMoney:
    case Kind::kQuantity:
    case Kind::kPrice:
    case Kind::kLongId:
    case Kind::kFloat:
    case Kind::kRowId:
      return true;
    default:
      return false;
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void WriteAtomically(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::path temp = path;
  temp += ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw Error(kErrFileAccess, "ReportEngine", "cannot write \"" + path.string() + "\"");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw Error(kErrFileAccess, "ReportEngine",
                "cannot write \"" + path.string() + "\": " + ec.message());
  }
}

constexpr std::string_view kStyle = R"(
body{font-family:"DejaVu Sans",Arial,sans-serif;font-size:10pt;margin:2em;color:#111}
h1{font-size:14pt;text-align:center;margin-bottom:1em}
table.header{margin-bottom:1.5em;border-collapse:collapse}
table.header th{text-align:left;font-weight:normal;color:#444;padding:2px 1em 2px 0}
table.header td{font-weight:bold;padding:2px 0}
table.data{border-collapse:collapse;width:100%;margin-bottom:1.5em}
table.data th,table.data td{border:1px solid #888;padding:3px 6px}
table.data th{background:#eee}
table.data td.num{text-align:right;white-space:nowrap}
table.data tr.total td{font-weight:bold;background:#f6f6f6}
p.printed{font-size:8pt;color:#555;text-align:right}
@media print{body{margin:0}}
)";

}  // namespace

ReportFormat ParseReportFormat(std::string_view text) {
  std::string lower = AsciiLower(text);
  if (lower == "html") return ReportFormat::kHtml;
  if (lower == "csv") return ReportFormat::kCsv;
  if (lower == "json") return ReportFormat::kJson;
  if (lower == "xlsx") return ReportFormat::kXlsx;
  throw Error(kErrInvalidCall, "ReportEngine",
              "unknown report format \"" + std::string(text) + "\" (html, csv, json, xlsx)");
}

std::string_view ReportFormatName(ReportFormat format) {
  switch (format) {
    case ReportFormat::kHtml:
      return "html";
    case ReportFormat::kCsv:
      return "csv";
    case ReportFormat::kJson:
      return "json";
    case ReportFormat::kXlsx:
      return "xlsx";
  }
  return "?";
}

std::string RenderHtml(const ReportDocument& doc) {
  std::string out;
  out += "<!DOCTYPE html>\n<html lang=\"lt\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<title>" + Escape(doc.title) + "</title>\n<style>" + std::string(kStyle) +
         "</style>\n</head>\n<body>\n";
  out += "<h1>" + Escape(doc.title) + "</h1>\n";
  if (!doc.values.empty()) {
    out += "<table class=\"header\">\n";
    for (const ReportHeaderValue& v : doc.values) {
      out += "<tr><th>" + Escape(v.caption) + ":</th><td>" + Escape(FormatValue(v.value, v.kind)) +
             "</td></tr>\n";
    }
    out += "</table>\n";
  }
  for (const ReportList& list : doc.lists) {
    out += "<table class=\"data\" data-list=\"" + Escape(list.name) + "\">\n<thead><tr>";
    for (const ReportColumn& c : list.columns) out += "<th>" + Escape(c.caption) + "</th>";
    out += "</tr></thead>\n<tbody>\n";
    for (const std::vector<Variant>& row : list.rows) {
      out += "<tr>";
      for (size_t i = 0; i < list.columns.size(); ++i) {
        const ReportColumn& c = list.columns[i];
        out += IsNumberKind(c.kind) ? "<td class=\"num\">" : "<td>";
        out += Escape(FormatValue(row[i], c.kind)) + "</td>";
      }
      out += "</tr>\n";
    }
    if (list.rows.empty()) {
      out += fmt::format("<tr><td colspan=\"{}\">Duomenų nėra</td></tr>\n",
                         std::max<size_t>(list.columns.size(), 1));
    }
    out += "</tbody>\n";
    bool any_total = false;
    for (const ReportColumn& c : list.columns) any_total = any_total || c.Totalled();
    if (any_total && !list.rows.empty()) {
      out += "<tfoot><tr class=\"total\">";
      for (size_t i = 0; i < list.columns.size(); ++i) {
        std::optional<Currency> total = list.Total(i);
        if (total) {
          out += "<td class=\"num\">" + Escape(FormatValue(Variant(*total), list.columns[i].kind)) +
                 "</td>";
        } else {
          out += i == 0 ? "<td>Iš viso</td>" : "<td></td>";
        }
      }
      out += "</tr></tfoot>\n";
    }
    out += "</table>\n";
  }
  out += "<p class=\"printed\">Atspausdinta " +
         Escape(FormatValue(Variant(doc.printed), Kind::kDate)) + "</p>\n</body>\n</html>\n";
  return out;
}

std::string RenderCsv(const ReportList& list) {
  std::string out;
  for (size_t i = 0; i < list.columns.size(); ++i) {
    out += (i ? "," : "") + CsvField(list.columns[i].name);
  }
  out += "\r\n";
  for (const std::vector<Variant>& row : list.rows) {
    for (size_t i = 0; i < list.columns.size(); ++i) {
      out += (i ? "," : "") + CsvField(FormatValue(row[i], list.columns[i].kind));
    }
    out += "\r\n";
  }
  return out;
}

nlohmann::ordered_json RenderJson(const ReportDocument& doc) {
  nlohmann::ordered_json out;
  out["report"] = doc.report_class;
  out["title"] = doc.title;
  out["printed"] = doc.printed.ToIso().substr(0, 10);
  nlohmann::ordered_json values = nlohmann::ordered_json::object();
  for (const ReportHeaderValue& v : doc.values) values[v.name] = ToJson(v.value);
  out["values"] = std::move(values);
  nlohmann::ordered_json lists = nlohmann::ordered_json::object();
  for (const ReportList& list : doc.lists) {
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (const ReportColumn& c : list.columns) {
      columns.push_back({{"name", c.name}, {"caption", c.caption}, {"kind", c.kind}});
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

std::vector<std::filesystem::path> WriteReport(const ReportDocument& doc, ReportFormat format,
                                               const std::filesystem::path& path) {
  std::vector<std::filesystem::path> written;
  switch (format) {
    case ReportFormat::kHtml:
      WriteAtomically(path, RenderHtml(doc));
      written.push_back(path);
      break;
    case ReportFormat::kJson:
      WriteAtomically(path, RenderJson(doc).dump(2) + "\n");
      written.push_back(path);
      break;
    case ReportFormat::kCsv: {
      if (doc.lists.empty()) {
        WriteAtomically(path, "");
        written.push_back(path);
        break;
      }
      for (size_t i = 0; i < doc.lists.size(); ++i) {
        std::filesystem::path target = path;
        if (i > 0) {
          target = path.parent_path() /
                   (path.stem().string() + "-" + doc.lists[i].name + path.extension().string());
        }
        WriteAtomically(target, RenderCsv(doc.lists[i]));
        written.push_back(target);
      }
      break;
    }
    case ReportFormat::kXlsx: {
      std::filesystem::path temp = path;
      temp += ".part";
      try {
        WriteXlsx(doc, temp);
      } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw;
      }
      std::error_code ec;
      std::filesystem::rename(temp, path, ec);
      if (ec) {
        std::filesystem::remove(temp, ec);
        throw Error(kErrFileAccess, "ReportEngine", "cannot write \"" + path.string() + "\"");
      }
      written.push_back(path);
      break;
    }
  }
  return written;
}

}  // namespace qts::host
