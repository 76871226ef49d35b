// Little-endian reading of a resource's bytes (dialog templates, version blocks), for the
// tests that compare the built resources with their design.
#ifndef VELMORIN_TESTS_WINDOWS_RESOURCE_READER_H
#define VELMORIN_TESTS_WINDOWS_RESOURCE_READER_H

#include "base/win32_headers.h"

#include <cstring>
#include <string>

class ResourceReader {
  public:
    explicit ResourceReader(const BYTE* base) : base_(base), p_(base) {}
    BYTE Byte() { return *p_++; }
    WORD Word() {
        WORD w;
        std::memcpy(&w, p_, 2);
        p_ += 2;
        return w;
    }
    short Short() { return static_cast<short>(Word()); }
    DWORD Dword() {
        DWORD d;
        std::memcpy(&d, p_, 4);
        p_ += 4;
        return d;
    }
    // A NUL-ended UTF-16 string; the tests' texts are ASCII.
    std::string String() {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word())
            s += static_cast<char>(c);
        return s;
    }
    // A name or an ordinal: ordinals come back as "#<n>", an absent entry as "".
    std::string NameOrOrdinal() {
        WORD first;
        std::memcpy(&first, p_, 2);
        if (first == 0) {
            p_ += 2;
            return "";
        }
        if (first == 0xFFFF) {
            p_ += 2;
            return "#" + std::to_string(Word());
        }
        return String();
    }
    void AlignDword() {
        while ((p_ - base_) % 4 != 0)
            ++p_;
    }
    void Skip(size_t n) { p_ += n; }
    size_t Offset() const { return static_cast<size_t>(p_ - base_); }

  private:
    const BYTE* base_;
    const BYTE* p_;
};

#endif
