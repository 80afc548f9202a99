#include "delivery/batch_render.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "audio/output_target.h"
#include "delivery/file_render.h"
#include "render_error.h"

namespace fs = std::filesystem;

namespace {

// The output's name: the input's file name, with the extension --format names.
fs::path output_name(const render_options& o, const std::string& input) {
    fs::path name = fs::path(input).filename();
    if (!o.format) return name;
    std::string extension = *o.format;
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name.replace_extension(extension);
}

// Each input's output path; empty for a second input that would write where an earlier one
// does.
std::vector<std::string> output_paths(const render_options& o) {
    std::vector<std::string> outputs;
    std::set<std::string> claimed;
    for (const std::string& input : o.inputs) {
        std::string path = (fs::path(o.out_dir) / output_name(o, input)).string();
        if (!claimed.insert(path).second) path.clear();
        outputs.push_back(std::move(path));
    }
    return outputs;
}

// The batch's files, handed to the workers one by one and to `ready` in order.
class batch {
public:
    batch(const render_options& o, const std::function<void(const batch_outcome&)>& ready)
        : o_(o),
          ready_(ready),
          outputs_(output_paths(o)),
          outcomes_(o.inputs.size()),
          done_(o.inputs.size(), false) {}

    void work() {
        for (size_t i; (i = next_++) < outcomes_.size();) {
            batch_outcome outcome = render_one(i);
            const std::lock_guard<std::mutex> hold(lock_);
            outcomes_[i] = std::move(outcome);
            done_[i] = true;
            for (; handed_ < outcomes_.size() && done_[handed_]; ++handed_)
                ready_(outcomes_[handed_]);
        }
    }

    int worst_status() const {
        int worst = 0;
        for (const batch_outcome& r : outcomes_) worst = std::max(worst, r.status);
        return worst;
    }

private:
    batch_outcome render_one(size_t i) {
        batch_outcome outcome;
        outcome.input = o_.inputs[i];
        auto failed = [&](exit_status status, const std::string& message) {
            outcome.status = static_cast<int>(status);
            outcome.error = message;
        };
        try {
            if (o_.inputs[i] == "-")
                throw render_error(exit_status::usage, "standard input cannot be batched");
            if (outputs_[i].empty()) {
                throw render_error(
                    exit_status::output,
                    "another input already renders to " +
                        (fs::path(o_.out_dir) / output_name(o_, o_.inputs[i])).string());
            }
            outcome.report = render_file(o_, {}, o_.inputs[i], outputs_[i], nullptr);
        } catch (const render_error& e) {
            failed(e.code(), e.what());
        } catch (const std::bad_alloc&) {
            failed(exit_status::failure, "out of memory");
        } catch (const std::exception& e) {
            failed(exit_status::failure, e.what());
        }
        return outcome;
    }

    const render_options& o_;
    const std::function<void(const batch_outcome&)>& ready_;
    const std::vector<std::string> outputs_;
    std::vector<batch_outcome> outcomes_;
    std::vector<bool> done_;
    std::atomic<size_t> next_{0};
    std::mutex lock_;
    size_t handed_ = 0;
};

// Renders at once: as many as asked (one per core by default), but no more than the cores,
// which more renders would only share, nor than the open-file limit allows: each render holds
// a few files open at a time (its input, its output's temporary file and libsndfile's copy of
// it, a lossy output read back), and the tool itself keeps some.
size_t jobs_for(const render_options& o) {
    constexpr size_t files_per_render = 4;
    constexpr size_t files_kept = 32;
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    size_t open_files = 1 << 20;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        open_files = static_cast<size_t>(limit.rlim_cur);
    const size_t by_files = open_files > files_kept + files_per_render
                                ? (open_files - files_kept) / files_per_render
                                : 1;
    const size_t asked = o.jobs > 0 ? static_cast<size_t>(o.jobs) : cores;
    return std::max<size_t>(1, std::min({asked, cores, by_files, o.inputs.size()}));
}

}  // namespace

int render_batch(const render_options& o, const std::function<void(const batch_outcome&)>& ready) {
    ensure_folder(o.out_dir);
    batch files(o, ready);
    const size_t jobs = jobs_for(o);
    std::vector<std::thread> threads;
    for (size_t j = 1; j < jobs; ++j) threads.emplace_back([&files] { files.work(); });
    files.work();
    for (std::thread& t : threads) t.join();
    return files.worst_status();
}
