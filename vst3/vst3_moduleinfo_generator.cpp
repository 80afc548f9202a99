// Writes the VST3 bundle's moduleinfo.json from the plug-in it is linked with, at build time:
//
//   <generator> OUTPUT_FILE MODULE_NAME
#include <cstdio>
#include <fstream>
#include <memory>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "glue/rounding_guard.h"
#include "vst3/vst3_class_info.h"
#include "vst3/vst3_moduleinfo.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FILE MODULE_NAME\n", argv[0]);
        return 2;
    }
    rounding_guard guard;
    std::unique_ptr<axo_factory_i> factory(get_axoi(0));
    vst3_class_info info{};
    if (!describe_vst3_class(factory.get(), info)) {
        std::fprintf(stderr, "the plug-in's factory cannot be described\n");
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << vst3_moduleinfo(info, argv[2]);
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
