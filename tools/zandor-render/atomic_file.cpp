#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "render_error.h"

namespace {

// Temporary files that an interrupt must remove. The handler may only make async-signal-safe
// calls, so the paths live in fixed buffers that it reads without locking.
constexpr int max_pending = 4;
constexpr size_t max_path = 4096;
char pending_paths[max_pending][max_path];
volatile sig_atomic_t pending_used[max_pending];

extern "C" void remove_pending_and_exit(int signal_number) {
    for (int i = 0; i < max_pending; ++i) {
        if (pending_used[i]) unlink(pending_paths[i]);
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void install_handlers_once() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, remove_pending_and_exit);
}

int register_pending(const std::string& path) {
    if (path.size() >= max_path) return -1;
    install_handlers_once();
    for (int i = 0; i < max_pending; ++i) {
        if (pending_used[i]) continue;
        std::memcpy(pending_paths[i], path.c_str(), path.size() + 1);
        pending_used[i] = 1;
        return i;
    }
    return -1;
}

std::string directory_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string base_name_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

atomic_file::atomic_file(const std::string& final_path) : final_path_(final_path) {
    struct stat st {};
    if (stat(final_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw render_error(exit_status::output,
                           "cannot write " + final_path + ": it is a directory");
    // Renaming over a write-protected file would succeed; refuse it as writing into it would.
    if (access(final_path.c_str(), F_OK) == 0 && access(final_path.c_str(), W_OK) != 0) {
        throw render_error(exit_status::output,
                           "cannot write " + final_path + ": " + std::strerror(errno));
    }
    std::string pattern = directory_of(final_path) + "/." + base_name_of(final_path) + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = mkstemp(buffer.data());
    if (fd_ < 0) {
        throw render_error(exit_status::output,
                           "cannot write " + final_path + ": " + std::strerror(errno));
    }
    temp_path_ = buffer.data();
    slot_ = register_pending(temp_path_);
    // mkstemp creates the file readable by its owner only; a result should get the usual
    // permissions of a new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
}

atomic_file::~atomic_file() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temp_path_.c_str());
    if (slot_ >= 0) pending_used[slot_] = 0;
}

void atomic_file::write_all(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            throw render_error(exit_status::output,
                               "cannot write " + final_path_ + ": " + std::strerror(errno));
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

void atomic_file::commit() {
    if (fd_ >= 0) {
        const int result = close(fd_);
        fd_ = -1;
        if (result != 0) {
            throw render_error(exit_status::output,
                               "cannot write " + final_path_ + ": " + std::strerror(errno));
        }
    }
    if (std::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
        throw render_error(exit_status::output,
                           "cannot write " + final_path_ + ": " + std::strerror(errno));
    }
    committed_ = true;
    if (slot_ >= 0) pending_used[slot_] = 0;
    slot_ = -1;
}
