#include "host/report/report_engine.h"

#include <mutex>
#include <utility>

#include "host/services/error_reporter.h"

namespace qts::host {

namespace {

std::mutex& AppMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<ReportApp>& AppSlot() {
  static std::shared_ptr<ReportApp> app = std::make_shared<ReportApp>();
  return app;
}

}  // namespace

std::shared_ptr<ReportApp> ClientApplication() {
  std::lock_guard<std::mutex> lock(AppMutex());
  return AppSlot();
}

std::shared_ptr<ReportApp> SetClientApplication(std::shared_ptr<ReportApp> app) {
  std::lock_guard<std::mutex> lock(AppMutex());
  return std::exchange(AppSlot(), std::move(app));
}

void ReportEngine::ShowError() const {
  CurrentError::Capture();
  ShowErrorInfo(CurrentError::Get());
}

}  // namespace qts::host
