// Small helpers for tests that check files on disk byte for byte.
#pragma once

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testfiles {

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteText(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

inline bool Exists(const std::string& file) {
    struct stat st {};
    return stat(file.c_str(), &st) == 0;
}

// Lines split at '\n' (a final line feed adds no empty line).
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

// How often needle occurs in text (overlapping occurrences counted).
inline int CountOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

}  // namespace testfiles
