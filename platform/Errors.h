#pragma once
// The exceptions of our own that the programs raise and their GUI guard shows.

#include <stdexcept>
#include <string>

// An index outside a table, a value outside its allowed range, a table without
// its end mark. Ends the current operation.
class ERangeError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// A file operation that failed (open, read, write, rename).
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Range-checked table access: every table index goes through here.
template <class Table> auto& tabelle(Table& t, long long i, const char* name = "Tabelle") {
    if (i < 0 || static_cast<unsigned long long>(i) >= std::size(t))
        throw ERangeError(std::string("Bereichsfehler: ") + name + "[" + std::to_string(i) + "]");
    return t[static_cast<std::size_t>(i)];
}
