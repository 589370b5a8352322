#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// One fuzz input for the list reader: the bytes are read as a list file into a list that
// already holds entries, and what a caller can rely on is checked afterwards.
class ListFileFuzzCheck {
public:
    // True when every promise held; otherwise *why says which did not.
    static bool run(const std::uint8_t* data, std::size_t size, QString* why);
};
