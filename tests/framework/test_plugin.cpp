#include "test_plugin.h"

#include "framework/axo_entry.h"

const axo_plugin_info test_plugin_info = {
    {"test-plugin-1", "Test Plugin", "1.3", "Test", "Maker", "https://example.invalid",
     "A plug-in for framework tests", "(c) nobody"},
    0x54657374};

const axo_plugin_info other_plugin_info = {
    {"other-plugin-1", "Other", "1.0", "Other", "Maker", "", "", ""}, 0x4F746872};

axo_factory_i* axo_create_module_factory() {
    return new axo_factory<test_plugin>(test_plugin_info);
}
