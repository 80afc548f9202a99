// One parameter setting as the user asked for it. `option` is how the user spelled it
// ("--threshold" or "--set"), so that a refusal can quote the user's own words.
#pragma once

#include <string>

struct parameter_request {
    std::string option;
    std::string name;
    std::string value;
};
