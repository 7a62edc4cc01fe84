#include "reports/report_frame.h"

#include <exception>
#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "frame/module_functions.h"
#include "host/data/recordset.h"
#include "host/services/error_reporter.h"

namespace qts::reports {

using host::Kind;

namespace {

// The error of the exception being handled, with the report's number when it asks for one.
Error RenumberedError(const std::exception_ptr& exception, ErrorNumbering numbering) {
  host::ErrorInfo info = host::ErrorInfo::From(exception);
  int32_t number = numbering == ErrorNumbering::kReportRun ? kErrComponent : info.number;
  return Error(number, info.source, info.description);
}

template <class T>
std::shared_ptr<T> ListArg(const Variant& value, std::string_view what) {
  if (value.IsNothing() || value.IsEmpty()) return nullptr;
  if (!value.IsObject()) {
    throw Error(kErrTypeMismatch, "IReportExec::Run", std::string(what) + " is not a list");
  }
  auto typed = std::dynamic_pointer_cast<T>(value.AsObject());
  if (!typed) {
    throw Error(kErrTypeMismatch, "IReportExec::Run", std::string(what) + " is not a list");
  }
  return typed;
}

}  // namespace

ReportBase::ReportBase(PropertyKeeping keeping, ErrorNumbering numbering)
    : keeping_(keeping), numbering_(numbering), busy_(std::make_shared<host::BusyCursor>()) {
  using K = InvokeKind;
  table_
      .Add("Run", K::kMethod,
           [this](std::vector<Variant>& a) {
             if (a.size() < 2) {
               throw Error(kErrInvalidCall, "IReportExec::Run", "Run takes Params and Values");
             }
             auto params = ListArg<host::NamedValueList>(a[0], "Params");
             auto values = ListArg<host::NamedValueList>(a[1], "Values");
             bool printed = Run(params, values);
             a[0] = Variant(std::static_pointer_cast<Object>(params));
             a[1] = Variant(std::static_pointer_cast<Object>(values));
             return Variant(printed);
           })
      .Add("Visual", K::kPropertyGet, [this](std::vector<Variant>&) { return Variant(Visual()); })
      .Add("Visual", K::kPropertyPut,
           [this](std::vector<Variant>& a) {
             SetVisual(CBool(ArgOr(a, a.empty() ? 0 : a.size() - 1, Variant(false))));
             return Variant();
           })
      .Add("AlterFormCode", K::kPropertyGet,
           [this](std::vector<Variant>&) { return Variant(AlterFormCode()); })
      .Add("AlterFormCode", K::kPropertyPut, [this](std::vector<Variant>& a) {
        SetAlterFormCode(a.empty() ? std::string() : CStr(a.back()));
        return Variant();
      });
}

ReportBase::~ReportBase() = default;

bool ReportBase::Run(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  std::exception_ptr failure;
  try {
    if (!Values) Values = std::make_shared<host::NamedValueList>();
    return Execute(Params, Values);
  } catch (...) {
    failure = std::current_exception();
  }
  // The handler: release what the report holds, show the error, print nothing. The error is
  // raised again inside a handler so that the common error path sees it as the current one,
  // with the number this class gives it.
  busy_.reset();
  Error shown = RenumberedError(failure, numbering_);
  try {
    throw shown;
  } catch (const Error&) {
    frame::ShowCurrentError();
  }
  return false;
}

bool ReportBase::Visual() {
  switch (keeping_) {
    case PropertyKeeping::kKept:
      return visual_;
    case PropertyKeeping::kVisualText:
      return CBool(Variant(visual_text_));
    case PropertyKeeping::kIgnored:
      break;
  }
  return false;
}

void ReportBase::SetVisual(bool value) {
  if (keeping_ == PropertyKeeping::kKept) visual_ = value;
  if (keeping_ == PropertyKeeping::kVisualText) visual_text_ = value ? "True" : "False";
}

std::string ReportBase::AlterFormCode() {
  return keeping_ == PropertyKeeping::kIgnored ? std::string() : alter_form_code_;
}

void ReportBase::SetAlterFormCode(const std::string& value) {
  if (keeping_ != PropertyKeeping::kIgnored) alter_form_code_ = value;
}

Variant ReportBase::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

bool ReportBase::HasMember(std::string_view name) const { return table_.HasMember(name); }

host::AppContextPtr ReportBase::ResolveBook(host::NamedValueListPtr& params) {
  return frame::GetBook(params, false);
}

bool FormReport::Execute(host::NamedValueListPtr& Params, host::NamedValueListPtr& Values) {
  for (const InputValue& input : Inputs()) Values->Add(input.name, input.kind);
  host::AppContextPtr book = ResolveBook(Params);
  if (!RunForm(book, Values)) return false;
  host::QueryPtr query = BuildQuery(book, *Values);
  host::RecordsetPtr rows = query->OpenRecordset();
  Values->Add("DataList", Kind::kObject, Variant(std::static_pointer_cast<Object>(rows)));
  AdjustEcho(*Values);
  return true;
}

}  // namespace qts::reports
