// qts dialog ...: a document opened in its dialog through the component's dispatcher
// (QTS_Inventory.HaldenUserDialogs, created by its programmatic identifier) and worked on as a
// person does: controls set, grid cells edited, rows deleted, buttons pressed, the document
// saved, posted and printed. The commands run in the order they are given; the first one the
// dialog refuses stops the run, and then nothing of the run is written.
#include <fmt/format.h>

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/operator_options.h"
#include "cli/output.h"
#include "core/convert.h"
#include "core/error.h"
#include "db/transaction.h"
#include "host/data/app_context.h"
#include "host/data/named_value_list.h"
#include "host/documents/th_document.h"
#include "host/interfaces.h"
#include "host/plugin/component_host.h"
#include "host/report/report_engine.h"
#include "host/ui/dialog_command.h"
#include "host/ui/dialog_form.h"
#include "host/ui/operator.h"
#include "host/ui/scripted_operator.h"
#include "host/ui/terminal_operator.h"

namespace qts::cli {
namespace {

constexpr const char* kSource = "qts dialog";
constexpr const char* kDialogsProgId = "QTS_Inventory.HaldenUserDialogs";

[[noreturn]] void Refuse(std::string description) {
  throw Error(kErrInvalidCall, kSource, std::move(description));
}

struct DialogOptions {
  std::string type;
  std::string book;
  int32_t doc = 0;
  bool is_new = false;
  std::vector<std::string> sets, cells, deletes, presses, prints, outputs;
  int saves = 0;
  bool post = false;
  bool bar_code = false;
  bool show = false;
  std::string library;
  OperatorOptions op;
};

// What the caller of a dialog hears: each write, as the document it wrote.
class WriteReceiver final : public Implements<host::IDialogEventSink> {
 public:
  explicit WriteReceiver(host::AppContextPtr book) : book_(std::move(book)) {}
  std::string_view ClassName() const override { return "WriteReceiver"; }
  void BeforeLoadHandling(host::NamedValueList&, Variant&, bool&) override {}
  void AfterLoadHandling(host::NamedValueList&, Variant&, Variant&) override {}
  void BeforeShow(Variant&, Variant&, bool&) override {}
  void AfterShow(Variant&) override {}
  void AfterWriteRecord(Variant& idc, Variant& inserted) override {
    host::THDocument doc(book_);
    const int32_t id = CLng(idc);
    if (!doc.Load(id)) return;
    const auto& f = doc.Fields();
    lines.push_back(fmt::format("{} {} {} (IDC {}), {}", CBool(inserted) ? "created" : "saved",
                                CStr(f.Item("DocTypeCode").Value()), CStr(f.Item("Number").Value()),
                                id, CLng(f.Item("IsPosted").Value()) ? "posted" : "not posted"));
    writes.push_back({{"IDC", id},
                      {"inserted", CBool(inserted)},
                      {"posted", CLng(f.Item("IsPosted").Value()) != 0}});
  }
  std::vector<std::string> lines;
  nlohmann::ordered_json writes = nlohmann::ordered_json::array();

 private:
  host::AppContextPtr book_;
};

// The commands in the order the options were given.
std::vector<host::DialogCommand> Commands(const CLI::App& cmd, const DialogOptions& o) {
  std::vector<host::DialogCommand> commands;
  size_t set = 0, cell = 0, del = 0, press = 0, print = 0;
  bool carry_set = false;
  for (const CLI::Option* option : cmd.parse_order()) {
    const std::string name = option->get_name();
    host::DialogCommand command;
    if (name == "--set") {
      command = host::ParseSetArgument(o.sets.at(set++));
    } else if (name == "--cell") {
      command = host::ParseCellArgument(o.cells.at(cell++));
    } else if (name == "--delete") {
      command.action = host::DialogAction::kDelete;
      command.target = o.deletes.at(del++);
    } else if (name == "--press") {
      const std::string& text = o.presses.at(press++);
      command.action = host::DialogAction::kPress;
      const size_t eq = text.find('=');
      command.target = text.substr(0, eq);
      if (eq != std::string::npos) command.value = text.substr(eq + 1);
      if (command.target.empty()) Refuse("--press \"" + text + "\" names no button");
    } else if (name == "--save") {
      if (o.post && !carry_set) {
        // Posting on saving is the form's own road: the document is written with "chCarry"
        // ticked, and the controller posts it.
        commands.push_back(host::ParseSetArgument("chCarry=1"));
        carry_set = true;
      }
      command.action = host::DialogAction::kSave;
    } else if (name == "--print") {
      command.action = host::DialogAction::kPrint;
      command.target = o.prints.at(print);
      command.value = o.outputs.at(print);
      command.bar_code = o.bar_code;
      ++print;
    } else {
      continue;
    }
    commands.push_back(std::move(command));
  }
  if (o.show) commands.push_back(host::ParseDialogCommand("show"));
  return commands;
}

void RunDialog(const CLI::App& cmd, const DialogOptions& o) {
  if (o.is_new == (o.doc != 0)) Refuse("give either --doc IDC or --new");
  if (o.post && o.saves == 0) Refuse("--post posts on saving: give --save as well");
  if (o.prints.size() != o.outputs.size()) {
    Refuse("each --print CLASS needs its own -o FILE (" + std::to_string(o.prints.size()) +
           " --print, " + std::to_string(o.outputs.size()) + " -o)");
  }
  const bool commands_given = !o.sets.empty() || !o.cells.empty() || !o.deletes.empty() ||
                              !o.presses.empty() || o.saves > 0 || !o.prints.empty();
  if (o.op.interactive && commands_given) {
    Refuse("with --interactive the commands are typed on the terminal, not given as options");
  }

  host::AppContextPtr book = host::AppContext::Open(o.book);
  auto app = std::make_shared<host::ReportApp>();
  app->SetCurrentBook(book);
  host::ScopedClientApplication scoped_app(app);

  std::shared_ptr<host::ScriptedOperator> scripted;
  std::shared_ptr<host::Operator> op;
  if (o.op.interactive) {
    op = host::TerminalOperator::ForStandardStreams();
  } else {
    op = MakeOperator(o.op, &scripted);
    // With --json standard output carries only the JSON: the drawn form goes to standard error.
    scripted->SetDialogOutput(JsonOutput() ? &std::cerr : &std::cout);
    scripted->AnswerDialog({Commands(cmd, o)});
    // A print form with a parameter form of its own (the declaration's year and preparer) is
    // confirmed as the document fills it in.
    for (size_t i = 0; i < o.prints.size(); ++i) scripted->AnswerForm({"", true, {}});
  }
  host::ScopedOperator scoped_operator(op);

  // A scripted run is all or nothing: what the dialog writes is committed only when every
  // command went through and no error was shown.
  std::unique_ptr<db::Transaction> run;
  if (!o.op.interactive) run = std::make_unique<db::Transaction>(book->Connection());

  host::ComponentHost component_host;
  const std::filesystem::path library =
      o.library.empty() ? host::DefaultComponentPath() : std::filesystem::path(o.library);
  auto dialogs = QueryInterface<host::IHaldenDialog>(
      host::CreateByProgId(component_host, kDialogsProgId, library));
  auto receiver = std::make_shared<WriteReceiver>(book);
  auto document = std::make_shared<host::DialogHost>(book, o.doc);
  dialogs->Init(document, receiver, Variant(o.type));
  auto failed = [&] { return scripted && !scripted->Errors().empty(); };
  if (!failed()) {
    Variant a, b, c;
    try {
      (void)dialogs->RunForm(a, b, c);
    } catch (const Error& e) {
      // A check of the form that said no is a refusal, not an error in what was given.
      if (e.Number() != host::kErrDialogRefused) throw;
      dialogs->UnloadForm();
      throw Refusal(e.Number(), e.Source(), e.Description() + ": nothing of this run was written");
    }
  }
  dialogs->UnloadForm();
  if (failed()) {
    // The number and source of the error the dialog showed, for programs that read --json.
    const auto& shown = scripted->Errors().back();
    throw Error(shown.number, shown.source.empty() ? kSource : shown.source,
                "the dialog showed an error (above): nothing of this run was written");
  }
  if (run) run->Commit();
  if (JsonOutput()) {
    nlohmann::ordered_json out;
    out["writes"] = receiver->writes;
    out["printed"] = nlohmann::ordered_json::array();
    for (size_t i = 0; i < o.prints.size(); ++i) {
      out["printed"].push_back({{"class", o.prints[i]}, {"output", o.outputs[i]}});
    }
    const int32_t idc =
        receiver->writes.empty() ? o.doc : receiver->writes.back()["IDC"].get<int32_t>();
    if (idc != 0) out["document"] = DocumentJson(book, idc);
    return PrintJson(out);
  }
  for (const std::string& line : receiver->lines) std::cout << line << "\n";
  for (size_t i = 0; i < o.prints.size(); ++i) {
    std::cout << "printed " << (o.prints[i].empty() ? "the act" : o.prints[i]) << " to "
              << o.outputs[i] << "\n";
  }
}

}  // namespace

void AddDialogCommands(CLI::App& app) {
  auto o = std::make_shared<DialogOptions>();
  auto* cmd = app.add_subcommand(
      "dialog",
      "open a document in its dialog (MMO item write-off, MFC finished-goods receipt, PACK "
      "packaging declaration) and work on it as a person does; the options run in the order given, "
      "and the first one the "
      "dialog refuses stops the run with nothing written");
  cmd->add_option("TYPE", o->type, "the document type: MMO, MFC or PACK")->required();
  cmd->add_option("--book", o->book, "the book file")->required();
  cmd->add_option("--doc", o->doc, "open the document of this IDC");
  cmd->add_flag("--new", o->is_new, "open a new document");
  cmd->add_option("--set", o->sets,
                  "set a control: CONTROL=VALUE (dates YYYY-MM-DD, numbers with '.' or ',', check "
                  "boxes 1/0, combos a code) (repeatable)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_option("--cell", o->cells,
                  "edit a grid cell: ROW:COLUMN=VALUE, ROW a position or new (the new line becomes "
                  "a row once it has GoodCode and Amount) (repeatable)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_option("--delete", o->deletes, "delete the grid row at this position (repeatable)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_option("--press", o->presses,
                  "press a button: BUTTON, or BUTTON=ITEM for the item of the menu it opens "
                  "(repeatable)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_flag("--save", o->saves, "write the document (the form's checks first) (repeatable)");
  cmd->add_flag("--post", o->post, "post the document when it is saved (ticks chCarry first)");
  cmd->add_option("--print", o->prints,
                  "print the document with this print form (CRepWriteOff, CRepWriteOffAR, "
                  "CRepWriteOffCalc; CRepMFC; CRepPACK) to the next -o FILE (repeatable)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_option("-o,--output", o->outputs,
                  "the file of a --print; its extension is the format: .html, .xlsx, .csv, .json")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_flag("--bar-code", o->bar_code, "print the document's bar code on the act");
  cmd->add_flag("--show", o->show, "draw the form at the end");
  AddJsonFlag(*cmd,
              "print JSON: each write (IDC, inserted, posted), the acts printed and the "
              "document as it then stands");
  cmd->add_option("--library", o->library,
                  "component library (default: $QTS_LIBRARY, else libqts_inventory.so beside the "
                  "host kit)");
  cmd->add_option("--answer", o->op.answers,
                  "the answer to a question the dialog asks: ok, cancel, yes, no, ..., optionally "
                  "after the message number and '=' (repeatable)")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_flag("--interactive", o->op.interactive,
                "work on the terminal: the form is drawn and the commands are typed (help lists "
                "them)");
  cmd->callback([o, cmd] { RunDialog(*cmd, *o); });
}

}  // namespace qts::cli
