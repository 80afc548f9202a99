// The command line of zandor-render, read into one record before anything is opened.
#pragma once

#include <string>

#include "delivery/render_options.h"

// Reads argv. Throws render_error (usage) with one line naming the offending option and value.
render_options parse_render_options(int argc, const char* const* argv);

// The text that --help prints, made from the option declarations.
std::string render_usage();

// The line that --version prints: the tool's name and the product's version.
std::string render_version();
