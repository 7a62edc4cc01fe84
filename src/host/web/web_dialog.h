// A document dialog worked on from a browser. Between two requests nothing of the dialog is
// held open on the book: the changes the person made since the last save are kept as the
// commands that made them (with the answers given to their questions), and every action opens
// the document's dialog through the component's dispatcher, runs those commands again and then
// the new one, all in one transaction of the book. The transaction is committed only when the
// action wrote the document (a save, or a print that saved first); otherwise it is rolled
// back, so a person who walks away from the page leaves the book as it was, and other people
// write to the book between this person's actions.
#ifndef QTS_HOST_WEB_WEB_DIALOG_H_
#define QTS_HOST_WEB_WEB_DIALOG_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "host/fwd.h"
#include "host/plugin/component_host.h"
#include "host/ui/dialog_command.h"
#include "host/ui/dialog_session.h"
#include "host/web/web_operator.h"

namespace qts::host {

// What an action runs with: the session's book, the component and where the page's progress
// goes. The caller holds the server's work lock.
struct WebContext {
  AppContextPtr book;
  ComponentHost* component_host = nullptr;
  std::filesystem::path library;
  std::shared_ptr<WebProgress> progress;
};

// How an action ended.
enum class WebOutcome {
  kDone,      // the command went through (and was written when it saved)
  kRefused,   // the dialog refused it or showed an error; nothing of it was kept
  kQuestion,  // it waits for the person's answer to `question`
};

struct WebActionResult {
  WebOutcome outcome = WebOutcome::kDone;
  nlohmann::ordered_json view;  // the dialog as it stands now
  std::vector<MessageRequest> notices;
  std::vector<ScriptedOperator::ShownError> errors;
  std::optional<WebQuestion> question;
  bool written = false;            // the book holds the document as the dialog now shows it
  std::vector<std::string> goods;  // what a goods look-up found
};

// The dialog as JSON for the page: form, caption, status, fields (name, caption, kind, text,
// value, enabled, visible, layout), grid (columns, rows with their positions, totals, current
// row, read-only and why) and the print forms. Drawn from the same DialogView the terminal
// draws.
nlohmann::ordered_json DialogViewJson(const DialogView& view);

// The person's answer to the question an action waits for.
struct WebAnswer {
  std::string message;  // "yes", "cancel", ... for a message box
  std::string item;     // the item chosen in a menu ("" closes it without a choice)
  bool confirm = true;  // for a form
  std::vector<std::pair<std::string, std::string>> values;  // a form's filling, as typed
};

class WebDialog {
 public:
  // `idc` 0 opens a new document of `type`.
  WebDialog(std::string type, int32_t idc);

  const std::string& Type() const { return type_; }
  int32_t Idc() const { return idc_; }
  // Commands since the last save: what the page holds that the book does not.
  size_t UnsavedCommands() const { return steps_.size(); }
  bool WaitsForAnswer() const { return pending_.has_value(); }

  // The dialog as it stands (the unsaved commands run again).
  WebActionResult Show(const WebContext& context);
  // Runs `command` (never kShow, kHelp, kFind or kClose: the page asks for those otherwise).
  // A command given while an earlier one waits for its answer drops the earlier one.
  WebActionResult Act(const WebContext& context, DialogCommand command);
  // Answers the question the pending command waits for and runs it again. Error kErrOperator
  // when no command waits.
  WebActionResult Answer(const WebContext& context, const WebAnswer& answer);
  // The goods the grid's look-up offers for `text`.
  WebActionResult FindGoods(const WebContext& context, const std::string& text);

 private:
  struct Step {
    DialogCommand command;
    WebAnswers answers;
  };
  WebActionResult Run(const WebContext& context, const Step* step,
                      const std::function<void(DialogSession&, WebActionResult&)>& probe);

  std::string type_;
  int32_t idc_;
  std::vector<Step> steps_;
  std::optional<Step> pending_;
  std::optional<WebQuestion> question_;
};

}  // namespace qts::host

#endif  // QTS_HOST_WEB_WEB_DIALOG_H_
