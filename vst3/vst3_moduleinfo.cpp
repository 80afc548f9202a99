#include "vst3/vst3_moduleinfo.h"

#include <cstdio>

#include "vst3/vst3_abi.h"
#include "vst3/vst3_class_info.h"

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string sub_categories(const std::string& joined) {
    std::string out = "[";
    size_t start = 0;
    while (start <= joined.size()) {
        const size_t bar = joined.find('|', start);
        const size_t end = bar == std::string::npos ? joined.size() : bar;
        if (start > 0) out += ", ";
        out += quoted(joined.substr(start, end - start));
        start = end + 1;
    }
    return out + "]";
}

}  // namespace

std::string vst3_moduleinfo(const vst3_class_info& info, const std::string& module_name) {
    std::string out = "{\n";
    out += "  \"Name\": " + quoted(module_name) + ",\n";
    out += "  \"Version\": " + quoted(info.version) + ",\n";
    out += "  \"Factory Info\": {\n";
    out += "    \"Vendor\": " + quoted(info.vendor) + ",\n";
    out += "    \"URL\": " + quoted(info.url) + ",\n";
    out += "    \"E-Mail\": \"\",\n";
    out += "    \"Flags\": {\n";
    out += "      \"Unicode\": true,\n";
    out += "      \"Classes Discardable\": false,\n";
    out += "      \"Component Non Discardable\": false\n";
    out += "    }\n  },\n";
    out += "  \"Classes\": [\n    {\n";
    out += "      \"CID\": " + quoted(vst3_uid_text(info.words)) + ",\n";
    out += "      \"Category\": " + quoted(vst3::kAudioEffectClass) + ",\n";
    out += "      \"Name\": " + quoted(info.name) + ",\n";
    out += "      \"Vendor\": " + quoted(info.vendor) + ",\n";
    out += "      \"Version\": " + quoted(info.version) + ",\n";
    out += "      \"SDKVersion\": " + quoted(vst3::kSdkVersionString) + ",\n";
    out += "      \"Sub Categories\": " + sub_categories(info.sub_categories) + ",\n";
    out += "      \"Class Flags\": 0,\n";
    out += "      \"Cardinality\": " + std::to_string(vst3::kManyInstances) + "\n";
    out += "    }\n  ]\n}\n";
    return out;
}
