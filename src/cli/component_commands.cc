#include <fmt/format.h>

#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/output.h"
#include "core/convert.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "host/data/variant_json.h"
#include "host/plugin/component_host.h"
#include "host/services/settings_store.h"

namespace qts::cli {

namespace {

std::string ParamsText(const nlohmann::json& params) {
  std::string out;
  for (const auto& p : params) {
    if (!out.empty()) out += ", ";
    if (p.value("optional", false)) out += "[";
    out += p.value("byValue", false) ? "ByVal " : "";
    out += p["name"].get<std::string>() + " As " + p["type"].get<std::string>();
    if (p.value("optional", false)) out += " = " + p["default"].get<std::string>() + "]";
  }
  return out;
}

void PrintCatalogue(const nlohmann::json& lib) {
  const auto& info = lib["library"];
  std::cout << fmt::format("{} {} — {}\nlibrary id {}\n\n", info["name"].get<std::string>(),
                           info["version"].get<std::string>(),
                           info["description"].get<std::string>(),
                           info["libid"].get<std::string>());
  std::map<std::string, const nlohmann::json*> interfaces;
  for (const auto& i : lib["interfaces"]) interfaces[i["name"].get<std::string>()] = &i;
  auto print_members = [&](const std::string& name, const char* indent) {
    auto it = interfaces.find(name);
    if (it == interfaces.end()) return;
    int slot = 1;
    for (const auto& m : (*it->second)["members"]) {
      std::cout << fmt::format("{}{:>2}. {} {}({})", indent, slot++, m["kind"].get<std::string>(),
                               m["name"].get<std::string>(), ParamsText(m["params"]));
      if (m.contains("result")) std::cout << " As " << m["result"].get<std::string>();
      std::cout << "\n";
    }
  };
  std::cout << "Classes\n";
  for (const auto& c : lib["classes"]) {
    std::string flags = c["creatable"].get<bool>() ? "creatable" : "not creatable";
    if (c["global"].get<bool>()) flags += ", global";
    if (!c["available"].get<bool>()) flags += ", not in this build";
    std::cout << fmt::format("  {:<40} {} [{}]\n", c["progid"].get<std::string>(),
                             c["clsid"].get<std::string>(), flags);
    std::string iface = c["defaultInterface"].get<std::string>();
    std::cout << "      " << iface << "\n";
    print_members(iface, "        ");
    for (const auto& impl : c["implements"]) {
      std::cout << "      implements " << impl.get<std::string>() << "\n";
    }
    if (c.contains("events")) {
      std::cout << "      events " << c["events"].get<std::string>() << "\n";
      print_members(c["events"].get<std::string>(), "        ");
    }
  }
  std::cout << "\nHost interfaces implemented here (host's slot order)\n";
  for (const auto& i : lib["interfaces"]) {
    if (!i["hostDefined"].get<bool>()) continue;
    std::cout << fmt::format("  {} {}\n", i["name"].get<std::string>(),
                             i["iid"].get<std::string>());
    print_members(i["name"].get<std::string>(), "    ");
  }
  std::cout << "\nEnumerations\n";
  for (const auto& e : lib["enums"]) {
    std::cout << "  " << e["name"].get<std::string>() << "\n";
    for (const auto& [name, value] : e["values"].items()) {
      std::cout << fmt::format("    {} = {}\n", name, value.get<int>());
    }
  }
  std::cout << "\nPrivate units (not creatable by programmatic identifier)\n";
  for (const auto& u : lib["privateUnits"]) {
    std::cout << fmt::format("  {:<24} {:<8} {}\n", u["name"].get<std::string>(),
                             u["kind"].get<std::string>(), u["role"].get<std::string>());
  }
}

std::string Show(const Variant& v) {
  if (v.IsObject()) return v.IsNothing() ? "Nothing" : "object " + TypeName(v);
  if (v.IsEmpty()) return "Empty";
  if (v.IsNull()) return "Null";
  return fmt::format("{} ({})", CStr(v), TypeName(v));
}

}  // namespace

void AddComponentCommands(CLI::App& app) {
  auto library = std::make_shared<std::string>();
  auto add_library_option = [library](CLI::App* cmd) {
    cmd->add_option("--library", *library,
                    "component library (default: $QTS_LIBRARY, else libqts_inventory.so beside "
                    "the host kit)");
  };
  auto library_path = [library]() {
    return library->empty() ? host::DefaultComponentPath() : std::filesystem::path(*library);
  };

  auto* catalogue =
      app.add_subcommand("catalogue",
                         "print the component's type library: classes, programmatic identifiers, "
                         "interfaces and members in slot order, the enumeration");
  AddJsonFlag(*catalogue, "print it as JSON");
  add_library_option(catalogue);
  catalogue->callback([=] {
    host::ComponentHost host;
    auto text = host.Load(library_path())->TypeLibrary();
    auto doc = nlohmann::json::parse(text);
    if (JsonOutput()) {
      std::cout << nlohmann::ordered_json::parse(text).dump(2) << "\n";
    } else {
      PrintCatalogue(doc);
    }
  });

  auto* reg =
      app.add_subcommand("register",
                         "register the component's classes in the host registry ($QTS_REGISTRY, "
                         "default ~/.config/qts/registry.json)");
  add_library_option(reg);
  AddJsonFlag(*reg, "print JSON: the library and the registry");
  reg->callback([=] {
    host::ComponentHost host;
    auto lib = host.Load(library_path());
    lib->RegisterServer();
    if (JsonOutput()) {
      return PrintJson({{"library", lib->Path().string()},
                        {"registry", host.GetRegistry().Path().string()},
                        {"registered", true}});
    }
    std::cout << "registered " << lib->Path().string() << " in "
              << host.GetRegistry().Path().string() << "\n";
  });

  auto* unreg =
      app.add_subcommand("unregister", "remove the component's classes from the host registry");
  add_library_option(unreg);
  AddJsonFlag(*unreg, "print JSON: the library and the registry");
  unreg->callback([=] {
    host::ComponentHost host;
    auto lib = host.Load(library_path());
    lib->UnregisterServer();
    if (JsonOutput()) {
      return PrintJson({{"library", lib->Path().string()},
                        {"registry", host.GetRegistry().Path().string()},
                        {"registered", false}});
    }
    std::cout << "unregistered " << lib->Path().string() << " from "
              << host.GetRegistry().Path().string() << "\n";
  });

  auto* create = app.add_subcommand(
      "create",
      "create an object by programmatic identifier (through the registry and the "
      "loaded library) and optionally call members by name");
  auto progid = std::make_shared<std::string>();
  auto calls = std::make_shared<std::vector<std::string>>();
  create->add_option("progid", *progid, "e.g. QTS_Inventory.IMOpDocSupport")->required();
  create->add_option("--call", *calls, "member to call without arguments, late-bound (repeatable)");
  AddJsonFlag(*create,
              "print JSON: the class and what each call returned (objects as their "
              "class name or null)");
  create->callback([=] {
    host::ComponentHost host;
    ObjectPtr object = host.CreateObject(*progid);
    const std::string clsid = host.ClassIdOf(*progid).ToString();
    nlohmann::ordered_json out{
        {"progid", *progid}, {"clsid", clsid}, {"class", object->ClassName()}};
    out["calls"] = nlohmann::ordered_json::object();
    if (!JsonOutput()) {
      std::cout << fmt::format("created {} (class {}, {})\n", *progid, clsid, object->ClassName());
    }
    for (const auto& member : *calls) {
      Variant result = CallByName(object, member, InvokeKind::kMethod);
      if (!JsonOutput()) {
        std::cout << fmt::format("  {} -> {}\n", member, Show(result));
      } else if (result.IsObject()) {
        out["calls"][member] = result.IsNothing() ? nlohmann::ordered_json()
                                                  : nlohmann::ordered_json(TypeName(result));
      } else {
        out["calls"][member] = host::ToJson(result);
      }
    }
    if (JsonOutput()) PrintJson(out);
  });

  auto* settings =
      app.add_subcommand("settings",
                         "read or change the per-user settings store ($QTS_SETTINGS, default "
                         "~/.config/qts/settings.json)");
  settings->require_subcommand(1);
  struct Key {
    std::string app, section, key, value;
  };
  auto key = std::make_shared<Key>();
  auto add_key = [key](CLI::App* cmd) {
    cmd->add_option("app", key->app, "application, e.g. \"Halden Enterprise\"")->required();
    cmd->add_option("section", key->section, "section, e.g. General")->required();
    cmd->add_option("key", key->key, "key, e.g. AppFormDebug")->required();
  };
  auto* get = settings->add_subcommand("get", "print a stored value");
  add_key(get);
  AddJsonFlag(*get, "print JSON: the key and its value");
  get->callback([key] {
    auto value = host::SettingsStore().Find(key->app, key->section, key->key);
    if (!value) {
      throw Error(kErrNoSetting, "settings",
                  fmt::format("no setting {}/{}/{}", key->app, key->section, key->key));
    }
    if (JsonOutput()) {
      return PrintJson(
          {{"app", key->app}, {"section", key->section}, {"key", key->key}, {"value", *value}});
    }
    std::cout << *value << "\n";
  });
  auto* set = settings->add_subcommand("set", "store a value");
  add_key(set);
  set->add_option("value", key->value, "the text to store")->required();
  AddJsonFlag(*set, "print JSON: the key and the value stored");
  set->callback([key] {
    host::SettingsStore().SaveSetting(key->app, key->section, key->key, key->value);
    if (JsonOutput()) {
      PrintJson(
          {{"app", key->app}, {"section", key->section}, {"key", key->key}, {"value", key->value}});
    }
  });
  auto* del = settings->add_subcommand("delete", "remove a stored value");
  add_key(del);
  AddJsonFlag(*del, "print JSON: the key removed");
  del->callback([key] {
    host::SettingsStore().DeleteSetting(key->app, key->section, key->key);
    if (JsonOutput()) {
      PrintJson(
          {{"app", key->app}, {"section", key->section}, {"key", key->key}, {"value", nullptr}});
    }
  });
}

}  // namespace qts::cli
