#include "Base/Path.h"

Path& Path::Append(const char* text, size_t length) {
    if (text == nullptr || length == 0) return *this;

    int previous = -1;  // -1: no previous character
    if (!text_.empty()) {
        text_.push_back('/');
        nameStart_ = text_.size();
        previous = '/';
    }
    extensionStart_ = text_.size() + length;

    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c != '\\' && c != '/') {
            text_.push_back(c);
            if (c == '.') extensionStart_ = text_.size();
        } else if (!(previous == '/' && text_.size() > 1)) {
            text_.push_back('/');
        }
        if (!text_.empty()) {
            previous = static_cast<unsigned char>(text_.back());
            if (previous == '/') nameStart_ = text_.size();
        }
    }

    // A dropped trailing separator must not leave the name empty: the name
    // is then the component before it ("/data/folder/" names "folder").
    if (!text_.empty() && text_.back() == '/') {
        text_.pop_back();
        if (nameStart_ > text_.size()) {
            const size_t slash = text_.rfind('/');
            nameStart_ = slash == std::string::npos ? 0 : slash + 1;
        }
    }

    if (nameStart_ > text_.size()) nameStart_ = text_.size();
    if (extensionStart_ >= text_.size()) extensionStart_ = text_.size();
    return *this;
}
