#include "engine/doc_engine.h"

#include <cctype>
#include <string>
#include <vector>

#include "core/convert.h"
#include "core/error.h"
#include "frame/create_copy_rs.h"
#include "host/data/app_context.h"
#include "host/data/common_tools.h"
#include "host/data/named_value_list.h"
#include "host/data/query.h"
#include "host/data/sql_tools.h"
#include "host/documents/th_document.h"
#include "host/documents/th_good_spec.h"
#include "host/interfaces.h"
#include "host/report/report_engine.h"
#include "host/services/doc_spec_service.h"
#include "host/services/document_service.h"
#include "host/services/good_entry.h"

namespace qts::engine {

using host::Kind;

namespace {

constexpr std::string_view kSource = "CMDocSupport";

// A field name goes into join conditions as it is, so it must be a plain identifier.
void CheckFieldName(std::string_view name, std::string_view member) {
  bool ok = !name.empty() && (std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_');
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') ok = false;
  }
  if (!ok) {
    throw Error(kErrInvalidCall, std::string(kSource) + "::" + std::string(member),
                "field name \"" + std::string(name) + "\" is not a plain identifier");
  }
}

// A host object of `book` made by its class name, as the type the engine needs.
template <class T>
std::shared_ptr<T> CreateHostObject(host::AppContext& book, std::string_view class_name) {
  auto typed = std::dynamic_pointer_cast<T>(book.CreateObject(class_name));
  if (!typed) {
    throw Error(kErrTypeMismatch, std::string(kSource),
                "the book made no " + std::string(class_name) + " object");
  }
  return typed;
}

}  // namespace

CMDocSupport::CMDocSupport() = default;

// Released in the order the host expects: the specification service first (it refers to the
// handler), then the document and the objects around it.
CMDocSupport::~CMDocSupport() {
  m_THDocSpec.reset();
  m_Doc.reset();
  m_DocSpec.reset();
  m_Good.reset();
  m_ParentDoc.reset();
  m_ParentSpec.reset();
  m_ParamList.reset();
}

host::AppContextPtr CMDocSupport::GetAppContext() const {
  if (m_Doc) return m_Doc->Application();
  if (!m_App) {
    std::shared_ptr<host::ReportApp> app = host::ClientApplication();
    return app ? app->CurrentBook() : nullptr;
  }
  return m_App;
}

host::AppContextPtr CMDocSupport::RequireBook() const {
  host::AppContextPtr book = GetAppContext();
  if (!book) {
    throw Error(kErrObjectRequired, std::string(kSource),
                "no book: the engine has no document and the host has no current book");
  }
  return book;
}

host::THDocument& CMDocSupport::RequireDoc() const {
  if (!m_Doc) {
    throw Error(kErrObjectRequired, std::string(kSource), "m_Doc == Nothing: Init was not called");
  }
  return *m_Doc;
}

void CMDocSupport::SetBook(const ObjectPtr& /*ignored*/) { m_App = GetAppContext(); }

void CMDocSupport::Init(std::string_view DocTypeCode, const std::shared_ptr<host::ITHDoc>& Handler,
                        const host::THDocumentPtr& Doc) {
  // The new document is made first, so that a type the book does not know leaves the engine
  // serving what it served before.
  host::THDocumentPtr doc = Doc;
  if (!doc) {
    doc = CreateHostObject<host::THDocument>(*RequireBook(), "THDocument");
    doc->Fields().Item("DocTypeCode").SetValue(Variant(std::string(DocTypeCode)));
    doc->InitNew();
  }
  m_DocTypeCode = std::string(DocTypeCode);
  m_Doc = std::move(doc);
  m_THDoc = Handler;
}

int32_t CMDocSupport::CheckDocExist(int32_t OrderId, int32_t ArticleId,
                                    std::string_view FieldName) {
  CheckFieldName(FieldName, "CheckDocExist");
  host::AppContextPtr book = RequireBook();
  std::shared_ptr<host::Query> q = book->CreateQuery("THDocument");
  std::shared_ptr<host::Query> a = book->CreateQuery(m_DocTypeCode + "THDocument");
  q->AddWhere(host::SqlTools::Instance()->Condition(q->Fields().Item("ParentID"), host::kOpEqual,
                                                    Variant(OrderId)));
  q->Fields().KeepOnly({});
  q->Fields().AddColumn("IDC", Kind::kLongId, "oTable.IDC");
  a->Fields().KeepOnly({});
  q->InnerJoin(a, "atr",
               "oTable.IDC = atr.DocID and atr." + std::string(FieldName) + " = " +
                   std::to_string(ArticleId));
  q->Open();
  if (q->RecordCount() < 1) return 0;
  q->MoveFirst();
  return CLng(q->Fields().Item("IDC").Value());
}

int32_t CMDocSupport::CheckDocExist2(int32_t OrderId) {
  if (OrderId == 0) return 0;
  host::THDocument& doc = RequireDoc();
  const std::string condition =
      "ParentID = " + std::to_string(OrderId) + " AND DocTypeCode = " +
      host::SqlTools::Instance()->SqlValue(Variant(m_DocTypeCode), Kind::kText);
  if (!doc.FindWhere(condition)) return 0;
  return CLng(doc.Fields().Item("IDC").Value());
}

bool CMDocSupport::CrDocByOrder(int32_t OrderId, int32_t ArticleId, std::string_view FieldName,
                                Date DocDate) {
  host::THDocument& doc = RequireDoc();
  doc.BeginInsert();
  InitFldBeforeInsert(OrderId, ArticleId, FieldName, DocDate);
  doc.EndInsert();
  return true;
}

void CMDocSupport::InitFldBeforeInsert(int32_t OrderId, int32_t ArticleId,
                                       std::string_view FieldName, Date DocDate) {
  host::THDocument& doc = RequireDoc();
  if (DocDate == Date()) DocDate = Date::Today();
  host::NamedValueList& fields = doc.Fields();
  fields.Item("DocumentDate").SetValue(Variant(DocDate));
  fields.Item("Number").SetValue(Variant(doc.NextNumber()));
  fields.Item("ParentID").SetValue(Variant(OrderId));
  fields.Item("CurrencyCode").SetValue(RequireBook()->Settings().Item("AccountCurrency").Value());
  if (!FieldName.empty() && ArticleId != 0) {
    doc.AddFields().Item(FieldName).SetValue(Variant(ArticleId));
  }
}

host::THDocumentPtr CMDocSupport::ParentDoc() {
  host::THDocument& doc = RequireDoc();
  const int32_t parent_id = CLng(host::CommonTools::Instance()->Nvl(
      doc.Fields().Item("ParentID").Value(), Variant(int32_t{0})));
  if (parent_id == 0) return nullptr;
  if (!m_ParentDoc) m_ParentDoc = CreateHostObject<host::THDocument>(*RequireBook(), "THDocument");
  const Variant& loaded = m_ParentDoc->Fields().Item("IDC").Value();
  if (!loaded.IsNull() && !loaded.IsEmpty() && CLng(loaded) == parent_id) return m_ParentDoc;
  return m_ParentDoc->Load(parent_id) ? m_ParentDoc : nullptr;
}

host::THGoodSpecPtr CMDocSupport::ParentSpec(int32_t SpecId) {
  if (SpecId == 0) return nullptr;
  if (!m_ParentSpec)
    m_ParentSpec = CreateHostObject<host::THGoodSpec>(*RequireBook(), "THGoodSpec");
  return m_ParentSpec->MoveToID(SpecId) ? m_ParentSpec : nullptr;
}

const std::shared_ptr<host::GoodEntry>& CMDocSupport::Good() {
  if (!m_Good) {
    auto good = std::make_shared<host::GoodEntry>();
    good->Init(RequireBook());
    m_Good = std::move(good);
  }
  return m_Good;
}

const host::THGoodSpecPtr& CMDocSupport::DocSpec() {
  if (!m_DocSpec) m_DocSpec = CreateHostObject<host::THGoodSpec>(*RequireBook(), "THGoodSpec");
  return m_DocSpec;
}

host::NamedValueListPtr CMDocSupport::CrParamList(int32_t ArticleId) {
  host::THDocument& doc = RequireDoc();
  if (!m_ParamList) {
    auto list = std::make_shared<host::NamedValueList>();
    list->Add("OrderId", Kind::kLongId);
    list->Add("ArticleId", Kind::kLongId);
    list->Add("DocCode", Kind::kText);
    list->Add("DocObj", Kind::kObject);
    m_ParamList = std::move(list);
  }
  m_ParamList->Item("OrderId").SetValue(doc.Fields().Item("IDC").Value());
  m_ParamList->Item("ArticleId").SetValue(Variant(ArticleId));
  m_ParamList->Item("DocCode").SetValue(doc.Fields().Item("Code").Value());
  m_ParamList->Item("DocObj").SetValue(Variant(std::static_pointer_cast<Object>(m_Doc)));
  return m_ParamList;
}

namespace {
int32_t LongEntry(const host::NamedValueListPtr& params, std::string_view name) {
  if (!params) return 0;
  const host::NamedValue* entry = params->Find(name);
  return entry ? CLng(entry->Value()) : 0;
}
}  // namespace

int32_t CMDocSupport::ParmOrderId(const host::NamedValueListPtr& Params) {
  return LongEntry(Params, "OrderId");
}

int32_t CMDocSupport::ParmArticleId(const host::NamedValueListPtr& Params) {
  return LongEntry(Params, "ArticleId");
}

void CMDocSupport::UseParamList(const host::NamedValueListPtr& Params, std::string_view FieldName) {
  host::THDocument& doc = RequireDoc();
  const int32_t order_id = ParmOrderId(Params);
  if (order_id != 0) doc.Fields().Item("ParentID").SetValue(Variant(order_id));
  if (!FieldName.empty()) {
    doc.AddFields().Item(FieldName).SetValue(Variant(ParmArticleId(Params)));
  }
}

const std::shared_ptr<host::DocSpecService>& CMDocSupport::THDocSpec() {
  if (!m_THDocSpec) {
    auto service = std::make_shared<host::DocSpecService>();
    service->Init(RequireBook());
    service->SetHandler(m_THDoc.lock());
    m_THDocSpec = std::move(service);
  }
  return m_THDocSpec;
}

// The accounting object stays for the engine's life; when Init has handed the engine another
// document object since, it is bound to that one, so that posting never reaches a document
// the engine no longer serves.
host::DocumentService& CMDocSupport::DocAcc() {
  RequireDoc();
  if (!m_DocAcc) m_DocAcc = std::make_shared<host::DocumentService>();
  if (m_DocAcc->Document() != m_Doc) m_DocAcc->Init(RequireBook(), m_Doc);
  return *m_DocAcc;
}

void CMDocSupport::OpenDoc() { DocAcc().OpenDoc(true); }

void CMDocSupport::CloseDoc(const Variant& value) { DocAcc().CloseDoc(value, true); }

}  // namespace qts::engine
