#include "support/vst3_host.h"

#include <algorithm>
#include <cstring>

using namespace vst3;

namespace {

bool same_uid(const char* id, const uid& known) {
    return id != nullptr && std::memcmp(id, known.bytes, sizeof known.bytes) == 0;
}

// The host objects answer FUnknown and their own interface only.
tresult answer(const char* iid, const uid& own, FUnknown* self, void** obj) {
    if (obj == nullptr) return kInvalidArgument;
    *obj = same_uid(iid, FUnknown_iid) || same_uid(iid, own) ? self : nullptr;
    return *obj != nullptr ? kResultOk : kNoInterface;
}

template <typename I>
I* query(FUnknown* object, const uid& iid) {
    void* obj = nullptr;
    if (object == nullptr ||
        object->queryInterface(reinterpret_cast<const char*>(iid.bytes), &obj) != kResultOk) {
        return nullptr;
    }
    return static_cast<I*>(obj);
}

}  // namespace

tresult vst3_memory_stream::queryInterface(const char* iid, void** obj) {
    return answer(iid, IBStream_iid, this, obj);
}

tresult vst3_memory_stream::read(void* buffer, int32 n, int32* done) {
    const size_t count = n > 0 ? std::min(static_cast<size_t>(n), data_.size() - at_) : 0;
    if (count > 0) std::memcpy(buffer, data_.data() + at_, count);
    at_ += count;
    if (done != nullptr) *done = static_cast<int32>(count);
    return kResultOk;
}

tresult vst3_memory_stream::write(void* buffer, int32 n, int32* done) {
    if (n < 0 || (n > 0 && buffer == nullptr)) return kInvalidArgument;
    const auto* from = static_cast<const unsigned char*>(buffer);
    if (data_.size() < at_ + static_cast<size_t>(n)) data_.resize(at_ + static_cast<size_t>(n));
    std::copy(from, from + n, data_.begin() + static_cast<std::ptrdiff_t>(at_));
    at_ += static_cast<size_t>(n);
    if (done != nullptr) *done = n;
    return kResultOk;
}

tresult vst3_memory_stream::seek(int64 pos, int32 mode, int64* result) {
    const int64 base = mode == 0   ? 0
                       : mode == 1 ? static_cast<int64>(at_)
                                   : static_cast<int64>(data_.size());
    if (base + pos < 0) return kInvalidArgument;
    at_ = static_cast<size_t>(base + pos);
    if (result != nullptr) *result = static_cast<int64>(at_);
    return kResultOk;
}

tresult vst3_memory_stream::tell(int64* pos) {
    if (pos != nullptr) *pos = static_cast<int64>(at_);
    return kResultOk;
}

tresult vst3_value_queue::queryInterface(const char* iid, void** obj) {
    return answer(iid, IParamValueQueue_iid, this, obj);
}

int32 vst3_value_queue::getPointCount() {
    return static_cast<int32>(points.size());
}

tresult vst3_value_queue::getPoint(int32 index, int32& offset, ParamValue& value) {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    offset = points[static_cast<size_t>(index)].first;
    value = points[static_cast<size_t>(index)].second;
    return kResultOk;
}

tresult vst3_value_queue::addPoint(int32 offset, ParamValue value, int32& index) {
    index = getPointCount();
    points.emplace_back(offset, value);
    return kResultOk;
}

vst3_value_queue& vst3_changes::queue(ParamID id) {
    for (auto& q : queues_) {
        if (q->getParameterId() == id) return *q;
    }
    queues_.push_back(std::make_unique<vst3_value_queue>(id));
    return *queues_.back();
}

double vst3_changes::last(ParamID id) const {
    for (const auto& q : queues_) {
        if (q->getParameterId() == id && !q->points.empty()) return q->points.back().second;
    }
    return -1.0;
}

tresult vst3_changes::queryInterface(const char* iid, void** obj) {
    return answer(iid, IParameterChanges_iid, this, obj);
}

int32 vst3_changes::getParameterCount() {
    return static_cast<int32>(queues_.size());
}

IParamValueQueue* vst3_changes::getParameterData(int32 index) {
    return index >= 0 && index < getParameterCount() ? queues_[static_cast<size_t>(index)].get()
                                                     : nullptr;
}

IParamValueQueue* vst3_changes::addParameterData(const ParamID& id, int32& index) {
    vst3_value_queue* q = &queue(id);
    for (index = 0; getParameterData(index) != q; ++index) {
    }
    return q;
}

vst3_module::vst3_module(const std::string& binary) : loader_(binary) {
#if defined(_WIN32)
    auto entry = loader_.function<bool (*)()>("InitDll");
    entered_ = entry != nullptr && entry();
#else
    auto entry = loader_.function<bool (*)(void*)>("ModuleEntry");
    entered_ = entry != nullptr && entry(nullptr);
#endif
    auto get_factory = loader_.function<IPluginFactory*(VST3_CALL*)()>("GetPluginFactory");
    if (entered_ && get_factory != nullptr) factory_ = get_factory();
}

vst3_module::~vst3_module() {
    if (factory_ != nullptr) factory_->release();
    if (!entered_) return;
#if defined(_WIN32)
    if (auto exit = loader_.function<bool (*)()>("ExitDll")) exit();
#else
    if (auto exit = loader_.function<bool (*)()>("ModuleExit")) exit();
#endif
}

uid vst3_module::class_id() const {
    PClassInfo info{};
    uid id{};
    if (factory_ != nullptr && factory_->getClassInfo(0, &info) == kResultOk) {
        std::memcpy(id.bytes, info.cid, sizeof id.bytes);
    }
    return id;
}

vst3_instance::vst3_instance(const vst3_module& module) {
    if (module.factory() == nullptr) return;
    const uid cid = module.class_id();
    void* obj = nullptr;
    if (module.factory()->createInstance(reinterpret_cast<const char*>(cid.bytes),
                                         reinterpret_cast<const char*>(IComponent_iid.bytes),
                                         &obj) != kResultOk) {
        return;
    }
    component = static_cast<IComponent*>(obj);
    processor = query<IAudioProcessor>(component, IAudioProcessor_iid);
    controller = query<IEditController>(component, IEditController_iid);
}

vst3_instance::~vst3_instance() {
    if (started_) stop();
    if (component != nullptr) component->terminate();
    for (FUnknown* held : std::initializer_list<FUnknown*>{controller, processor, component}) {
        if (held != nullptr) held->release();
    }
}

bool vst3_instance::start(int channels, double rate, int max_block) {
    if (component == nullptr || processor == nullptr || controller == nullptr) return false;
    SpeakerArrangement arrangement = channels == 1 ? kSpeakerArrMono : kSpeakerArrStereo;
    ProcessSetup setup{kRealtime, kSample32, max_block, rate};
    started_ = component->initialize(nullptr) == kResultOk &&
               processor->setBusArrangements(&arrangement, 1, &arrangement, 1) == kResultTrue &&
               processor->setupProcessing(setup) == kResultOk &&
               component->setActive(1) == kResultOk && processor->setProcessing(1) == kResultOk;
    return started_;
}

void vst3_instance::stop() {
    processor->setProcessing(0);
    component->setActive(0);
    started_ = false;
}

tresult vst3_instance::process(std::vector<std::vector<float>>& in,
                               std::vector<std::vector<float>>& out, vst3_changes* changes) {
    std::vector<float*> ins, outs;
    for (auto& c : in) ins.push_back(c.data());
    for (auto& c : out) outs.push_back(c.data());
    AudioBusBuffers in_bus{static_cast<int32>(ins.size()), 0, {ins.data()}};
    AudioBusBuffers out_bus{static_cast<int32>(outs.size()), 0, {outs.data()}};
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = in.empty() ? 0 : static_cast<int32>(in[0].size());
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &in_bus;
    data.outputs = &out_bus;
    data.inputParameterChanges = changes;
    output_changes = vst3_changes{};
    data.outputParameterChanges = &output_changes;
    return processor->process(data);
}

bytes vst3_instance::state() {
    vst3_memory_stream stream;
    if (component->getState(&stream) != kResultOk) return {};
    return stream.data();
}

tresult vst3_instance::set_state(const bytes& state) {
    vst3_memory_stream stream(state);
    return component->setState(&stream);
}
