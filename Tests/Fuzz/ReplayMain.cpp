// Runs a fuzz target's entry point once per file, for every file named on the
// command line or found (not recursively) in a folder named there. Built
// with the program's own compiler and sanitizers, it replays the kept corpus
// and the regression inputs as an ordinary test; a broken property or a
// sanitizer report fails the run and names the file.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->insert(out->end(), buffer, buffer + n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

void CollectFiles(const std::string& path, std::vector<std::string>* files) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        files->push_back(path);
        return;
    }
    DIR* dir = opendir(path.c_str());
    if (!dir) return;
    std::vector<std::string> found;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || name[0] == '.') continue;
        const std::string full = path + "/" + name;
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) found.push_back(full);
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    files->insert(files->end(), found.begin(), found.end());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) CollectFiles(argv[i], &files);
    if (files.empty()) {
        std::fprintf(stderr, "replay: no input files\n");
        return 2;
    }
    std::vector<uint8_t> bytes;
    for (const std::string& file : files) {
        if (!ReadFile(file, &bytes)) {
            std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
            return 2;
        }
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
        // A copy of exactly the file's size, so a read past the end is caught.
        std::vector<uint8_t> exact(bytes);
        LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
    }
    std::fprintf(stderr, "replay: %zu inputs passed\n", files.size());
    return 0;
}
