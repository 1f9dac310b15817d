// Little-endian loads and stores at any alignment.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tessavo {

static_assert(std::endian::native == std::endian::little,
              "records are little-endian and written in host order");

template <typename T>
inline T LoadLE(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
inline void StoreLE(void* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace tessavo
