#include "host/report/report_runner.h"

#include <nlohmann/json.hpp>

#include "core/error.h"
#include "core/guid.h"
#include "core/text.h"
#include "host/data/app_context.h"
#include "host/interfaces.h"

namespace qts::host {

namespace {

constexpr std::string_view kLibraryPrefix = "QTS_Inventory.";

nlohmann::json TypeLibraryOf(ComponentHost& host, const std::filesystem::path& library) {
  return nlohmann::json::parse(host.Load(library)->TypeLibrary());
}

bool IsReportClass(const nlohmann::json& cls) {
  if (!cls.value("creatable", false) || !cls.value("available", false)) return false;
  for (const auto& name : cls.value("implements", nlohmann::json::array())) {
    if (name.is_string() && name.get<std::string>() == IReportExec::kName) return true;
  }
  return false;
}

}  // namespace

std::string ReportProgId(std::string_view name) {
  if (name.find('.') != std::string_view::npos) return std::string(name);
  return std::string(kLibraryPrefix) + std::string(name);
}

ObjectPtr CreateReport(ComponentHost& host, std::string_view name,
                       const std::filesystem::path& library) {
  const std::string progid = ReportProgId(name);
  ObjectPtr object;
  try {
    object = CreateByProgId(host, progid, library);
  } catch (const Error& error) {
    // The engine names what it could not find as a report.
    if (error.Number() != kErrCannotCreate) throw;
    std::string description = error.Description();
    const std::string needle = "no class";
    if (description.rfind(needle, 0) == 0)
      description = "no report" + description.substr(needle.size());
    throw Error(kErrCannotCreate, "ReportEngine", description);
  }
  if (!TryQueryInterface<IReportExec>(object)) {
    throw Error(kErrNoInterface, "ReportEngine", "\"" + progid + "\" is not a report");
  }
  return object;
}

std::vector<std::string> ReportClasses(ComponentHost& host, const std::filesystem::path& library) {
  std::vector<std::string> names;
  nlohmann::json lib = TypeLibraryOf(host, library);
  for (const auto& cls : lib["classes"]) {
    if (IsReportClass(cls)) names.push_back(cls.value("name", ""));
  }
  return names;
}

ReportRun RunReport(const ObjectPtr& report, const AppContextPtr& book,
                    const NamedValueListPtr& extra) {
  std::shared_ptr<IReportExec> exec = QueryInterface<IReportExec>(report);
  ReportRun run;
  run.report_class = std::string(report->ClassName());
  run.params = std::make_shared<NamedValueList>();
  run.params->Add("Book", Kind::kNone, Variant(std::static_pointer_cast<Object>(book)));
  if (extra) {
    for (const NamedValuePtr& entry : extra->Entries()) {
      if (!EqualsIgnoreCase(entry->Name(), "Book")) run.params->Append(entry);
    }
  }
  run.values = std::make_shared<NamedValueList>();
  run.printed = exec->Run(run.params, run.values);
  return run;
}

}  // namespace qts::host
