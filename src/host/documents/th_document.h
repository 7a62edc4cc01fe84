// One document of a book: its header ("THDocument") and the additional header fields of its
// type ("<type>THDocument", e.g. "MMOTHDocument").
//
// The object holds one header at a time. A fresh object holds a blank new document: every
// column at its default (IsPosted 0, ParentID 0, money 0), "IDC" 0, everything else Null.
// Load / FindWhere replace it with a stored document; BeginInsert ... EndInsert writes a new
// one. A document that does not exist answers False / 0 and changes nothing.
//
// Defaults of a new document (InitNew): "DocumentDate" today (date only), "CurrencyCode" the
// book's setting "AccountCurrency", "IsPosted" 0, "Number" NextNumber(), every other column
// its schema default or Null; the additional fields their defaults.
//
// Numbers. NextNumber is the largest all-digit "Number" of the type plus one, keeping the
// width of that number ("0041" -> "0042"; "1" when the type has none). EndInsert takes the
// book's write lock before it writes, and when the header's number is empty, or is the one
// NextNumber handed out and another writer has used it since, it numbers the document again
// inside the transaction: two processes inserting at once never get the same number. A number
// the caller typed that is already taken is refused by the book (constraint error).
#ifndef QTS_HOST_DOCUMENTS_TH_DOCUMENT_H_
#define QTS_HOST_DOCUMENTS_TH_DOCUMENT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "core/object.h"
#include "host/data/named_value_list.h"
#include "host/documents/table_layout.h"
#include "host/fwd.h"

namespace qts::host {

class THDocument : public virtual Object {
 public:
  // Touches no database: a document of a book that is not open can be created and passed
  // around; its data operations raise the book's error.
  explicit THDocument(AppContextPtr application);
  ~THDocument() override;
  std::string_view ClassName() const override { return "THDocument"; }

  // The book the document belongs to.
  const AppContextPtr& Application() const { return application_; }

  // The header: every column of "THDocument" in table order, typed by the column (ids and
  // flags Long, money Currency, dates Date, text String, no value Null).
  NamedValueList& Fields();
  // The additional header fields of the type in "DocTypeCode" (the columns of
  // "<type>THDocument" after "DocID"); empty when the type has none or is not set. The list
  // follows the type: when "DocTypeCode" changes, its entries are rebuilt with their defaults.
  NamedValueList& AddFields();

  // Makes the object a new document of the type already set in "DocTypeCode" with the
  // defaults described above. Raises kErrDocument when the type is empty or unknown.
  void InitNew();

  // Starts writing a new document. The header keeps the values set so far (InitNew's or the
  // caller's); a loaded document is first replaced by a blank new one of the same type.
  void BeginInsert();
  // Writes header and additional fields in one transaction and returns the new "IDC" (also
  // set in Fields). Raises kErrDocument without BeginInsert, for an empty or unknown type or
  // a required field without value, error 13 for a value a column cannot take, and the
  // book's constraint error for a duplicate number; on any error nothing is written and the
  // object stays in insert mode with its values.
  int32_t EndInsert();
  // Writes the header and additional fields of the loaded document back, in one
  // transaction. False, writing nothing, when the object holds no stored document or it no
  // longer exists. Raises kErrDocument when "DocTypeCode" was changed (a stored document
  // keeps its type).
  bool Update();

  // Loads the document `idc`. False, changing nothing, when there is none.
  bool Load(int32_t idc);
  // Loads the first document (lowest "IDC") matching `condition`, a T-SQL condition over the
  // columns of "THDocument" (which may be qualified as "oTable."). The condition goes through
  // the translator: anything outside its subset raises its error. False, changing nothing,
  // when no document matches.
  bool FindWhere(std::string_view condition);

  // Sets "IsPosted" of the loaded document to 0 in the book and in Fields. False when the
  // object holds no stored document or it no longer exists.
  bool Unpost();
  // Deletes document `idc` with its additional fields, rows, the rows' additional fields,
  // parties and the fix-log links of its rows, in one transaction. False when there is no such
  // document. When it is the loaded document, the object becomes a blank new document.
  bool Delete(int32_t idc);

  // The next number of the type in "DocTypeCode" (see above). Raises kErrDocument when the
  // type is empty.
  std::string NextNumber();

 private:
  struct AddTable;
  void EnsureLayout();
  const AddTable* AddTableOf(const std::string& type);
  void SyncAddFields();
  void Blank();
  std::string TypeCode();
  void CheckType(const std::string& type);
  std::string ComputeNextNumber(const std::string& type);
  void WriteAddFields(const AddTable& table, int32_t idc, bool insert);

  AppContextPtr application_;
  std::unique_ptr<TableLayout> header_layout_;
  std::map<std::string, std::unique_ptr<AddTable>> add_tables_;  // by upper-case type
  NamedValueListPtr fields_;
  NamedValueListPtr add_fields_;
  std::string add_fields_type_;  // the type add_fields_ was built for
  int32_t stored_idc_ = 0;       // the loaded document, 0 for a new one
  std::string stored_type_;
  bool inserting_ = false;
  std::string issued_number_;  // the last number NextNumber handed out
};

}  // namespace qts::host

#endif  // QTS_HOST_DOCUMENTS_TH_DOCUMENT_H_
