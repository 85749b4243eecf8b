// gfxExtensionListed on arbitrary extension strings and names.
// Input: first byte k, then a name of k % 64 bytes, then the extension string (the rest).
// Each is copied into a buffer of exactly its length plus the terminator, so that a read
// past either end is caught. Checked on every input:
//   - the answer is 0 or 1; an empty name or one with a blank is never listed;
//   - a yes names a place where the name stands, followed by a blank or the end;
//   - a name that is one of the blank-separated words of the string is always found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "render/gfx.h"

namespace {

std::unique_ptr<char[]> terminated(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<char[]> text(new char[size + 1]);
    std::memcpy(text.get(), data, size);
    text[size] = '\0';
    return text;
}

bool occursEndingAWord(const char* extensions, const char* name) {
    std::size_t length = std::strlen(name);
    for (const char* p = std::strstr(extensions, name); p; p = std::strstr(p + 1, name))
        if (p[length] == ' ' || p[length] == '\0') return true;
    return false;
}

bool isWord(const char* extensions, const char* name) {
    std::size_t length = std::strlen(name);
    for (const char* word = extensions; *word;) {
        std::size_t wordLength = std::strcspn(word, " ");
        if (wordLength == length && std::memcmp(word, name, length) == 0) return true;
        word += wordLength;
        while (*word == ' ') ++word;
    }
    return false;
}

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t nameSize = data[0] % 64;
    if (nameSize > size - 1) nameSize = size - 1;
    auto name = terminated(data + 1, nameSize);
    auto extensions = terminated(data + 1 + nameSize, size - 1 - nameSize);

    BYTE listed = gfxExtensionListed(extensions.get(), name.get());
    check(listed == 0 || listed == 1);
    if (name[0] == '\0' || std::strchr(name.get(), ' ')) {
        check(listed == 0);
        return 0;
    }
    if (listed) check(occursEndingAWord(extensions.get(), name.get()));
    if (isWord(extensions.get(), name.get())) check(listed == 1);
    check(gfxExtensionListed(nullptr, name.get()) == 0);
    check(gfxExtensionListed(extensions.get(), nullptr) == 0);
    return 0;
}
