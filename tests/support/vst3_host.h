// A VST3 host for the tests and fuzz targets: opens the built bundle's binary as a host
// does (entry, factory, exit), makes instances through the factory and drives them through
// the interfaces a host uses, with host-side streams and parameter change lists.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "module_loader.h"
#include "vst3/vst3_abi.h"

using bytes = std::vector<unsigned char>;

// A memory stream; reads start at the beginning and move on.
class vst3_memory_stream final : public vst3::IBStream {
public:
    explicit vst3_memory_stream(bytes data = {}) : data_(std::move(data)) {}
    const bytes& data() const { return data_; }

    vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
    vst3::uint32 VST3_CALL addRef() override { return 1; }
    vst3::uint32 VST3_CALL release() override { return 1; }
    vst3::tresult VST3_CALL read(void* buffer, vst3::int32 n, vst3::int32* done) override;
    vst3::tresult VST3_CALL write(void* buffer, vst3::int32 n, vst3::int32* done) override;
    vst3::tresult VST3_CALL seek(vst3::int64 pos, vst3::int32 mode, vst3::int64* result) override;
    vst3::tresult VST3_CALL tell(vst3::int64* pos) override;

private:
    bytes data_;
    size_t at_ = 0;
};

// One parameter's points for a block.
class vst3_value_queue final : public vst3::IParamValueQueue {
public:
    explicit vst3_value_queue(vst3::ParamID id) : id_(id) {}
    std::vector<std::pair<vst3::int32, double>> points;

    vst3::tresult VST3_CALL queryInterface(const char*, void** obj) override;
    vst3::uint32 VST3_CALL addRef() override { return 1; }
    vst3::uint32 VST3_CALL release() override { return 1; }
    vst3::ParamID VST3_CALL getParameterId() override { return id_; }
    vst3::int32 VST3_CALL getPointCount() override;
    vst3::tresult VST3_CALL getPoint(vst3::int32 index, vst3::int32& offset,
                                     vst3::ParamValue& value) override;
    vst3::tresult VST3_CALL addPoint(vst3::int32 offset, vst3::ParamValue value,
                                     vst3::int32& index) override;

private:
    vst3::ParamID id_;
};

// The parameter changes of one block, either way.
class vst3_changes final : public vst3::IParameterChanges {
public:
    // The queue of id, made on first use. Queues keep their addresses.
    vst3_value_queue& queue(vst3::ParamID id);
    // The last point written for id, or -1 when there is none.
    double last(vst3::ParamID id) const;

    vst3::tresult VST3_CALL queryInterface(const char*, void** obj) override;
    vst3::uint32 VST3_CALL addRef() override { return 1; }
    vst3::uint32 VST3_CALL release() override { return 1; }
    vst3::int32 VST3_CALL getParameterCount() override;
    vst3::IParamValueQueue* VST3_CALL getParameterData(vst3::int32 index) override;
    vst3::IParamValueQueue* VST3_CALL addParameterData(const vst3::ParamID& id,
                                                       vst3::int32& index) override;

private:
    std::vector<std::unique_ptr<vst3_value_queue>> queues_;
};

// The opened module: its entry called, its factory taken; released and exited on scope end.
class vst3_module {
public:
    explicit vst3_module(const std::string& binary = ZANDOR_VST3_PATH);
    ~vst3_module();
    vst3_module(const vst3_module&) = delete;
    vst3_module& operator=(const vst3_module&) = delete;

    const module_loader& loader() const { return loader_; }
    vst3::IPluginFactory* factory() const { return factory_; }
    // The first class's ID, as the factory reports it.
    vst3::uid class_id() const;

private:
    module_loader loader_;
    bool entered_ = false;
    vst3::IPluginFactory* factory_ = nullptr;
};

// One instance as a host holds it, released on scope end.
class vst3_instance {
public:
    explicit vst3_instance(const vst3_module& module);
    ~vst3_instance();
    vst3_instance(const vst3_instance&) = delete;
    vst3_instance& operator=(const vst3_instance&) = delete;

    vst3::IComponent* component = nullptr;
    vst3::IAudioProcessor* processor = nullptr;
    vst3::IEditController* controller = nullptr;

    // initialize, the arrangement of channels, setupProcessing, setActive and setProcessing,
    // each checked; false at the first that fails.
    bool start(int channels = 2, double rate = 44100.0, int max_block = 4096);
    // setProcessing(false) and setActive(false).
    void stop();
    // Processes one block of channels (each the same length) in place of out, with the
    // given input changes; the output changes land in output_changes.
    vst3::tresult process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                          vst3_changes* changes = nullptr);
    vst3_changes output_changes;

    bytes state();
    vst3::tresult set_state(const bytes& state);
    void set(vst3::ParamID id, double normalized) {
        controller->setParamNormalized(id, normalized);
    }

private:
    bool started_ = false;
};
