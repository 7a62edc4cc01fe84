// The popup menus of the document forms:
//   - UtilMenu, the utility menu on a button: it offers the business operations of the
//     document type and raises SetBOper with the code the person chose;
//   - GoodPropertyMenu, the lot menu of the grid's current row, done through the document
//     handler's lot handler (ITHDoc.LotByDoc).
// Both ask the person through the current operator (Operator::ChooseMenu).
#ifndef QTS_HOST_UI_DIALOG_MENUS_H_
#define QTS_HOST_UI_DIALOG_MENUS_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/event.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"
#include "host/interfaces.h"
#include "host/ui/form_model.h"
#include "host/ui/operator.h"

namespace qts::host {

class DocSpec;
class SystemDialog;

// The lot actions of GoodPropertyMenu, as the menu's item keys.
inline constexpr std::string_view kMenuFormLots = "FormLots";
inline constexpr std::string_view kMenuShowLot = "ShowLot";
inline constexpr std::string_view kMenuClearLot = "ClearLot";

class UtilMenu final : public virtual Object {
 public:
  explicit UtilMenu(const std::shared_ptr<SystemDialog>& dialog);
  std::string_view ClassName() const override { return "UtilMenu"; }

  // Puts the menu on button `button` of the dialog's form; `params` must hold "DocTypeCode".
  // `extra` is the host's and kept as given. Error 438 when the form has no such button, 5
  // without "DocTypeCode".
  void Init(std::string_view button, const NamedValueListPtr& params,
            const std::vector<Variant>& extra);
  // The menu as it would be shown now: the type's business operations by code.
  [[nodiscard]] MenuRequest Menu() const;
  void Terminate() { click_.Disconnect(); }

  // The operation code the person chose.
  Event<const std::string&> SetBOper;

 private:
  void Popup();

  std::weak_ptr<SystemDialog> dialog_;
  std::string button_;
  std::string doc_type_;
  Connection click_;
};

class GoodPropertyMenu final : public virtual Object {
 public:
  std::string_view ClassName() const override { return "GoodPropertyMenu"; }

  // Binds the menu to the dialog's form, the document handler and the grid (called again
  // before every popup).
  void Init(const std::shared_ptr<SystemDialog>& dialog, const std::shared_ptr<ITHDoc>& doc,
            const std::shared_ptr<DocSpec>& spec);
  // The items of the handler's menu kind (ITHDoc.MenuForGoodProperty): material documents
  // (6) form lots for the rows, show and clear the current row's lot; other kinds only show.
  [[nodiscard]] MenuRequest Menu(std::string_view owner) const;
  // Opens the menu at `button` and does what the person chose.
  void PopupAt(const Control& button);

 private:
  std::weak_ptr<SystemDialog> dialog_;
  std::shared_ptr<ITHDoc> doc_;
  std::weak_ptr<DocSpec> spec_;
};

}  // namespace qts::host

#endif  // QTS_HOST_UI_DIALOG_MENUS_H_
