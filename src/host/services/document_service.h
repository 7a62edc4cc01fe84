// The accounting of one document: posting (CloseDoc) and unposting (OpenDoc) it in the book's
// stock model, and the persons and parties named on it.
//
// Posting a document of a type that does not move stock only sets "IsPosted". Posting an
// incoming stock document sets "IsPosted", makes each row's "CostSumm" its "Summa" and adds
// the rows to the lots ("STLot") of the document's store. Posting an outgoing stock document
// links every row with an accounting quantity to the receipt rows it consumes, FIFO per store,
// good and lot (receipts of posted incoming documents of the document's store dated up to the
// document's date, oldest document date first, then row IDC, each up to what no link has
// taken from it yet), writes those links to "THGoodSpecFixLog" (Type 0), sets each row's
// "CostSumm" to the sum of the consumed receipts' cost shares rounded to cents, takes the
// quantities off the lots and sets "IsPosted". Posting a posted outgoing document posts it
// again from scratch (its own links are replaced); posting a posted incoming or non-stock
// document changes nothing. Everything is one transaction: when the stock of any
// row is short, or anything fails, nothing is written and kErrStockShort (or the failure)
// is raised.
//
// Unposting removes the document's links, gives the quantities back to the lots (or takes an
// incoming document's rows off them) and sets "IsPosted" to 0, again in one transaction. An
// incoming document whose rows other documents have consumed cannot be unposted
// (kErrDocumentService naming a consuming document).
#ifndef QTS_HOST_SERVICES_DOCUMENT_SERVICE_H_
#define QTS_HOST_SERVICES_DOCUMENT_SERVICE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/error.h"
#include "core/object.h"
#include "core/variant.h"
#include "host/fwd.h"

namespace qts::host {

// The kinds of party a document names in a role ("THPartyAttribute.PartyKind").
inline constexpr int32_t kPartyClient = 1;
inline constexpr int32_t kPartyPerson = 2;

class DocumentService : public virtual Object {
 public:
  DocumentService() = default;
  std::string_view ClassName() const override { return "DocumentService"; }

  // Binds the service to `book` and `document` (a THDocument of that book; it must be stored
  // before OpenDoc / CloseDoc). Null `book` takes the document's book.
  void Init(AppContextPtr book, THDocumentPtr document);
  const THDocumentPtr& Document() const { return document_; }

  // Unposts the document (see above). `reload` True reloads the bound document object
  // afterwards so its "IsPosted" shows the book. Unposting a document that is not posted
  // does nothing. Raises kErrDocumentService without a stored document.
  void OpenDoc(bool reload = true);
  // Posts the document (see above). `value` is the host's argument and is not used by this
  // host; `reload` as for OpenDoc.
  void CloseDoc(const Variant& value = Variant(), bool reload = true);

  // The code of the party holding role `role` ("KP", "KN1", "AA", "DB", "CH", "PAR", ...) on
  // the document: the first "THPartyAttribute" row of the document with that role and
  // "PartyKind" = `party_kind` (a row without one is a client's); failing that, for persons, the
  // header column the role has ("KP" PersonHead, "KN1".."KN3" Person1..Person3, "AA" PersonAA, "DB"
  // Gavejas, "CH" Kontrolerius). "" when the document names nobody in the role.
  [[nodiscard]] std::string PersonOfRole(std::string_view role, int32_t party_kind = kPartyPerson);
  // Names person `code` in role `role` on the stored document: its person rows of the role in
  // "THPartyAttribute" are replaced by one with the code (by none for an empty code), in one
  // transaction. The header column of the role is the caller's to write. Raises
  // kErrDocumentService without a stored document.
  void SetPersonOfRole(std::string_view role, std::string_view code);

 private:
  AppContext& Book() const;
  int32_t StoredId() const;

  AppContextPtr book_;
  THDocumentPtr document_;
};

}  // namespace qts::host

#endif  // QTS_HOST_SERVICES_DOCUMENT_SERVICE_H_
