#pragma once

#include <stdexcept>
#include <string>

// A programming error that ordinary input cannot reach. Nothing in the program
// catches it.
class InternalInconsistency : public std::logic_error {
public:
    explicit InternalInconsistency(const std::string& reason) : std::logic_error(reason) {}
};
