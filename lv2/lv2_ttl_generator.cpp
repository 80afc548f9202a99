// Writes the LV2 bundle's Turtle files from the plug-in it is linked with, at build time:
//
//   <generator> BUNDLE_DIR MODULE_FILE_NAME
//
// writes BUNDLE_DIR/manifest.ttl and BUNDLE_DIR/<plug-in>.ttl, named after the module file.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "glue/rounding_guard.h"
#include "lv2/lv2_turtle.h"

namespace {

bool write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BUNDLE_DIR MODULE_FILE_NAME\n", argv[0]);
        return 2;
    }
    rounding_guard guard;
    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    if (!factory) {
        std::fprintf(stderr, "the plug-in's factory cannot be made\n");
        return 1;
    }
    const std::string dir = argv[1];
    const std::string binary = argv[2];
    const std::string description = binary.substr(0, binary.rfind('.')) + ".ttl";
    const std::string plugins = lv2_description(factory.get());
    if (plugins.empty()) {
        std::fprintf(stderr, "the plug-in lacks a channel configuration\n");
        return 1;
    }
    const bool ok =
        write_file(dir + "/manifest.ttl", lv2_manifest(factory.get(), binary, description)) &&
        write_file(dir + "/" + description, plugins);
    return ok ? 0 : 1;
}
