// Where a render's file goes. A regular file (or a new name) is written atomically beside
// itself; anything else (standard output as "-", a character device such as /dev/null, a
// FIFO) is opened and written in place, never replaced. Either way the file is first made
// whole in a temporary file, so that it can be read back and measured, and made again when a
// target is missed, before anyone downstream sees a byte of it.
#pragma once

#include <optional>
#include <string>

#include "audio/atomic_file.h"

class output_target {
public:
    // Claims the output: throws render_error(output) when it cannot be written, is a
    // directory, or exists under --no-clobber.
    output_target(const std::string& path, bool no_clobber);

    // The name for messages and reports.
    const std::string& name() const { return name_; }
    bool is_stdout() const { return stdout_; }
    // The temporary file being written, open for writing, and its path for reading back.
    int fd() const { return file_->fd(); }
    const std::string& temp_path() const { return file_->temp_path(); }

    // Empties the temporary file for another attempt.
    void restart() { file_->restart(); }

    // Puts the finished file where it belongs: renamed into place, or copied into the stream.
    void commit();

private:
    std::string name_;
    std::string device_;  // a non-regular destination, opened at commit
    bool stdout_ = false;
    std::optional<atomic_file> file_;
};

// Creates the folder `dir` and its missing parents; throws render_error(output) when it
// cannot, or when `dir` is something other than a folder.
void ensure_folder(const std::string& dir);

// The folder for temporary files that have no destination folder: $TMPDIR, else /tmp.
std::string temporary_folder();
