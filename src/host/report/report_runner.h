// The report engine's run of one report: create the report class by programmatic identifier
// through the component library, call IReportExec.Run with the parameters ("Book" and any
// others) and a fresh value list, and hand back whether it printed and what it filled.
#ifndef QTS_HOST_REPORT_REPORT_RUNNER_H_
#define QTS_HOST_REPORT_REPORT_RUNNER_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "host/data/named_value_list.h"
#include "host/fwd.h"
#include "host/plugin/component_host.h"

namespace qts::host {

struct ReportRun {
  std::string report_class;  // "CRepStoreRestByTerm"
  bool printed = false;      // what Run returned
  NamedValueListPtr params;
  NamedValueListPtr values;
};

// "CRepStoreRestByTerm" -> "QTS_Inventory.CRepStoreRestByTerm"; a name with a dot is a
// programmatic identifier already.
std::string ReportProgId(std::string_view name);

// Creates the report: through the registry when it knows the identifier, otherwise from the
// library at `library` (its type library names the class). Raises 429 naming the identifier
// when neither has it, 430 when the object is not a report (IReportExec).
ObjectPtr CreateReport(ComponentHost& host, std::string_view name,
                       const std::filesystem::path& library);

// The report classes the library at `library` offers (public, creatable, implementing
// IReportExec and part of the build), in catalogue order.
std::vector<std::string> ReportClasses(ComponentHost& host, const std::filesystem::path& library);

// Runs `report` on `book`: Params holds "Book" (the book) and then the entries of `extra`
// (may be null); Values starts empty. Errors that escape Run propagate.
ReportRun RunReport(const ObjectPtr& report, const AppContextPtr& book,
                    const NamedValueListPtr& extra = nullptr);

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_REPORT_RUNNER_H_
