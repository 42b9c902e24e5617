// Path: the program's one file-name value type. Every file name the program
// builds goes through Path::Append, which normalises separators to '/',
// collapses runs of separators (a leading "//" survives), and drops a trailing
// separator. Plain value type; no locking.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class Path {
public:
    Path() = default;
    explicit Path(std::string_view text) { Append(text); }

    // Adds `text` as a further component (see the rules in Path.cpp).
    Path& Append(const char* text, size_t length);
    Path& Append(std::string_view text) { return Append(text.data(), text.size()); }

    const std::string& Text() const { return text_; }
    const char* CStr() const { return text_.c_str(); }
    size_t Length() const { return text_.size(); }
    bool Empty() const { return text_.empty(); }

    // The last component and what follows the last '.' appended in it.
    std::string_view Name() const { return std::string_view(text_).substr(nameStart_); }
    std::string_view Extension() const { return std::string_view(text_).substr(extensionStart_); }
    size_t NameStart() const { return nameStart_; }
    size_t ExtensionStart() const { return extensionStart_; }

    bool operator==(const Path& other) const { return text_ == other.text_; }
    bool operator!=(const Path& other) const { return text_ != other.text_; }

private:
    std::string text_;
    size_t nameStart_ = 0;
    size_t extensionStart_ = 0;
};

// Convenience: a copy of `base` with `component` appended.
inline Path Join(const Path& base, std::string_view component) {
    Path p = base;
    p.Append(component);
    return p;
}
