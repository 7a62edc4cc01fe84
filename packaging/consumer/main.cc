// consumer BOOK: opens a book through the installed host kit, counts its documents through the
// query builder and the T-SQL translator, and creates the component's IMOpDocSupport by
// programmatic identifier, as a host embedding the component does. Prints what it saw (and
// where the host kit found its message resources and registry defaults); any
// error ends it with status 1.
#include <iostream>

#include "core/convert.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/query.h"
#include "host/plugin/component_host.h"
#include "host/services/message_table.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer BOOK\n";
    return 2;
  }
  try {
    auto book = qts::host::AppContext::Open(argv[1]);
    qts::host::QueryPtr query = book->CreateQuery("THDocument");
    query->Open();
    std::cout << "book " << book->Code() << ": " << query->RecordCount() << " documents\n";

    qts::host::ComponentHost host;
    qts::ObjectPtr object = host.CreateObject("QTS_Inventory.IMOpDocSupport");
    qts::Variant result = qts::CallByName(object, "MDocSup", qts::InvokeKind::kPropertyGet);
    std::cout << "resources " << qts::host::MessageTable::ResourceDir().string() << "\n";
    std::cout << "registry defaults " << qts::host::Registry::DefaultsPath().string() << "\n";
    std::cout << "created " << object->ClassName() << "; MDocSup is "
              << (result.IsNothing() ? "Nothing" : "set") << "\n";
  } catch (const qts::Error& e) {
    std::cerr << "consumer: " << e.Description() << " [" << e.Source() << "]\n";
    return 1;
  }
  return 0;
}
