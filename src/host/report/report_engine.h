// The host's report engine as plug-ins reach it: its client application (the running host
// program) holds the current book and the main window, and ShowError displays the error being
// handled to the operator.
#ifndef QTS_HOST_REPORT_REPORT_ENGINE_H_
#define QTS_HOST_REPORT_REPORT_ENGINE_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/object.h"
#include "host/fwd.h"
#include "host/ui/user_settings.h"

namespace qts::host {

// The host program's main window. "hwnd" is its window handle, which wait windows and dialogs
// take as their owner.
class MainForm : public virtual Object {
 public:
  explicit MainForm(int32_t hwnd) : hwnd_(hwnd) {}
  std::string_view ClassName() const override { return "MainForm"; }
  int32_t hwnd() const { return hwnd_; }

 private:
  int32_t hwnd_;
};

// The report engine's client application ("App"): the book reports run on when they are not
// given one, and the main window, which a program without windows (the command line) does not
// have.
class ReportApp : public virtual Object {
 public:
  std::string_view ClassName() const override { return "App"; }

  const AppContextPtr& CurrentBook() const { return current_book_; }
  void SetCurrentBook(AppContextPtr book) { current_book_ = std::move(book); }
  // Null when the program has no main window.
  const std::shared_ptr<host::MainForm>& MainForm() const { return main_form_; }
  void SetMainForm(std::shared_ptr<host::MainForm> form) { main_form_ = std::move(form); }

 private:
  AppContextPtr current_book_;
  std::shared_ptr<host::MainForm> main_form_;
};

// The client application of this process. A process starts with one that has no book and no
// main window; a host that runs without a client application sets null.
std::shared_ptr<ReportApp> ClientApplication();
// Makes `app` the client application and returns the previous one.
std::shared_ptr<ReportApp> SetClientApplication(std::shared_ptr<ReportApp> app);

// Sets the client application for a scope and restores the previous one at its end.
class ScopedClientApplication {
 public:
  explicit ScopedClientApplication(std::shared_ptr<ReportApp> app)
      : previous_(SetClientApplication(std::move(app))) {}
  ScopedClientApplication(const ScopedClientApplication&) = delete;
  ScopedClientApplication& operator=(const ScopedClientApplication&) = delete;
  ~ScopedClientApplication() { SetClientApplication(std::move(previous_)); }

 private:
  std::shared_ptr<ReportApp> previous_;
};

class ReportEngine : public virtual Object {
 public:
  std::string_view ClassName() const override { return "ReportEngine"; }

  // The process's client application at the time of the call; null when there is none.
  std::shared_ptr<ReportApp> App() const { return ClientApplication(); }

  // Shows the current error to the operator. Called inside a catch block it first records the
  // exception being handled as the current error (CurrentError::Capture); otherwise it shows
  // the error recorded last. Shows nothing when no error is current. The record is kept: the
  // same error may be shown again.
  void ShowError() const;

  // The last choices of parameter forms of the current user.
  std::shared_ptr<host::UserSettings> UserSettings() const {
    return std::make_shared<host::UserSettings>();
  }
};

}  // namespace qts::host

#endif  // QTS_HOST_REPORT_REPORT_ENGINE_H_
