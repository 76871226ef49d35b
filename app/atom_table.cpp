#include "app/atom_table.h"

#include <cctype>

namespace {
constexpr uint32_t kFirstAtom = 0xC000;
constexpr uint32_t kLastAtom = 0xFFFF;
}  // namespace

std::string AtomTable::Key(const char* name) {
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

uint16_t AtomTable::Find(const char* name) const {
    const std::string key = Key(name);
    for (const auto& entry : entries_) {
        if (entry.second.name == key)
            return entry.first;
    }
    return 0;
}

uint16_t AtomTable::Add(const char* name) {
    if (uint16_t atom = Find(name)) {
        ++entries_[atom].references;
        return atom;
    }
    // The lowest free atom, so that a deleted one is used again.
    for (uint32_t atom = kFirstAtom; atom <= kLastAtom; ++atom) {
        const auto value = static_cast<uint16_t>(atom);
        if (entries_.count(value) == 0) {
            entries_[value] = Entry{Key(name), 1};
            return value;
        }
    }
    return 0;
}

void AtomTable::Delete(uint16_t atom) {
    auto it = entries_.find(atom);
    if (it != entries_.end() && --it->second.references == 0)
        entries_.erase(it);
}
