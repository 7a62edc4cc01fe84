// CMaterialDlgBase: the companion that rearranges a write-off grid's price columns in
// national-price mode. As each column is announced (DocSpec::OnAddColumn):
//   "Price", "AlgebraicSum"  hidden on screen and on print;
//   "PriceNational"          shown, with the caption and place of "Price";
//   "CostSumm"               shown and totalled, with the caption and place of "AlgebraicSum";
// then, with the raise flag set, the column is passed on through its own OnAddColumn. Errors
// are shown to the person (ShowCurrentError).
#ifndef QTS_DIALOGS_MATERIAL_DLG_BASE_H_
#define QTS_DIALOGS_MATERIAL_DLG_BASE_H_

#include <memory>
#include <string_view>

#include "core/event.h"
#include "core/object.h"
#include "frame/component_object.h"

namespace qts::host {
class DocSpec;
class DocSpecColumn;
}  // namespace qts::host

namespace qts::dialogs {

class CMaterialDlgBase final : public frame::ComponentObject, public virtual Object {
 public:
  ~CMaterialDlgBase() override;
  std::string_view ClassName() const override { return "CMaterialDlgBase"; }

  // Listens to the grid's column announcements; `raise` passes each column on.
  void Init(const std::shared_ptr<host::DocSpec>& spec_list, bool raise);
  // Stops listening and drops the grid (also on destruction).
  void Terminate();

  Event<host::DocSpecColumn&> OnAddColumn;

 private:
  void m_SpecList_OnAddColumn(host::DocSpecColumn& column);

  std::shared_ptr<host::DocSpec> m_SpecList;
  bool raise_ = false;
  Connection add_column_;
};

}  // namespace qts::dialogs

#endif  // QTS_DIALOGS_MATERIAL_DLG_BASE_H_
