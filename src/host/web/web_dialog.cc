#include "host/web/web_dialog.h"

#include <sstream>
#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "core/error_numbers.h"
#include "core/text.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/documents/th_document.h"
#include "host/interfaces.h"
#include "host/report/print_forms.h"
#include "host/report/report_engine.h"
#include "host/ui/dialog_form.h"

namespace qts::host {

namespace {

constexpr const char* kSource = "qts serve";
constexpr const char* kDialogsProgId = "QTS_Inventory.HaldenUserDialogs";

std::string_view KindName(ControlType type) {
  switch (type) {
    case ControlType::kLabel:
      return "label";
    case ControlType::kFrame:
      return "frame";
    case ControlType::kButton:
      return "button";
    case ControlType::kTextBox:
      return "text";
    case ControlType::kNumberBox:
      return "number";
    case ControlType::kDatePicker:
      return "date";
    case ControlType::kCheckBox:
      return "check";
    case ControlType::kCombo:
      return "combo";
    case ControlType::kSelector:
      return "selector";
    case ControlType::kGrid:
      return "grid";
    case ControlType::kTabs:
      return "tabs";
  }
  return "text";
}

// The IDC of the document the dialog wrote last.
class WriteSink final : public Implements<IDialogEventSink> {
 public:
  std::string_view ClassName() const override { return "WebWriteSink"; }
  void BeforeLoadHandling(NamedValueList&, Variant&, bool&) override {}
  void AfterLoadHandling(NamedValueList&, Variant&, Variant&) override {}
  void BeforeShow(Variant&, Variant&, bool&) override {}
  void AfterShow(Variant&) override {}
  void AfterWriteRecord(Variant& idc, Variant&) override { written = CLng(idc); }
  int32_t written = 0;
};

// The commands that write the document: a save, the dialog's own OK and Apply buttons, and a
// print (which saves unsaved changes first).
bool Writes(const DialogCommand& command) {
  if (command.action == DialogAction::kPress) {
    return EqualsIgnoreCase(command.target, "btApply") || EqualsIgnoreCase(command.target, "btOk");
  }
  return command.action == DialogAction::kSave || command.action == DialogAction::kPrint;
}

}  // namespace

nlohmann::ordered_json DialogViewJson(const DialogView& view) {
  nlohmann::ordered_json out;
  out["form"] = view.form;
  out["caption"] = view.caption;
  out["status"] = view.status;
  nlohmann::ordered_json fields = nlohmann::ordered_json::array();
  for (const DialogField& field : view.fields) {
    fields.push_back({{"name", field.name},
                      {"caption", field.caption},
                      {"kind", KindName(field.type)},
                      {"text", field.text},
                      {"value", field.value},
                      {"enabled", field.enabled},
                      {"visible", field.visible},
                      {"layout", static_cast<int32_t>(field.layout)}});
  }
  out["fields"] = std::move(fields);
  if (view.grid) {
    const DialogGrid& grid = *view.grid;
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (const DialogGridColumn& column : grid.columns) {
      columns.push_back({{"key", column.key},
                         {"caption", column.caption},
                         {"numeric", column.numeric},
                         {"editable", column.editable}});
    }
    out["grid"] = {{"name", grid.name},          {"columns", std::move(columns)},
                   {"rows", grid.rows},          {"positions", grid.positions},
                   {"totals", grid.totals},      {"currentRow", grid.current_row},
                   {"readOnly", grid.read_only}, {"readOnlyReason", grid.read_only_reason}};
  } else {
    out["grid"] = nullptr;
  }
  // The print forms by the captions the print menu shows, with the report class to ask for.
  nlohmann::ordered_json print_forms = nlohmann::ordered_json::array();
  for (const std::string& report_class : view.print_forms) {
    const PrintForm* form = FindPrintForm(report_class);
    print_forms.push_back(
        {{"class", report_class}, {"caption", form ? form->caption : report_class}});
  }
  out["printForms"] = std::move(print_forms);
  return out;
}

WebDialog::WebDialog(std::string type, int32_t idc) : type_(std::move(type)), idc_(idc) {}

WebActionResult WebDialog::Show(const WebContext& context) {
  return Run(context, nullptr, nullptr);
}

WebActionResult WebDialog::Act(const WebContext& context, DialogCommand command) {
  switch (command.action) {
    case DialogAction::kShow:
    case DialogAction::kHelp:
    case DialogAction::kFind:
    case DialogAction::kClose:
      throw Error(kErrInvalidCall, kSource,
                  "the page does not send \"" + command.Describe() + "\"");
    default:
      break;
  }
  pending_.reset();
  question_.reset();
  Step step{std::move(command), {}};
  return Run(context, &step, nullptr);
}

WebActionResult WebDialog::Answer(const WebContext& context, const WebAnswer& answer) {
  if (!pending_ || !question_) {
    throw Error(kErrOperator, kSource, "no action of this dialog waits for an answer");
  }
  Step step = *pending_;
  switch (question_->kind) {
    case WebQuestion::Kind::kMessage: {
      std::optional<MessageAnswer> parsed = ParseAnswer(answer.message);
      if (!parsed) throw Error(kErrOperator, kSource, "\"" + answer.message + "\" is no answer");
      step.answers.messages.push_back({question_->message.number, *parsed});
      break;
    }
    case WebQuestion::Kind::kMenu:
      if (answer.item.empty()) {
        // The menu closed without a choice: the button does nothing.
        pending_.reset();
        question_.reset();
        return Run(context, nullptr, nullptr);
      }
      step.answers.menus.push_back(answer.item);
      break;
    case WebQuestion::Kind::kForm: {
      ScriptedForm form;
      form.form = question_->form.name;
      form.confirm = answer.confirm;
      for (const auto& [name, value] : answer.values)
        form.values.emplace_back(name, Variant(value));
      step.answers.forms.push_back(std::move(form));
      break;
    }
  }
  pending_.reset();
  question_.reset();
  return Run(context, &step, nullptr);
}

WebActionResult WebDialog::FindGoods(const WebContext& context, const std::string& text) {
  return Run(context, nullptr, [&text](DialogSession& dialog, WebActionResult& result) {
    result.goods = dialog.FindGoods(text);
  });
}

WebActionResult WebDialog::Run(const WebContext& context, const Step* step,
                               const std::function<void(DialogSession&, WebActionResult&)>& probe) {
  WebActionResult result;
  auto op = std::make_shared<WebOperator>(context.progress);
  for (const Step& done : steps_) op->Queue(done.answers);
  if (step) op->Queue(step->answers);

  ScopedOperator scoped_operator(op);
  auto app = std::make_shared<ReportApp>();
  app->SetCurrentBook(context.book);
  ScopedClientApplication scoped_app(app);

  db::Transaction run(context.book->Connection());
  auto sink = std::make_shared<WriteSink>();
  auto dialogs = QueryInterface<IHaldenDialog>(
      CreateByProgId(*context.component_host, kDialogsProgId, context.library));
  dialogs->Init(std::make_shared<DialogHost>(context.book, idc_), sink, Variant(type_));

  bool replayed = true;
  bool step_done = false;
  op->SetDialogRunner([&](DialogSession& dialog) {
    op->SetLive(false);
    std::ostringstream ignored;
    for (const Step& done : steps_) {
      const size_t errors = op->Errors().size();
      bool ok = false;
      try {
        ok = RunDialogCommand(dialog, done.command, ignored);
      } catch (const Error&) {
        ok = false;
      }
      if (!ok || op->Errors().size() != errors || op->Pending()) {
        replayed = false;
        return;
      }
    }
    op->SetLive(true);
    if (step) {
      try {
        step_done = RunDialogCommand(dialog, step->command, ignored);
      } catch (const Error& error) {
        if (!op->Pending()) op->ShowError(error);
        step_done = false;
      }
      if (op->Pending() || !op->Errors().empty()) step_done = false;
    }
    if (op->Pending()) return;
    if (probe) probe(dialog, result);
    result.view = DialogViewJson(dialog.View());
  });
  if (op->Errors().empty()) {
    Variant a, b, c;
    (void)dialogs->RunForm(a, b, c);
  }
  dialogs->UnloadForm();
  dialogs.reset();

  if (!replayed) {
    // The book changed under the unsaved commands (another person wrote the document or what
    // it reads): they no longer do what they did, so they are dropped.
    steps_.clear();
    WebActionResult fresh = Run(context, nullptr, nullptr);
    fresh.outcome = WebOutcome::kRefused;
    fresh.errors.insert(fresh.errors.begin(),
                        {kErrOperator, kSource,
                         "the document changed in the book since your unsaved changes; they were "
                         "dropped and the document is shown as the book holds it"});
    return fresh;
  }
  result.notices = op->Notices();
  result.errors = op->Errors();
  if (op->Pending() && !step) {
    // Only a person's command may ask: a dialog that asks while it opens cannot be shown.
    result.outcome = WebOutcome::kRefused;
    result.errors.push_back({kErrOperator, kSource, "the dialog asked a question while opening"});
  } else if (op->Pending()) {
    result.outcome = WebOutcome::kQuestion;
    result.question = op->Pending();
    pending_ = *step;
    question_ = op->Pending();
  } else if (step && step_done) {
    if (Writes(step->command)) {
      run.Commit();
      if (sink->written != 0) idc_ = sink->written;
      steps_.clear();
      result.written = true;
    } else {
      steps_.push_back(*step);
    }
  } else if (step) {
    result.outcome = WebOutcome::kRefused;
  }
  if (result.view.is_null() && step) {
    // The action stopped at a question (or before the form was shown): the page shows the
    // dialog as it was before the command.
    WebActionResult before = Run(context, nullptr, nullptr);
    before.outcome = result.outcome;
    before.question = result.question;
    before.notices.insert(before.notices.begin(), result.notices.begin(), result.notices.end());
    before.errors.insert(before.errors.begin(), result.errors.begin(), result.errors.end());
    return before;
  }
  return result;
}

}  // namespace qts::host
