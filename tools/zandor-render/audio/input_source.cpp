#include "audio/input_source.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "audio/output_target.h"
#include "render_error.h"

input_source::input_source(const std::string& path) : path_(path), name_(path) {
    if (path != "-") return;
    name_ = "standard input";
    spool_.emplace((std::filesystem::path(temporary_folder()) / "zandor-render-input").string());
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            throw render_error(exit_status::input,
                               "cannot read standard input: " + std::string(std::strerror(errno)));
        }
        if (n == 0) break;
        spool_->write_all(buffer, static_cast<size_t>(n));
    }
    path_ = spool_->temp_path();
}
