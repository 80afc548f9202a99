#include "vst3/vst3_factory.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "framework/axo_entry.h"
#include "framework/axo_factory_i.h"
#include "glue/bounded_text.h"
#include "vst3/vst3_class_info.h"
#include "vst3/vst3_component.h"
#include "vst3/vst3_guard.h"
#include "vst3/vst3_text.h"

using namespace vst3;

namespace {

bool same_uid(const char* id, const uid& known) {
    return id != nullptr && std::memcmp(id, known.bytes, sizeof known.bytes) == 0;
}

class factory final : public IPluginFactory3 {
public:
    explicit factory(const vst3_class_info& info) : info_(info) {
        const uid cid = make_uid(info.words[0], info.words[1], info.words[2], info.words[3]);
        std::memcpy(cid_, cid.bytes, sizeof cid_);
    }

    tresult VST3_CALL queryInterface(const char* iid, void** obj) override {
        if (obj == nullptr) return kInvalidArgument;
        *obj = nullptr;
        if (!(same_uid(iid, FUnknown_iid) || same_uid(iid, IPluginFactory_iid) ||
              same_uid(iid, IPluginFactory2_iid) || same_uid(iid, IPluginFactory3_iid))) {
            return kNoInterface;
        }
        *obj = static_cast<IPluginFactory3*>(this);
        addRef();
        return kResultOk;
    }
    uint32 VST3_CALL addRef() override { return ++references_; }
    uint32 VST3_CALL release() override { return --references_; }

    tresult VST3_CALL getFactoryInfo(PFactoryInfo* out) override {
        if (out == nullptr) return kInvalidArgument;
        copy_bounded_text(out->vendor, info_.vendor.c_str(), sizeof out->vendor);
        copy_bounded_text(out->url, info_.url.c_str(), sizeof out->url);
        copy_bounded_text(out->email, "", sizeof out->email);
        out->flags = kUnicode;
        return kResultOk;
    }
    int32 VST3_CALL countClasses() override { return 1; }
    tresult VST3_CALL getClassInfo(int32 index, PClassInfo* out) override {
        if (index != 0 || out == nullptr) return kInvalidArgument;
        std::memcpy(out->cid, cid_, sizeof cid_);
        out->cardinality = kManyInstances;
        copy_bounded_text(out->category, kAudioEffectClass, sizeof out->category);
        copy_bounded_text(out->name, info_.name.c_str(), sizeof out->name);
        return kResultOk;
    }
    tresult VST3_CALL getClassInfo2(int32 index, PClassInfo2* out) override;
    tresult VST3_CALL getClassInfoUnicode(int32 index, PClassInfoW* out) override;
    tresult VST3_CALL setHostContext(FUnknown*) override { return kResultOk; }
    tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) override;

private:
    vst3_class_info info_;
    unsigned char cid_[16];
    std::atomic<uint32> references_{0};
};

tresult factory::getClassInfo2(int32 index, PClassInfo2* out) {
    PClassInfo base{};
    if (out == nullptr || getClassInfo(index, &base) != kResultOk) return kInvalidArgument;
    std::memcpy(out, &base, sizeof base);
    out->classFlags = 0;
    copy_bounded_text(out->subCategories, info_.sub_categories.c_str(), sizeof out->subCategories);
    copy_bounded_text(out->vendor, info_.vendor.c_str(), sizeof out->vendor);
    copy_bounded_text(out->version, info_.version.c_str(), sizeof out->version);
    copy_bounded_text(out->sdkVersion, kSdkVersionString, sizeof out->sdkVersion);
    return kResultOk;
}

tresult factory::getClassInfoUnicode(int32 index, PClassInfoW* out) {
    PClassInfo2 narrow{};
    if (out == nullptr || getClassInfo2(index, &narrow) != kResultOk) return kInvalidArgument;
    std::memcpy(out->cid, narrow.cid, sizeof out->cid);
    out->cardinality = narrow.cardinality;
    std::memcpy(out->category, narrow.category, sizeof out->category);
    copy_utf16(out->name, narrow.name, 64);
    out->classFlags = narrow.classFlags;
    std::memcpy(out->subCategories, narrow.subCategories, sizeof out->subCategories);
    copy_utf16(out->vendor, narrow.vendor, 64);
    copy_utf16(out->version, narrow.version, 64);
    copy_utf16(out->sdkVersion, narrow.sdkVersion, 64);
    return kResultOk;
}

tresult factory::createInstance(FIDString cid, FIDString iid, void** obj) {
    return vst3_guarded(kInternalError, [&] {
        if (obj == nullptr) return kInvalidArgument;
        *obj = nullptr;
        if (cid == nullptr || std::memcmp(cid, cid_, sizeof cid_) != 0) return kInvalidArgument;
        vst3_component* made = vst3_component::create();
        if (made == nullptr) return kInternalError;
        // The host's reference comes from the query; the one made with the object goes.
        const tresult result = iid != nullptr ? made->queryInterface(iid, obj) : kNoInterface;
        made->release();
        return result;
    });
}

}  // namespace

IPluginFactory3* vst3_plugin_factory() {
    // Described once, on first use, from a factory of the plug-in made for the purpose.
    static factory* const the_factory = []() -> factory* {
        std::unique_ptr<axo_factory_i> plugin_factory(get_axoi(0));
        vst3_class_info info{};
        if (!describe_vst3_class(plugin_factory.get(), info)) return nullptr;
        static factory made(info);
        return &made;
    }();
    if (the_factory != nullptr) the_factory->addRef();
    return the_factory;
}
