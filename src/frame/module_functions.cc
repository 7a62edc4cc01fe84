#include "frame/module_functions.h"

#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "core/operators.h"
#include "core/text.h"
#include "frame/define_module.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/recordset.h"
#include "host/report/report_engine.h"
#include "host/services/error_reporter.h"
#include "host/services/message_table.h"
#include "host/ui/wait_info.h"

namespace qts::frame {

namespace {

constexpr const char* kModule = "DefineModule";

host::MessageTable& Messages() {
  EnsureStarted();
  return *GetGlobals().MessageTable;
}

// The value of a "Book" entry: a book, or null for Nothing.
host::AppContextPtr BookOf(const Variant& value) {
  if (value.IsNothing()) return nullptr;
  if (value.IsObject()) {
    if (auto book = std::dynamic_pointer_cast<host::AppContext>(value.AsObject())) return book;
  }
  throw Error(kErrTypeMismatch, std::string(kModule) + "::GetBook",
              "the parameter \"Book\" does not hold a book");
}

}  // namespace

std::shared_ptr<host::ReportEngine> SharedReportEngine() {
  static const std::shared_ptr<host::ReportEngine> engine = std::make_shared<host::ReportEngine>();
  return engine;
}

host::AppContextPtr GetBook(host::NamedValueListPtr& params, bool SetCurrent) {
  host::AppContextPtr book;
  if (params && params->ExistsField("Book")) book = BookOf(params->Item("Book").Value());
  std::shared_ptr<host::ReportApp> app = SharedReportEngine()->App();
  if (!book || book->BookName().empty()) book = app ? app->CurrentBook() : nullptr;
  if (!book) {
    throw Error(kErrNoBook, std::string(kModule) + "::GetBook",
                FormatMsg(Messages().GetText(kMsgNoBook), {Variant("")}));
  }
  if (SetCurrent && app && !app->CurrentBook()) app->SetCurrentBook(book);
  return book;
}

std::string FormatMsg(std::string_view text, const std::vector<Variant>& args) {
  if (text.empty()) return "";
  std::string result(text);
  for (size_t i = args.size(); i-- > 0;) {
    result = Replace(result, "%" + std::to_string(i), CStr(args[i]));
  }
  return result;
}

std::string JoinNonEmpty(std::string_view Sep1, std::string_view A, std::string_view B,
                         std::string_view Sep2, std::string_view C) {
  std::string r;
  if (B.empty()) {
    r = A;
  } else if (!A.empty()) {
    r = std::string(A) + std::string(Sep1) + " " + std::string(B);
  } else {
    r = B;
  }
  if (!C.empty()) r = r.empty() ? std::string(C) : r + std::string(Sep2) + " " + std::string(C);
  return r;
}

Currency RecordsetAggregate(const host::RecordsetPtr& rs, std::string_view field, int32_t Kind,
                            std::string_view Filter) {
  if (!rs) {
    throw Error(kErrObjectRequired, std::string(kModule) + "::RecordsetAggregate",
                "no recordset to aggregate");
  }
  host::RecordsetPtr clone = rs->Clone();
  if (Filter.empty() || Filter == "0") {
    clone->SetFilter(Variant(int32_t{0}));
  } else {
    clone->SetFilter(Variant(Filter));
  }
  if (Kind == kAggCount) return Currency::FromLong(clone->RecordCount());

  Currency total;
  if (clone->RecordCount() > 0) clone->MoveFirst();
  for (; !clone->Eof(); clone->MoveNext()) {
    switch (Kind) {
      case kAggSum:
        total += CCur(clone->Value(field));
        break;
      case kAggMin:
      case kAggMax: {
        const Variant& value = clone->Value(field);
        const bool first = CDbl(clone->Bookmark()) == 1.0;
        const Variant beyond =
            Kind == kAggMin ? Gt(Variant(total), value) : Lt(Variant(total), value);
        if (first || IsTrue(beyond)) total = CCur(value);
        break;
      }
      default:
        break;
    }
  }
  return total;
}

std::shared_ptr<host::Query> WrapQuery(const std::shared_ptr<host::Query>& source,
                                       std::string_view alias, const Variant& extra,
                                       host::AppContextPtr& book, bool CopyTexts) {
  if (!book) {
    std::shared_ptr<host::ReportApp> app = SharedReportEngine()->App();
    book = app ? app->CurrentBook() : nullptr;
  }
  if (!book) {
    throw Error(kErrObjectRequired, std::string(kModule) + "::WrapQuery",
                "no book to create the query in");
  }
  if (!source) {
    throw Error(kErrObjectRequired, std::string(kModule) + "::WrapQuery", "no query to wrap");
  }
  std::shared_ptr<host::Query> wrapped = book->CreateQuery("");
  wrapped->FromQuery(source, alias, extra);
  if (CopyTexts) {
    for (const host::NamedValuePtr& column : source->Fields().Entries()) {
      wrapped->Fields().Item(column->Name()).SetDisplayText(column->DisplayText());
    }
  }
  return wrapped;
}

void OpenWithWait(const std::shared_ptr<host::Query>& query, int32_t& hwnd) {
  std::shared_ptr<host::WaitInfo> wait;
  try {
    std::shared_ptr<host::ReportApp> app = SharedReportEngine()->App();
    if (app) {
      if (app->MainForm() && hwnd < 0) hwnd = app->MainForm()->hwnd();
      wait = std::make_shared<host::WaitInfo>();
      wait->Show(Messages().GetText(kMsgWaitText), hwnd);
    }
    if (!query) {
      throw Error(kErrObjectRequired, std::string(kModule) + "::OpenWithWait", "no query to open");
    }
    query->Open();
    wait.reset();
  } catch (...) {
    auto reporter = std::make_shared<host::ErrorReporter>();
    reporter->Capture();
    wait.reset();
    reporter->Report();
  }
}

void ShowCurrentError() {
  auto engine = std::make_shared<host::ReportEngine>();
  engine->ShowError();
}

}  // namespace qts::frame
