// The module factory of a test module built from the real VST entry point around the test
// plug-in. It makes nothing unless it runs in round-to-nearest, so that a host calling the
// entry in another rounding mode learns whether the whole entry was guarded.
#include <cfenv>

#include "bridge_test_plugin.h"
#include "framework/axo_entry.h"

namespace {

class nearest_only_factory : public bridge_test_factory {
public:
    nearest_only_factory() : bridge_test_factory(bridge_options{}) {}
    axo_plugin_i* create_plugin() override {
        return std::fegetround() == FE_TONEAREST ? bridge_test_factory::create_plugin() : nullptr;
    }
};

}  // namespace

axo_factory_i* axo_create_module_factory() {
    return std::fegetround() == FE_TONEAREST ? new nearest_only_factory : nullptr;
}
