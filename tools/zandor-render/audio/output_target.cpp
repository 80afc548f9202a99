#include "audio/output_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "render_error.h"

namespace {

[[noreturn]] void cannot_write(const std::string& name) {
    throw render_error(exit_status::output, "cannot write " + name + ": " + std::strerror(errno));
}

void copy_all(int from, int to, const std::string& name) {
    if (lseek(from, 0, SEEK_SET) != 0) cannot_write(name);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) cannot_write(name);
        if (n == 0) return;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) cannot_write(name);
            done += w;
        }
    }
}

}  // namespace

void ensure_folder(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::is_directory(dir, error)) return;
    if (fs::exists(dir, error))
        throw render_error(exit_status::output, "cannot write into " + dir + ": not a folder");
    fs::create_directories(dir, error);
    if (error)
        throw render_error(exit_status::output, "cannot create " + dir + ": " + error.message());
}

std::string temporary_folder() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

output_target::output_target(const std::string& path, bool no_clobber) : name_(path) {
    struct stat st {};
    struct stat out {};
    // "/dev/stdout" and the like name standard output too, even when it is a regular file.
    const bool is_our_stdout = path != "-" && stat(path.c_str(), &st) == 0 &&
                               fstat(STDOUT_FILENO, &out) == 0 && st.st_dev == out.st_dev &&
                               st.st_ino == out.st_ino;
    if (path == "-" || is_our_stdout) {
        stdout_ = true;
        if (path == "-") name_ = "standard output";
    } else if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        if (no_clobber) {
            throw render_error(exit_status::output,
                               "not writing " + path + ": it exists (--no-clobber)");
        }
        if (access(path.c_str(), W_OK) != 0) cannot_write(path);
        device_ = path;
    }
    if (stdout_ || !device_.empty()) {
        // Never committed: removed when the render is over.
        file_.emplace(
            (std::filesystem::path(temporary_folder()) / "zandor-render-output").string());
    } else {
        file_.emplace(path, no_clobber);
    }
}

void output_target::commit() {
    if (stdout_) {
        copy_all(file_->fd(), STDOUT_FILENO, name_);
        return;
    }
    if (device_.empty()) {
        file_->commit();
        return;
    }
    // A FIFO blocks here until something reads it.
    const int to = open(device_.c_str(), O_WRONLY | O_CLOEXEC);
    if (to < 0) cannot_write(name_);
    try {
        copy_all(file_->fd(), to, name_);
    } catch (...) {
        close(to);
        throw;
    }
    if (close(to) != 0) cannot_write(name_);
}
