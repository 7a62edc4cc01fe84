// EnterpriseInfo: a unit of the enterprise structure as the printed forms name it — at first
// the own enterprise, then, after LoadUnit, one of its departments ("REFDepartment") or stores
// ("STStore").
//
// The enterprise itself is described by the book's settings: "EnterpriseName", "PlantCode"
// (the company code), "VatCode", "DirectorCode" (a person code), "Address", "Phone", "Fax",
// "Email". Departments and stores belong to that one enterprise: loading one changes only
// UnitCode and UnitName; the company code, VAT code, director and contacts stay the
// enterprise's.
//
// What a load leaves:
//   - Init, or LoadUnit(""): the own enterprise (UnitCode the book code, UnitName
//     "EnterpriseName").
//   - LoadUnit of a department code: that department (a department wins over a store of the
//     same code); of a store code: that store.
//   - LoadUnit of a code the book does not hold: UnitCode that code, UnitName empty, and
//     LoadUnit returns False.
#ifndef QTS_HOST_SERVICES_ENTERPRISE_INFO_H_
#define QTS_HOST_SERVICES_ENTERPRISE_INFO_H_

#include <memory>
#include <string>
#include <string_view>

#include "core/object.h"
#include "host/fwd.h"
#include "host/services/person_info.h"

namespace qts::host {

// The enterprise's contacts, read from the settings when asked for.
class EnterpriseContacts : public virtual Object {
 public:
  EnterpriseContacts(std::string address, std::string phone, std::string fax, std::string email)
      : address_(std::move(address)),
        phone_(std::move(phone)),
        fax_(std::move(fax)),
        email_(std::move(email)) {}
  std::string_view ClassName() const override { return "EnterpriseContacts"; }

  const std::string& AddressText() const { return address_; }
  const std::string& Phone() const { return phone_; }
  const std::string& Fax() const { return fax_; }
  const std::string& Email() const { return email_; }

 private:
  std::string address_, phone_, fax_, email_;
};

class EnterpriseInfo : public virtual Object {
 public:
  // What UnitCode/UnitName currently describe.
  enum class UnitKind { kNone, kEnterprise, kDepartment, kStore };

  std::string_view ClassName() const override { return "EnterpriseInfo"; }

  // Binds the object to a book and loads the own enterprise. Error 5 (source
  // "EnterpriseInfo") for a null or closed book.
  void Init(AppContextPtr app);
  // Loads a department or store (see above). Error 5 before Init.
  bool LoadUnit(std::string_view code);

  UnitKind Kind() const { return kind_; }
  const std::string& UnitCode() const { return unit_code_; }
  const std::string& UnitName() const { return unit_name_; }
  // The enterprise's company code, VAT payer code and the director's person code.
  std::string PlantCode() const;
  std::string VatCode() const;
  std::string DirectorCode() const;
  // A fresh contacts object (the settings as they are now).
  [[nodiscard]] std::shared_ptr<EnterpriseContacts> Contacts() const;
  // The director as a loaded PersonInfo (FullName, Position, ...); all texts empty when the
  // book names no director or one its person catalogue lacks.
  [[nodiscard]] PersonInfoPtr Director() const;

 private:
  std::string Setting(std::string_view name) const;
  void CheckInit() const;

  AppContextPtr app_;
  UnitKind kind_ = UnitKind::kNone;
  std::string unit_code_;
  std::string unit_name_;
};

using EnterpriseInfoPtr = std::shared_ptr<EnterpriseInfo>;

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_ENTERPRISE_INFO_H_
