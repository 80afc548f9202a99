// A file that appears under its final name only when it is complete.
#pragma once

#include <string>

// Creates a hidden temporary file beside `final_path` (same directory, so the final rename
// cannot cross file systems). commit() renames it into place; destroying an uncommitted
// atomic_file removes it, and so does an interrupt (SIGINT, SIGTERM, SIGHUP) or a closed pipe
// (SIGPIPE) while it exists.
// A failed render therefore never leaves a half-written file behind, nor replaces an older
// good one. A symlink at final_path is followed, so the link stays a link and its target
// gets the new contents; an existing file keeps its permission bits (and its owner, where the
// tool may set it).
class atomic_file {
public:
    // Throws render_error(output) naming final_path when the directory is not writable, and
    // with `no_clobber` when final_path exists (checked again, without a race, at commit).
    explicit atomic_file(const std::string& final_path, bool no_clobber = false);
    ~atomic_file();
    atomic_file(const atomic_file&) = delete;
    atomic_file& operator=(const atomic_file&) = delete;

    // The open descriptor of the temporary file; it stays owned by this object.
    int fd() const { return fd_; }
    const std::string& final_path() const { return final_path_; }
    const std::string& temp_path() const { return temp_path_; }

    // Empties the temporary file for a new attempt at its contents.
    void restart();

    // Writes all of `size` bytes at the current position; throws render_error(output).
    void write_all(const void* data, size_t size);

    // Closes the descriptor if still held and renames the file into place.
    void commit();

private:
    std::string final_path_;  // as given, for messages
    std::string real_path_;   // with symlinks followed: what commit replaces
    std::string temp_path_;
    bool no_clobber_ = false;
    int fd_ = -1;
    int slot_ = -1;
    bool committed_ = false;
};
