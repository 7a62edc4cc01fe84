// Interfaces the host defines and plug-ins implement. Members are declared in the host's slot
// order; the identifiers are the host's and never change.
#ifndef QTS_HOST_INTERFACES_H_
#define QTS_HOST_INTERFACES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/currency.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"

namespace qts::host {

class ILotByTHDoc;

// A document type's handler as the host's document machinery sees it.
class ITHDoc : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("F2E7C48E-6A94-4C7E-B4D9-4F474701DDC5");
  static constexpr std::string_view kName = "ITHDoc";

  virtual bool RecalcSpecVal(Variant& first, Variant& second) = 0;
  // Recalculates a row's dependent columns after `ChangeFld` changed; returns the changed ones.
  virtual NamedValueListPtr CalcSpecColumns(const NamedValueListPtr& oColumns,
                                            const std::string& ChangeFld,
                                            const NamedValueListPtr& oParms) = 0;
  virtual std::vector<std::string> CalcSpecColList() = 0;
  virtual THDocumentPtr Doc() = 0;
  virtual void Init(const THDocumentPtr& doc) = 0;
  // Writes one row into the document's specification; returns the written row's "IDC".
  virtual int32_t InsertSpecRec(const NamedValueListPtr& row) = 0;
  virtual bool UpdateAmount(int32_t PosNumb, Currency NewAmount) = 0;
  virtual THGoodSpecPtr GoodSpec() = 0;
  virtual std::shared_ptr<ILotByTHDoc> LotByDoc() = 0;
  virtual void SetDefaultBoper(const std::string& value) = 0;
  virtual std::string DefaultBoper() = 0;
  virtual int32_t ArticleCode(Variant& first, Variant& second) = 0;
  virtual int32_t MenuForGoodProperty() = 0;
};

// Lots of a document's rows.
class ILotByTHDoc : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("E57EC01B-960D-4F8D-A408-E92922C15268");
  static constexpr std::string_view kName = "ILotByTHDoc";

  virtual void Init(const std::shared_ptr<ITHDoc>& doc) = 0;
  virtual bool IsUseLotOnStock() = 0;
  virtual void FormDocumentSpec(const ObjectPtr& spec) = 0;
  virtual void SetCurrentPosNumb(int32_t value) = 0;
  virtual void WriteAllLotProperty(Variant& argument) = 0;
  virtual void WriteLotProperty(Variant& first, Variant& second) = 0;
  virtual Variant ReadLotProperty(Variant& argument) = 0;
  virtual void SerNumbEdit(Variant& argument) = 0;
  virtual void ItemAccesoryEdit(Variant& a, Variant& b, Variant& c, Variant& d) = 0;
};

// A report the host's report engine runs: `Run` receives the parameters and the values list
// the report fills, and returns whether the report produced its data.
class IReportExec : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("72315F76-02E4-401A-B237-A513A6FF0F19");
  static constexpr std::string_view kName = "IReportExec";

  virtual bool Run(NamedValueListPtr& Params, NamedValueListPtr& Values) = 0;
  virtual bool Visual() = 0;
  virtual void SetVisual(bool value) = 0;
  virtual std::string AlterFormCode() = 0;
  virtual void SetAlterFormCode(const std::string& value) = 0;
};

// A plug-in dialog the host opens for a document type. Init opens it for the host object (the
// document) and the caller's event receiver; the other members are the open dialog's.
class IHaldenDialog : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("DD2C2AAD-A055-4A5A-80ED-C73E3B1775DF");
  static constexpr std::string_view kName = "IHaldenDialog";

  virtual void Init(const ObjectPtr& HostObject, const ObjectPtr& Callback,
                    const Variant& vntParm) = 0;
  virtual void UnloadForm() = 0;
  virtual bool RunForm(Variant& a, Variant& b, Variant& c) = 0;
  virtual void Move(Variant& Left, Variant& Top, Variant& Width, Variant& Height) = 0;
  virtual bool InsertMode() = 0;
  virtual bool Visible() = 0;
  virtual bool DataChanged() = 0;
  virtual NamedValueListPtr UserParams() = 0;
  virtual void SetUserParams(const NamedValueListPtr& value) = 0;
  virtual bool EnableControl(const Variant& Key) = 0;
  virtual void SetEnableControl(const Variant& Key, bool value) = 0;
  virtual bool UnloadFormOnClose() = 0;
  virtual void SetUnloadFormOnClose(bool value) = 0;
  virtual bool UpdateListAfterClose() = 0;
  virtual void SetUpdateListAfterClose(bool value) = 0;
  virtual int32_t CopyObjectID() = 0;
  virtual void SetCopyObjectID(int32_t value) = 0;
};

// A long operation the host's step runner drives: it asks CountStep and Caption, then calls
// Step once per step while it shows progress.
class IProcessObject : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("B3BAB7F0-E96A-4ED0-9B52-30EA4F97ACB9");
  static constexpr std::string_view kName = "IProcessObject";

  virtual void Step() = 0;
  virtual std::string Caption() = 0;
  virtual int32_t CountStep() = 0;
};

}  // namespace qts::host

#endif  // QTS_HOST_INTERFACES_H_
