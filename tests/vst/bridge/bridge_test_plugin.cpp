#include "bridge_test_plugin.h"

#include "glue/exposed_params.h"
#include "support/test_host.h"
#include "vst/bridge/myhost.h"

bridge_fixture::bridge_fixture(const bridge_options& o) {
    auto* factory = new bridge_test_factory(o);
    plugin = static_cast<bridge_test_plugin*>(factory->create_plugin());
    auto* host = new myhost;
    plugin->set_host(host);
    fx = std::make_unique<vstdsp>(&test_host::callback, factory, plugin,
                                  count_exposed_params(plugin), host);
    effect = fx->getAeffect();
}
