#include "frame/create_copy_rs.h"

#include <utility>

#include "core/convert.h"
#include "core/error.h"
#include "frame/catalogue.h"
#include "host/data/named_value_list.h"
#include "host/data/recordset.h"

namespace qts::frame {

namespace {

constexpr const char* kClass = "CCreateCopyRS";

void RequireList(const host::NamedValueListPtr& list, std::string_view member,
                 std::string_view name) {
  if (!list) {
    throw Error(kErrObjectRequired, std::string(kClass) + "::" + std::string(member),
                "Object required: the list " + std::string(name) + " is Nothing");
  }
}

void RequireArgs(const std::vector<Variant>& args, size_t count, std::string_view member) {
  if (args.size() < count) {
    throw Error(kErrInvalidCall, std::string(kClass) + "::" + std::string(member),
                "argument not optional: " + std::string(member) + " takes " +
                    std::to_string(count) + " argument(s)");
  }
}

// A late-bound object argument: Nothing gives null; anything but a T is a type mismatch.
template <class T>
std::shared_ptr<T> ObjectArg(const Variant& v) {
  if (v.IsNothing()) return nullptr;
  if (!v.IsObject()) throw Error(kErrTypeMismatch);
  auto typed = std::dynamic_pointer_cast<T>(v.AsObject());
  if (!typed) throw Error(kErrTypeMismatch);
  return typed;
}

// Runs a member taking three lists by reference and writes them back to the arguments.
template <class Member>
Variant ThreeLists(std::vector<Variant>& a, std::string_view name, Member member) {
  RequireArgs(a, 3, name);
  auto first = ObjectArg<host::NamedValueList>(a[0]);
  auto second = ObjectArg<host::NamedValueList>(a[1]);
  auto third = ObjectArg<host::NamedValueList>(a[2]);
  member(first, second, third);
  a[0] = Variant(std::static_pointer_cast<Object>(first));
  a[1] = Variant(std::static_pointer_cast<Object>(second));
  a[2] = Variant(std::static_pointer_cast<Object>(third));
  return Variant();
}

}  // namespace

CCreateCopyRS::CCreateCopyRS() {
  using K = InvokeKind;
  table_
      .Add("MergeFieldsVal", K::kMethod,
           [this](std::vector<Variant>& a) {
             return ThreeLists(a, "MergeFieldsVal",
                               [this](auto& s, auto& sa, auto& t) { MergeFieldsVal(s, sa, t); });
           })
      .Add("SplitFieldsVal", K::kMethod,
           [this](std::vector<Variant>& a) {
             return ThreeLists(a, "SplitFieldsVal",
                               [this](auto& s, auto& t, auto& ta) { SplitFieldsVal(s, t, ta); });
           })
      .Add("CreateCopyRS", K::kMethod, [this](std::vector<Variant>& a) {
        RequireArgs(a, 1, "CreateCopyRS");
        host::RecordsetPtr source = ObjectArg<host::Recordset>(a[0]);
        bool with_filter = CBool(ArgOr(a, 1, Variant(false)));
        host::RecordsetPtr copy = CreateCopyRS(source, with_filter);
        a[0] = Variant(std::static_pointer_cast<Object>(source));
        return Variant(std::static_pointer_cast<Object>(copy));
      });
}

CCreateCopyRS::~CCreateCopyRS() = default;

Variant CCreateCopyRS::Invoke(std::string_view name, InvokeKind kind, std::vector<Variant>& args) {
  return table_.Invoke(ClassName(), name, kind, args);
}

void CCreateCopyRS::MergeFieldsVal(host::NamedValueListPtr& Source,
                                   host::NamedValueListPtr& SourceAdd,
                                   host::NamedValueListPtr& Target) {
  RequireList(Source, "MergeFieldsVal", "Source");
  RequireList(SourceAdd, "MergeFieldsVal", "SourceAdd");
  RequireList(Target, "MergeFieldsVal", "Target");
  for (const host::NamedValuePtr& entry : Source->Entries()) {
    if (host::NamedValue* target = Target->Find(entry->Name())) target->SetValue(entry->Value());
  }
  for (const host::NamedValuePtr& entry : SourceAdd->Entries()) {
    if (host::NamedValue* target = Target->Find(std::string(kAddFldPrefix) + entry->Name())) {
      target->SetValue(entry->Value());
    }
  }
}

void CCreateCopyRS::SplitFieldsVal(host::NamedValueListPtr& Source, host::NamedValueListPtr& Target,
                                   host::NamedValueListPtr& TargetAdd) {
  RequireList(Source, "SplitFieldsVal", "Source");
  RequireList(Target, "SplitFieldsVal", "Target");
  RequireList(TargetAdd, "SplitFieldsVal", "TargetAdd");
  SplitMap& map = split_map_;
  if (map.source != Source->Layout() || map.target != Target->Layout() ||
      map.target_add != TargetAdd->Layout() || map.source == 0) {
    // Every target is found before any value is written, so a missing entry changes nothing.
    std::vector<std::pair<int, size_t>> to;
    to.reserve(Source->Count());
    auto position = [](const host::NamedValueList& list, const host::NamedValue& entry) {
      const auto& entries = list.Entries();
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].get() == &entry) return i;
      }
      return entries.size();
    };
    for (const host::NamedValuePtr& entry : Source->Entries()) {
      const std::string& name = entry->Name();
      if (name.starts_with(kAddFldPrefix)) {
        const host::NamedValue& target =
            TargetAdd->Item(std::string_view(name).substr(kAddFldPrefix.size()));
        to.emplace_back(1, position(*TargetAdd, target));
      } else {
        to.emplace_back(0, position(*Target, Target->Item(name)));
      }
    }
    map = {Source->Layout(), Target->Layout(), TargetAdd->Layout(), std::move(to)};
  }
  const auto& sources = Source->Entries();
  const auto& targets = Target->Entries();
  const auto& targets_add = TargetAdd->Entries();
  for (size_t i = 0; i < sources.size(); ++i) {
    const auto& [list, at] = map.to[i];
    (list == 0 ? targets : targets_add)[at]->SetValue(sources[i]->Value());
  }
}

host::RecordsetPtr CCreateCopyRS::CreateCopyRS(host::RecordsetPtr& oSourceRS, bool withFilter) {
  if (!oSourceRS) return nullptr;

  // Built aside and kept only when complete: a failure leaves the previous copy in place.
  host::RecordsetPtr source = oSourceRS->Clone();
  if (withFilter) source->SetFilter(oSourceRS->Filter());
  if (source->RecordCount() > 0) source->MoveFirst();

  auto copy = std::make_shared<host::Recordset>();
  int32_t field_count = 0;
  const host::FieldCollection& fields = source->Fields();
  for (size_t i = 0; i < fields.Count(); ++i) {
    host::Field field = fields.Item(i);
    bool bAdd = true;
    AddThisField.Raise(bAdd, field.Name());
    if (!bAdd) continue;
    copy->Fields().Append(field.Name(), field.Type(), field.DefinedSize(), kCopyAttributes,
                          field.Kind());
    ++field_count;
  }
  AddCustomColumns.Raise(copy);
  if (!copy) {
    throw Error(kErrObjectRequired, std::string(kClass) + "::CreateCopyRS",
                "AddCustomColumns left no recordset to copy into");
  }
  copy->Open();

  if (source->RecordCount() > 0) {
    // Resolved once: the source column behind each copied column.
    std::vector<size_t> from(static_cast<size_t>(field_count));
    for (size_t c = 0; c < from.size(); ++c) {
      from[c] = source->Fields().Item(copy->Fields().Item(c).Name()).Index();
    }
    for (; !source->Eof(); source->MoveNext()) {
      copy->AddNew();
      for (size_t c = 0; c < from.size(); ++c) copy->SetValue(c, source->Value(from[c]));
      copy->Update();
    }
  }
  if (copy->RecordCount() > 0) copy->MoveFirst();

  m_Source = std::move(source);
  m_Copy = std::move(copy);
  m_FieldCount = field_count;
  return m_Copy;
}

namespace {
const ClassRegistrar kCCreateCopyRS("CCreateCopyRS", [] {
  return std::static_pointer_cast<Object>(std::make_shared<CCreateCopyRS>());
});
}  // namespace

}  // namespace qts::frame
