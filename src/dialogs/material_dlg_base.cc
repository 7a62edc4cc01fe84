#include "dialogs/material_dlg_base.h"

#include "frame/module_functions.h"
#include "host/ui/doc_spec.h"

namespace qts::dialogs {

CMaterialDlgBase::~CMaterialDlgBase() { Terminate(); }

void CMaterialDlgBase::Init(const std::shared_ptr<host::DocSpec>& spec_list, bool raise) {
  add_column_.Disconnect();
  m_SpecList = spec_list;
  raise_ = raise;
  if (m_SpecList) {
    add_column_ = m_SpecList->OnAddColumn.Connect(
        [this](host::DocSpecColumn& column) { m_SpecList_OnAddColumn(column); });
  }
}

void CMaterialDlgBase::Terminate() {
  add_column_.Disconnect();
  m_SpecList.reset();
}

void CMaterialDlgBase::m_SpecList_OnAddColumn(host::DocSpecColumn& column) {
  try {
    const std::string& key = column.Key();
    auto take_place_of = [&](std::string_view other) {
      host::DocSpecColumn* model = m_SpecList->Column(other);
      if (!model) return;
      column.SetCaption(model->Caption());
      column.SetOrder(model->Order());
    };
    if (key == "Price" || key == "AlgebraicSum") {
      column.SetColVisible(false);
      column.SetColPrintVisible(false);
    } else if (key == "PriceNational") {
      column.SetColVisible(true);
      column.SetColPrintVisible(true);
      take_place_of("Price");
    } else if (key == "CostSumm") {
      column.SetColVisible(true);
      column.SetColPrintVisible(true);
      take_place_of("AlgebraicSum");
      column.SetColTotals(true);
    }
    if (raise_) OnAddColumn.Raise(column);
  } catch (...) {
    frame::ShowCurrentError();
  }
}

}  // namespace qts::dialogs
