// CCreateCopyRS: copies the values of one named-value list into another (additional fields go
// by the "AddFld." prefix in row lists and without it in the separate additional-field lists),
// and makes a detached, editable copy of a recordset whose columns a listener may leave out
// (AddThisField) or extend (AddCustomColumns).
#ifndef QTS_FRAME_CREATE_COPY_RS_H_
#define QTS_FRAME_CREATE_COPY_RS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/dispatch.h"
#include "core/event.h"
#include "core/object.h"
#include "frame/component_object.h"
#include "host/fwd.h"

namespace qts::frame {

// The prefix of additional fields in row lists.
inline constexpr std::string_view kAddFldPrefix = "AddFld.";

// The class's default interface.
class ICreateCopyRS : public virtual Object {
 public:
  static constexpr Guid kIid = MakeGuid("884BA9A6-D995-4CFB-A9BB-2B7AD4740CCF");
  static constexpr std::string_view kName = "_CCreateCopyRS";

  virtual void MergeFieldsVal(host::NamedValueListPtr& Source, host::NamedValueListPtr& SourceAdd,
                              host::NamedValueListPtr& Target) = 0;
  virtual void SplitFieldsVal(host::NamedValueListPtr& Source, host::NamedValueListPtr& Target,
                              host::NamedValueListPtr& TargetAdd) = 0;
  virtual host::RecordsetPtr CreateCopyRS(host::RecordsetPtr& oSourceRS,
                                          bool withFilter = false) = 0;
};

class CCreateCopyRS final : public ComponentObject, public Implements<ICreateCopyRS, IDispatch> {
 public:
  // Attributes of the copied columns: updatable and nullable.
  static constexpr int32_t kCopyAttributes = 36;

  CCreateCopyRS();
  ~CCreateCopyRS() override;
  std::string_view ClassName() const override { return "CCreateCopyRS"; }

  // Raised once per copy, after the source's columns were appended and before the copy is
  // opened, with the copy (a listener may append columns, or put another recordset in its
  // place). Columns added here stay empty in the copied rows.
  Event<host::RecordsetPtr&> AddCustomColumns;
  // Raised for each source column in field order with bAdd True; a listener that sets it to
  // False leaves the column (and its values) out of the copy.
  Event<bool&, const std::string&> AddThisField;

  // For each entry of Source that Target has (same name), Target's value := Source's; for each
  // entry of SourceAdd, the Target entry "AddFld.<name>" (when present) takes its value.
  // Error 424 naming the list when one of them is null.
  void MergeFieldsVal(host::NamedValueListPtr& Source, host::NamedValueListPtr& SourceAdd,
                      host::NamedValueListPtr& Target) override;
  // The reverse: an entry "AddFld.<name>" of Source goes to TargetAdd's "<name>" (the prefix
  // compared case-sensitively), any other to Target's entry of the same name. Every target
  // entry must exist: a missing one raises error 9 naming it, and then no value is written.
  // Error 424 naming the list when one of them is null.
  void SplitFieldsVal(host::NamedValueListPtr& Source, host::NamedValueListPtr& Target,
                      host::NamedValueListPtr& TargetAdd) override;
  // A new open recordset with the columns of oSourceRS (same name, type and defined size,
  // attributes 36) that AddThisField lets through, then those AddCustomColumns appends, and a
  // row for each record of the source: all of them, or with `withFilter` those the source's
  // filter shows. Only the columns copied from the source are filled. The copy is positioned
  // on its first record. Null for a null source. Recordset errors (a closed source, a copy
  // with no column at all) propagate, and the previous copy stays the current one.
  host::RecordsetPtr CreateCopyRS(host::RecordsetPtr& oSourceRS, bool withFilter = false) override;

  // The last copy, the clone it was made from, and how many of its columns came from the
  // source.
  const host::RecordsetPtr& Copy() const { return m_Copy; }
  const host::RecordsetPtr& Source() const { return m_Source; }
  int32_t FieldCount() const { return m_FieldCount; }

  Variant Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) override;
  bool HasMember(std::string_view name) const override { return table_.HasMember(name); }

 private:
  host::RecordsetPtr m_Source;
  host::RecordsetPtr m_Copy;
  int32_t m_FieldCount = 0;
  DispatchTable table_;
  // Where each source entry of the last split went (target list 0 or 1, position), kept while
  // the three lists keep their layouts: a step that splits one row per record finds the
  // names once.
  struct SplitMap {
    uint64_t source = 0, target = 0, target_add = 0;
    std::vector<std::pair<int, size_t>> to;
  } split_map_;
};

}  // namespace qts::frame

#endif  // QTS_FRAME_CREATE_COPY_RS_H_
