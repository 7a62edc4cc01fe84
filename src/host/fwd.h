// Forward declarations of the host kit's objects, for headers that only pass them along.
#ifndef QTS_HOST_FWD_H_
#define QTS_HOST_FWD_H_

#include <memory>

namespace qts::host {

class AppContext;
class THDocument;
class THGoodSpec;
class NamedValueList;
class NamedValue;
class Query;
class Recordset;
class MessageTable;
class HostSession;

using AppContextPtr = std::shared_ptr<AppContext>;
using THDocumentPtr = std::shared_ptr<THDocument>;
using THGoodSpecPtr = std::shared_ptr<THGoodSpec>;
using NamedValueListPtr = std::shared_ptr<NamedValueList>;
using RecordsetPtr = std::shared_ptr<Recordset>;

}  // namespace qts::host

#endif  // QTS_HOST_FWD_H_
