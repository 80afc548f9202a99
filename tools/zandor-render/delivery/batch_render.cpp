#include "delivery/batch_render.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/report.h"
#include "delivery/file_render.h"
#include "render_error.h"

namespace {

struct file_result {
    bool done = false;
    int status = 0;
    std::string text;  // the line, or the JSON object, for this file
};

// The output's name: the input's file name, with the extension --format names.
std::string output_name(const render_options& o, const std::string& input) {
    const size_t slash = input.rfind('/');
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    if (!o.format) return name;
    std::string extension = *o.format;
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name + "." + extension;
}

std::string printed(void (*print)(std::FILE*, const render_report&), const render_report& r) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* memory = open_memstream(&buffer, &size);
    if (memory == nullptr) throw std::bad_alloc();
    print(memory, r);
    std::fclose(memory);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

}  // namespace

std::string join_path(const std::string& dir, const std::string& file) {
    if (dir.empty()) return file;
    return dir.back() == '/' ? dir + file : dir + "/" + file;
}

void make_folder(const std::string& dir) {
    for (size_t at = 1; at <= dir.size(); ++at) {
        if (at != dir.size() && dir[at] != '/') continue;
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            throw render_error(exit_status::output,
                               "cannot create " + part + ": " + std::strerror(errno));
        }
    }
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw render_error(exit_status::output, "cannot write into " + dir + ": not a folder");
}

int render_batch(const render_options& o, std::FILE* out) {
    make_folder(o.out_dir);
    const size_t count = o.inputs.size();
    std::vector<file_result> results(count);
    std::vector<std::string> outputs(count);
    std::set<std::string> claimed;
    for (size_t i = 0; i < count; ++i) {
        outputs[i] = join_path(o.out_dir, output_name(o, o.inputs[i]));
        if (!claimed.insert(outputs[i]).second) outputs[i].clear();  // a second file, same name
    }

    std::mutex lock;
    size_t printed_upto = 0;
    auto print_ready = [&] {
        for (; printed_upto < count && results[printed_upto].done; ++printed_upto) {
            if (o.json)
                std::fprintf(out, "%s%s", printed_upto == 0 ? "[\n" : ",\n",
                             results[printed_upto].text.c_str());
            else
                std::fputs(results[printed_upto].text.c_str(), out);
        }
        std::fflush(out);
    };

    auto failed = [&](size_t i, exit_status status, const std::string& message) {
        file_result r;
        r.status = static_cast<int>(status);
        r.text = o.json ? "{\"file\": " + json_string(o.inputs[i]) +
                              ", \"error\": " + json_string(message) +
                              ", \"exit_status\": " + std::to_string(r.status) + "}"
                        : o.inputs[i] + ": " + message + "\n";
        return r;
    };
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next++) < count;) {
            file_result r;
            try {
                if (o.inputs[i] == "-")
                    throw render_error(exit_status::usage, "standard input cannot be batched");
                if (outputs[i].empty()) {
                    throw render_error(exit_status::output,
                                       "another input already renders to " +
                                           join_path(o.out_dir, output_name(o, o.inputs[i])));
                }
                const render_report report = render_file(o, {}, o.inputs[i], outputs[i], nullptr);
                r.text =
                    o.json ? printed(print_json_report, report) : printed(print_batch_line, report);
                if (o.json && !r.text.empty() && r.text.back() == '\n') r.text.pop_back();
            } catch (const render_error& e) {
                r = failed(i, e.code(), e.what());
            } catch (const std::bad_alloc&) {
                r = failed(i, exit_status::failure, "out of memory");
            } catch (const std::exception& e) {
                r = failed(i, exit_status::failure, e.what());
            }
            const std::lock_guard<std::mutex> hold(lock);
            results[i] = std::move(r);
            results[i].done = true;
            print_ready();
        }
    };

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t jobs = std::min<size_t>(count, o.jobs > 0 ? static_cast<size_t>(o.jobs) : cores);
    std::vector<std::thread> threads;
    for (size_t j = 1; j < jobs; ++j) threads.emplace_back(work);
    work();
    for (std::thread& t : threads) t.join();
    if (o.json) std::fputs(count > 0 ? "\n]\n" : "[]\n", out);

    int worst = 0;
    for (const file_result& r : results) worst = std::max(worst, r.status);
    return worst;
}
