// What the framework's tests share: a host record over the printer
// fixture's default settings and configuration (no driver data unless a
// test gives one), the context made on it, and a rule that writes down
// what the dispatch hands it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "driver/ui_plugin_records.h"
#include "output/core/peripheral_composite.h"
#include "persist/counted_ptr.h"
#include "tests/support/printer_fixture.h"
#include "ui/framework/feature.h"
#include "ui/framework/ui_context.h"

namespace framework_testing {

// Settings the fixture's defaults hold: the orientation (0) and the
// form-to-tray database.
inline constexpr std::uint32_t kOrientation = 265;
inline constexpr std::uint32_t kFormToTray = 510;
// A user-interface flag of the tests' rules.
inline constexpr std::uint32_t kFlag = 0x40000010;

struct Sheet {
  GCountedPtr settings{support::BuildFixtureDefaults()};
  GCountedPtr configuration{support::BuildFixtureConfiguration()};
  GUIData host;
  std::unique_ptr<GUIContext> context;

  explicit Sheet(std::uint32_t access = 0, GUIDriverData* driver_data = nullptr) {
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    host.configuration = configuration.Get();
    host.access_flags = access;
    host.driver_data = driver_data;
    context = std::make_unique<GUIContext>(&host);
  }
  GAttributeComposite* Settings() const { return host.settings; }
  std::int32_t Value(std::uint32_t id) const {
    std::int32_t value = 0;
    context->GetSettingsView().GetValue(id, value);
    return value;
  }
};

// Writes "<name>I" at Initialize and "<name>C<ids>" at OnChanges (the ids
// in the list's order, comma-separated, and "!" when forced), then runs
// `action` with the pass number (1 first).
class LogRule : public GListFeature {
 public:
  LogRule(GUIContext* owner, std::string name, std::vector<std::string>& log,
          std::function<void(LogRule&, int)> action = {})
      : GListFeature(owner), name_(std::move(name)), log_(log), action_(std::move(action)) {}

  void Initialize() override {
    pass_ = 0;
    log_.push_back(name_ + "I");
  }
  void OnChanges(const GValueList& changed, int force) override {
    std::string line = name_ + "C";
    for (const GValueList::Node* node = changed.First(); node; node = node->next)
      line += (node == changed.First() ? "" : ",") + std::to_string(node->value);
    log_.push_back(line + (force ? "!" : ""));
    if (action_) action_(*this, ++pass_);
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
  std::function<void(LogRule&, int)> action_;
  int pass_ = 0;
};

}  // namespace framework_testing
