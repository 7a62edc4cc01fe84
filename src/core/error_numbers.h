// Every error number the component and the host kit raise, named once. Errors carry these
// numbers through qts::Error (core/error.h); a raiser names its number from here and never
// writes one by hand. kErrorNumbers lists them all, and no two share a number.
#ifndef QTS_CORE_ERROR_NUMBERS_H_
#define QTS_CORE_ERROR_NUMBERS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qts {

// ---- The old platform's numbers --------------------------------------------------------------

inline constexpr int32_t kErrInvalidCall = 5;
inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrOutOfMemory = 7;  // std::bad_alloc as an error
inline constexpr int32_t kErrSubscript = 9;
inline constexpr int32_t kErrDivisionByZero = 11;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrInternal = 51;    // an exception that is not an Error
inline constexpr int32_t kErrFileAccess = 75;  // a report file that cannot be written
inline constexpr int32_t kErrInvalidUseOfNull = 94;
inline constexpr int32_t kErrObjectRequired = 424;
inline constexpr int32_t kErrCannotCreate = 429;
inline constexpr int32_t kErrNoInterface = 430;
inline constexpr int32_t kErrNoSuchMember = 438;

// ---- Component errors: the component error base plus a small number --------------------------

inline constexpr int32_t kComponentErrorBase = static_cast<int32_t>(0x80040000u);
constexpr int32_t ComponentError(int32_t n) { return kComponentErrorBase + n; }

// The component's own error, as the system numbers it for every fault it raises itself (a
// step called without its row source, a vehicle that cannot be read) and for every error a
// renumbering report run shows.
inline constexpr int32_t kErrComponent = ComponentError(1);

namespace frame {
// GetBook found neither a "Book" parameter nor a current book: the component error base.
inline constexpr int32_t kErrNoBook = ComponentError(0);
}  // namespace frame

namespace sql {
// Every translator error; source "SqlTranslator", the description ends with the position.
inline constexpr int32_t kErrSqlTranslate = ComponentError(100);
}  // namespace sql

namespace host {
// A book that cannot be opened or created; source "AppContext".
inline constexpr int32_t kErrBook = ComponentError(110);
// A query built or opened against its contract; source "Query".
inline constexpr int32_t kErrQuery = ComponentError(111);
// A document write refused by the host: a missing required field, an unknown document type,
// a call out of order; the source names the object ("THDocument").
inline constexpr int32_t kErrDocument = ComponentError(120);
// A catalogue request that cannot be served: no book, no good loaded, a unit the good does
// not have; source "GoodEntry".
inline constexpr int32_t kErrGoodEntry = ComponentError(131);
// A request the service refuses: no book, an alias that is not an identifier, an unknown
// document type; source "DocSpecService".
inline constexpr int32_t kErrDocSpecService = ComponentError(132);
// A document the service cannot work on: not stored, no store on a stock document, an
// incoming document already consumed; source "DocumentService".
inline constexpr int32_t kErrDocumentService = ComponentError(133);
// An outgoing document whose store does not hold enough of a good and lot on its date; source
// "DocumentService", the description names the row, good, lot, store, the quantity needed and
// the quantity free.
inline constexpr int32_t kErrStockShort = ComponentError(134);
// No book, no such document, a bad edited value; source "DocEditor".
inline constexpr int32_t kErrDocEditor = ComponentError(135);
// No handler or document, no such row or lot, a lot of another good; source "HostLotHandler".
inline constexpr int32_t kErrLotHandler = ComponentError(136);
// A person's input a dialog refuses: an unknown or locked control, a value of the wrong type,
// a code a combo does not offer; the source is the form's name.
inline constexpr int32_t kErrDialogInput = ComponentError(137);
// A system dialog misused: Init without a form, Load before Init, a document of another type;
// source "SystemDialog".
inline constexpr int32_t kErrSystemDialog = ComponentError(138);
// A print that cannot be made: no print job, a print form the document type does not have, a
// report that printed nothing; source "ReportRunner".
inline constexpr int32_t kErrPrint = ComponentError(139);
// The registry file cannot be read or written; source "Registry".
inline constexpr int32_t kErrRegistry = ComponentError(0x300);
// The message table cannot be read; source "MessageTable".
inline constexpr int32_t kErrMessageTable = ComponentError(0x310);
// Raised by operators: a question nobody can answer, a scripted answer that does not fit,
// input that ended, a form control that does not exist.
inline constexpr int32_t kErrOperator = ComponentError(0x330);
// A process answered CountStep with a negative number.
inline constexpr int32_t kErrStepCount = ComponentError(0x331);
// A dialog shown before Init or bound to controls of another form.
inline constexpr int32_t kErrDialog = ComponentError(0x332);
// The dialog refused a command a person gave it: a check of the form said no (a message box
// said why), as when saving without a department. Source "ScriptedOperator".
inline constexpr int32_t kErrDialogRefused = ComponentError(0x333);
// A print layout that is no layout, names an unknown key, value, list or column, or totals
// what cannot be totalled; source "PrintLayout".
inline constexpr int32_t kErrPrintLayout = ComponentError(0x340);
}  // namespace host

namespace db {
// Any other backend failure: bad SQL, I/O, cannot open, ...
inline constexpr int32_t kErrDatabase = ComponentError(200);
// A constraint refused the write: UNIQUE, NOT NULL, CHECK, FOREIGN KEY, PRIMARY KEY.
inline constexpr int32_t kErrConstraint = ComponentError(201);
// The database stayed locked by another connection or process longer than the busy timeout;
// the work may be retried.
inline constexpr int32_t kErrBusy = ComponentError(202);
// The caller broke the API's contract: a column read with no current row, an index out of
// range, an unknown parameter name, transactions ended out of order.
inline constexpr int32_t kErrDbMisuse = ComponentError(203);
}  // namespace db

namespace cli {
// `qts settings get` of a setting the store does not hold; source "settings".
inline constexpr int32_t kErrNoSetting = ComponentError(0x320);
}  // namespace cli

// ---- ADO's numbers, raised by the host's recordsets ------------------------------------------

namespace host {
inline constexpr int32_t kAdErrInvalidArgument = 3001;
inline constexpr int32_t kAdErrNoCurrentRecord = 3021;
inline constexpr int32_t kAdErrIllegalOperation = 3219;
inline constexpr int32_t kAdErrItemNotFound = 3265;
inline constexpr int32_t kAdErrObjectInCollection = 3367;
inline constexpr int32_t kAdErrObjectClosed = 3704;
inline constexpr int32_t kAdErrObjectOpen = 3705;
inline constexpr int32_t kAdErrMultipleStep = static_cast<int32_t>(0x80040E21u);
}  // namespace host

// ---- The table -------------------------------------------------------------------------------

struct ErrorNumber {
  std::string_view name;
  int32_t number;
};

// Every number above, once.
inline constexpr ErrorNumber kErrorNumbers[] = {
    {"kErrInvalidCall", kErrInvalidCall},
    {"kErrOverflow", kErrOverflow},
    {"kErrOutOfMemory", kErrOutOfMemory},
    {"kErrSubscript", kErrSubscript},
    {"kErrDivisionByZero", kErrDivisionByZero},
    {"kErrTypeMismatch", kErrTypeMismatch},
    {"kErrInternal", kErrInternal},
    {"kErrFileAccess", kErrFileAccess},
    {"kErrInvalidUseOfNull", kErrInvalidUseOfNull},
    {"kErrObjectRequired", kErrObjectRequired},
    {"kErrCannotCreate", kErrCannotCreate},
    {"kErrNoInterface", kErrNoInterface},
    {"kErrNoSuchMember", kErrNoSuchMember},
    {"kErrComponent", kErrComponent},
    {"frame::kErrNoBook", frame::kErrNoBook},
    {"sql::kErrSqlTranslate", sql::kErrSqlTranslate},
    {"host::kErrBook", host::kErrBook},
    {"host::kErrQuery", host::kErrQuery},
    {"host::kErrDocument", host::kErrDocument},
    {"host::kErrGoodEntry", host::kErrGoodEntry},
    {"host::kErrDocSpecService", host::kErrDocSpecService},
    {"host::kErrDocumentService", host::kErrDocumentService},
    {"host::kErrStockShort", host::kErrStockShort},
    {"host::kErrDocEditor", host::kErrDocEditor},
    {"host::kErrLotHandler", host::kErrLotHandler},
    {"host::kErrDialogInput", host::kErrDialogInput},
    {"host::kErrSystemDialog", host::kErrSystemDialog},
    {"host::kErrPrint", host::kErrPrint},
    {"host::kErrRegistry", host::kErrRegistry},
    {"host::kErrMessageTable", host::kErrMessageTable},
    {"host::kErrOperator", host::kErrOperator},
    {"host::kErrStepCount", host::kErrStepCount},
    {"host::kErrDialog", host::kErrDialog},
    {"host::kErrDialogRefused", host::kErrDialogRefused},
    {"host::kErrPrintLayout", host::kErrPrintLayout},
    {"db::kErrDatabase", db::kErrDatabase},
    {"db::kErrConstraint", db::kErrConstraint},
    {"db::kErrBusy", db::kErrBusy},
    {"db::kErrDbMisuse", db::kErrDbMisuse},
    {"cli::kErrNoSetting", cli::kErrNoSetting},
    {"host::kAdErrInvalidArgument", host::kAdErrInvalidArgument},
    {"host::kAdErrNoCurrentRecord", host::kAdErrNoCurrentRecord},
    {"host::kAdErrIllegalOperation", host::kAdErrIllegalOperation},
    {"host::kAdErrItemNotFound", host::kAdErrItemNotFound},
    {"host::kAdErrObjectInCollection", host::kAdErrObjectInCollection},
    {"host::kAdErrObjectClosed", host::kAdErrObjectClosed},
    {"host::kAdErrObjectOpen", host::kAdErrObjectOpen},
    {"host::kAdErrMultipleStep", host::kAdErrMultipleStep},
};

// True when no two entries of `table` share a number.
template <size_t N>
constexpr bool NumbersAreUnique(const ErrorNumber (&table)[N]) {
  for (size_t i = 0; i < N; ++i) {
    for (size_t j = i + 1; j < N; ++j) {
      if (table[i].number == table[j].number) return false;
    }
  }
  return true;
}
static_assert(NumbersAreUnique(kErrorNumbers), "two error numbers are the same");

}  // namespace qts

#endif  // QTS_CORE_ERROR_NUMBERS_H_
