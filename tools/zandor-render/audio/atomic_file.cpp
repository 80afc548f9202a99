#include "audio/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "render_error.h"

namespace {

// Temporary files that an interrupt must remove. The handler may only make async-signal-safe
// calls, so the paths live in fixed buffers that it reads without locking.
// Renders running side by side each hold up to two temporary files.
constexpr int max_pending = 160;
constexpr size_t max_path = 4096;
char pending_paths[max_pending][max_path];
volatile sig_atomic_t pending_used[max_pending];
std::mutex pending_lock;  // between registering threads; the handler only reads

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
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(s, remove_pending_and_exit);
}

int register_pending(const std::string& path) {
    if (path.size() >= max_path) return -1;
    const std::lock_guard<std::mutex> hold(pending_lock);
    install_handlers_once();
    for (int i = 0; i < max_pending; ++i) {
        if (pending_used[i]) continue;
        std::memcpy(pending_paths[i], path.c_str(), path.size() + 1);
        pending_used[i] = 1;
        return i;
    }
    return -1;
}

void release_pending(int slot) {
    if (slot < 0) return;
    const std::lock_guard<std::mutex> hold(pending_lock);
    pending_used[slot] = 0;
}

std::string directory_of(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

std::string base_name_of(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Follows symlinks at `path` (also a link whose target does not exist yet), so that the
// rename replaces the target and leaves the link in place.
std::string follow_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 2);
        const ssize_t n = readlink(path.c_str(), target.data(), target.size() - 1);
        if (n < 0) return path;
        const std::string next(target.data(), static_cast<size_t>(n));
        const std::filesystem::path target_path = next;
        path = target_path.is_absolute()
                   ? next
                   : (std::filesystem::path(directory_of(path)) / target_path).string();
    }
    throw render_error(exit_status::output, "cannot write " + path + ": too many symlinks");
}

mode_t current_umask() {
    FILE* status = std::fopen("/proc/self/status", "r");
    unsigned mask = 022;
    if (status != nullptr) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        }
        std::fclose(status);
    }
    return static_cast<mode_t>(mask);
}

}  // namespace

atomic_file::atomic_file(const std::string& final_path, bool no_clobber)
    : final_path_(final_path), real_path_(follow_links(final_path)), no_clobber_(no_clobber) {
    struct stat st {};
    const bool exists = stat(real_path_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        throw render_error(exit_status::output,
                           "cannot write " + final_path + ": it is a directory");
    if (exists && no_clobber)
        throw render_error(exit_status::output,
                           "not writing " + final_path + ": it exists (--no-clobber)");
    // Renaming over a write-protected file would succeed; refuse it as writing into it would.
    if (access(final_path.c_str(), F_OK) == 0 && access(final_path.c_str(), W_OK) != 0) {
        throw render_error(exit_status::output,
                           "cannot write " + final_path + ": " + std::strerror(errno));
    }
    std::string pattern = directory_of(real_path_) + "/." + base_name_of(real_path_) + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = mkstemp(buffer.data());
    if (fd_ < 0) {
        throw render_error(exit_status::output,
                           "cannot write " + final_path + ": " + std::strerror(errno));
    }
    temp_path_ = buffer.data();
    slot_ = register_pending(temp_path_);
    // mkstemp creates the file readable by its owner only. A file that is replaced keeps its
    // permissions and owner; a new one gets the usual permissions of a new file. (umask is
    // read from /proc rather than set and reset, which would race with other threads.)
    if (exists) {
        if (fchown(fd_, st.st_uid, st.st_gid) != 0) {
            // Only the owner or root may give a file away; the file is then the caller's.
        }
        fchmod(fd_, st.st_mode & 07777);
    } else {
        fchmod(fd_, 0666 & ~current_umask());
    }
}

void atomic_file::restart() {
    if (fd_ < 0 || ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0) {
        throw render_error(exit_status::output,
                           "cannot write " + final_path_ + ": " + std::strerror(errno));
    }
}

atomic_file::~atomic_file() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temp_path_.c_str());
    release_pending(slot_);
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
    // link() refuses an existing name where rename() would replace it.
    const bool placed = no_clobber_ ? link(temp_path_.c_str(), real_path_.c_str()) == 0 &&
                                          unlink(temp_path_.c_str()) == 0
                                    : std::rename(temp_path_.c_str(), real_path_.c_str()) == 0;
    if (!placed) {
        if (no_clobber_ && errno == EEXIST)
            throw render_error(exit_status::output,
                               "not writing " + final_path_ + ": it exists (--no-clobber)");
        throw render_error(exit_status::output,
                           "cannot write " + final_path_ + ": " + std::strerror(errno));
    }
    committed_ = true;
    release_pending(slot_);
    slot_ = -1;
}
