// The input of a render as a file that can be read more than once: the named file, or
// standard input ("-") copied to a temporary file first, since measuring passes and
// re-renders read the input again.
#pragma once

#include <optional>
#include <string>

#include "audio/atomic_file.h"

class input_source {
public:
    // Throws render_error(input) when standard input cannot be copied.
    explicit input_source(const std::string& path);

    const std::string& path() const { return path_; }  // for opening
    const std::string& name() const { return name_; }  // for messages and reports

private:
    std::string path_;
    std::string name_;
    std::optional<atomic_file> spool_;
};
