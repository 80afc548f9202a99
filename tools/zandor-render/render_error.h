// Failures of the render tool, each carrying the exit status that a script can test.
#pragma once

#include <stdexcept>
#include <string>

// Exit statuses of zandor-render. 0 is success; the others tell a calling script which
// side of the render failed without parsing the message.
enum class exit_status : int {
    ok = 0,
    failure = 1,  // anything not covered below (an internal fault, a failed measurement)
    usage = 2,    // an unknown option, a missing argument or a bad option value
    input = 3,    // the input file is missing, unreadable or in a shape the tool refuses
    plugin = 4,   // the module cannot be loaded, is not a VST 2 plug-in or refuses to start
    output = 5,   // the output file (or a saved preset) cannot be written
    preset = 6,   // a preset file is missing, damaged or made for another effect
    unmet = 7,    // the written file could not be made to meet a delivery target
};

// What each status means, for --help.
struct exit_status_meaning {
    exit_status status;
    const char* meaning;
};
constexpr exit_status_meaning exit_status_meanings[] = {
    {exit_status::ok, "success"},
    {exit_status::failure, "internal failure"},
    {exit_status::usage, "bad option or value, or a delivery target that cannot be reached"},
    {exit_status::input, "input missing, unreadable or in a shape the plug-in does not take"},
    {exit_status::plugin, "plug-in cannot be loaded"},
    {exit_status::output, "output cannot be written (or exists, with --no-clobber)"},
    {exit_status::preset, "preset missing, damaged, for another effect or not taken in full"},
    {exit_status::unmet, "a delivery target could not be met by the written file; nothing written"},
};

// Thrown by every part of the tool; main prints what() as one line and exits with code().
class render_error : public std::runtime_error {
public:
    render_error(exit_status code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    exit_status code() const { return code_; }

private:
    exit_status code_;
};
