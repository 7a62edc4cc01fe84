// The host's busy indicator: held by an operation for as long as it works (a dialog handler
// while it exchanges data, a button while it prices rows). The process is busy while at least
// one indicator lives; indicators may nest, and the last one released ends the busy state.
#ifndef QTS_HOST_UI_BUSY_INDICATOR_H_
#define QTS_HOST_UI_BUSY_INDICATOR_H_

#include <string_view>

#include "core/object.h"

namespace qts::host {

class BusyIndicator : public virtual Object {
 public:
  BusyIndicator() noexcept;
  ~BusyIndicator() override;
  std::string_view ClassName() const override { return "BusyIndicator"; }

  // Ends this indicator's part before it is destroyed; a second call does nothing.
  void Release() noexcept;

  // Whether any indicator is held, and how many.
  static bool IsBusy() noexcept { return Depth() > 0; }
  static int Depth() noexcept;

 private:
  bool held_ = true;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_BUSY_INDICATOR_H_
