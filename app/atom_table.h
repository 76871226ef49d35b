// The global atom table's rules for string atoms: one 16-bit atom per name from 0xC000
// up, names matched without regard to case, and a reference count: adding a name again
// returns its atom, and the atom goes when it has been deleted as often as it was added.
#ifndef VELMORIN_APP_ATOM_TABLE_H
#define VELMORIN_APP_ATOM_TABLE_H

#include <cstdint>
#include <map>
#include <string>

class AtomTable {
  public:
    // 0 when the table is full.
    uint16_t Add(const char* name);
    // Unknown atoms are ignored.
    void Delete(uint16_t atom);
    // 0 when the name has no atom.
    uint16_t Find(const char* name) const;

  private:
    struct Entry {
        std::string name;
        unsigned references;
    };
    static std::string Key(const char* name);
    std::map<uint16_t, Entry> entries_;
};

#endif
