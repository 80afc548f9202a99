// What the tool needs from a plug-in to find, set and read its parameters: the calls a VST
// host has (effGetParamName, effGetParamDisplay, getParameter, setParameter) plus a way to
// put every setting back exactly after probing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class parameter_access {
public:
    virtual ~parameter_access() = default;
    virtual int parameter_count() = 0;
    virtual std::string parameter_name(int index) = 0;
    // The text a host shows for the current value, with its unit: "-6.0dB", "200ms".
    virtual std::string parameter_display(int index) = 0;
    virtual float parameter_position(int index) = 0;  // normalised 0..1
    virtual void set_parameter_position(int index, float position) = 0;
    // All settings as opaque bytes, and their exact restoration; probing a parameter through
    // its positions must not leave a rounded value behind.
    virtual std::vector<uint8_t> save_settings() = 0;
    virtual void restore_settings(const std::vector<uint8_t>& settings) = 0;
};
