// Parameters: objects owned by a concrete plug-in, each holding one user-controllable value
// with what a host needs to present it. A parameter registers itself with its owner while
// it is constructed, so indices follow construction order.
#pragma once

#include <string>

#include "axo_lock.h"

class axo_plugin;

// Marks a constructor argument as not given, so that its default applies.
constexpr float AXO_PARAM_DEFAULT = -1000000000.0f;
constexpr int AXO_PARAM_DEFAULT_CURVE = -1000000000;

class axo_param {
public:
    axo_param(axo_plugin* owner, const char* name);
    virtual ~axo_param();
    axo_param(const axo_param&) = delete;
    axo_param& operator=(const axo_param&) = delete;

    virtual void set_value(float v);
    virtual float get_value();
    virtual void set_int(int v);
    virtual int get_int();
    virtual void mark_changed();
    virtual void clear_changed();
    virtual const char* get_name();
    virtual const char* get_option_text(int option);
    virtual float get_range(int selector);
    virtual float get_step();
    virtual int get_curve();
    virtual float get_factor();
    virtual void clear_event_extras();
    virtual int get_flags();

    // Fields read without the lock: written only while the owner builds itself.
    int value_type() const { return value_type_; }
    int kind() const { return kind_; }
    int index() const { return index_; }
    int group() const { return group_; }
    int visibility() const { return visibility_; }
    int changed() const { return changed_; }

    void set_kind(int kind) { kind_ = kind; }
    void set_group(int group) { group_ = group; }
    void set_visibility(int visibility) { visibility_ = visibility; }

protected:
    axo_plugin* owner_;
    axo_lock lock_;
    int value_type_;
    int kind_;
    int index_;
    int group_;
    int visibility_;
    int changed_;
    std::string name_;
};

// A real value with bounds and host-mapping attributes.
class axo_param_float : public axo_param {
public:
    // Every real argument but value may be AXO_PARAM_DEFAULT and curve may be
    // AXO_PARAM_DEFAULT_CURVE. The value is stored without clamping.
    axo_param_float(axo_plugin* owner, const char* name, float value, float minimum, float maximum,
                    float step, float map_low, float map_high, int curve, float factor);

    void set_value(float v) override;
    float get_value() override;
    void set_int(int v) override;
    int get_int() override;
    float get_range(int selector) override;
    float get_step() override;
    int get_curve() override;
    float get_factor() override;
    void clear_event_extras() override;
    int get_flags() override;

    // Extras of the last real-parameter record applied in the current processing call.
    void set_event_extras(float extra_1, float extra_2);
    float event_extra_1() const { return event_extra_1_; }
    float event_extra_2() const { return event_extra_2_; }

protected:
    float value_;
    float minimum_;
    float maximum_;
    float map_low_;
    float map_high_;
    int curve_;
    float factor_;
    float step_;
    int flags_;
    float event_extra_1_;
    float event_extra_2_;
};

// A linear gain factor (AXO_KIND_GAIN).
class axo_param_volume : public axo_param_float {
public:
    axo_param_volume(axo_plugin* owner, const char* name, float value, float minimum, float maximum,
                     float step, float map_low, float map_high, int curve, float factor);
};

// A time in seconds (AXO_KIND_TIME).
class axo_param_delay : public axo_param_float {
public:
    axo_param_delay(axo_plugin* owner, const char* name, float value, float minimum, float maximum,
                    float step, float map_low, float map_high, int curve, float factor);
};
