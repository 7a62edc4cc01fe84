#include "cli/output.h"

#include <fmt/format.h>

#include <iostream>
#include <optional>
#include <string>

#include "host/data/query.h"
#include "host/data/variant_json.h"
#include "host/documents/th_document.h"

namespace qts::cli {

namespace {

bool json_output = false;

}  // namespace

std::string ExitStatusHelp() {
  return "Exit status:\n"
         "  0   done\n"
         "  1   an error: bad input, something the book does not hold, a failure (nothing is\n"
         "      left half-written)\n"
         "  2   refused by a check of the system or of a dialog's form, or cancelled (a\n"
         "      question answered cancel, a report's form closed): nothing written\n"
         "  64  the command line is wrong: an unknown option or a missing argument\n";
}

void AddJsonFlag(CLI::App& command, const std::string& what) {
  command.add_flag("--json", json_output,
                   what + "; an error as {\"error\": {number, source, description}, \"status\"}");
}

bool JsonOutput() { return json_output; }

// Texts that are not UTF-8 (a file name or an argument as typed) are written with U+FFFD in
// place of their bad bytes rather than stopping the output.
void PrintJson(const nlohmann::ordered_json& value) {
  std::cout << value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

nlohmann::ordered_json ErrorJson(const Error& error, ExitStatus status) {
  nlohmann::ordered_json out;
  out["error"]["number"] = error.Number();
  out["error"]["source"] = error.Source();
  out["error"]["description"] = error.Description();
  out["status"] = static_cast<int>(status);
  return out;
}

nlohmann::ordered_json ListJson(const host::NamedValueList& list) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for (const host::NamedValuePtr& v : list.Entries()) out[v->Name()] = host::ToJson(v->Value());
  return out;
}

nlohmann::ordered_json RowsJson(host::Recordset& rows) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  if (rows.RecordCount() == 0) return out;
  const size_t columns = rows.Fields().Count();
  for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
    nlohmann::ordered_json row = nlohmann::ordered_json::object();
    for (size_t c = 0; c < columns; ++c)
      row[rows.Fields().Item(c).Name()] = host::ToJson(rows.Value(c));
    out.push_back(std::move(row));
  }
  return out;
}

host::RecordsetPtr DocumentRows(const host::AppContextPtr& book, int32_t idc) {
  host::QueryPtr q = book->CreateQuery("THGoodSpec");
  q->AddWhere("oTable.DocID = " + std::to_string(idc));
  q->OrderBy("oTable.PosNumb, oTable.IDC");
  q->Open();
  return q->OpenRecordset();
}

nlohmann::ordered_json DocumentJson(const host::AppContextPtr& book, int32_t idc) {
  auto doc = std::make_shared<host::THDocument>(book);
  if (!doc->Load(idc)) {
    throw Error(kErrInvalidCall, "qts doc", fmt::format("the book has no document {}", idc));
  }
  nlohmann::ordered_json out;
  out["fields"] = ListJson(doc->Fields());
  out["addFields"] = ListJson(doc->AddFields());
  out["rows"] = RowsJson(*DocumentRows(book, idc));
  return out;
}

nlohmann::ordered_json LinksJson(const host::AppContextPtr& book, int32_t idc) {
  host::QueryPtr q = book->CreateQuery("THGoodSpecFixLog");
  q->AddWhere("oTable.OutcomeSpecID IN (SELECT s.IDC FROM THGoodSpec s WHERE s.DocID = " +
              std::to_string(idc) + ")");
  q->OrderBy("oTable.IDC");
  q->Open();
  return RowsJson(*q->OpenRecordset());
}

Currency ParseDecimalOption(std::string_view source, std::string_view what,
                            const std::string& text) {
  const auto refuse = [&](std::string_view why) {
    throw Error(kErrInvalidCall, std::string(source), fmt::format("{} \"{}\" {}", what, text, why));
  };
  std::string normal = text;
  int separators = 0;
  for (char& c : normal) {
    if (c == ',' || c == '.') {
      c = '.';
      ++separators;
    }
  }
  if (separators > 1) refuse("is not a number (one decimal point or comma)");
  std::optional<Currency> value;
  try {
    value = Currency::Parse(normal);
  } catch (const Error& e) {
    if (e.Number() != kErrOverflow) throw;
    refuse("is out of range (at most 922337203685477.5807 either way)");
  }
  if (!value) refuse("is not a number");
  return *value;
}

}  // namespace qts::cli
