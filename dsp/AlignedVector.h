// Vectors whose storage is aligned for SIMD loads, so the FFTW plans and VOLK kernels run on
// their aligned paths. Sized once in set-up calls; never resized in the block path.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace orvex {

inline constexpr std::size_t kSimdAlignment = 64;

template <class T>
struct AlignedAllocator {
    using value_type = T;
    AlignedAllocator() noexcept = default;
    template <class U>
    AlignedAllocator(const AlignedAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(kSimdAlignment)));
    }
    void deallocate(T* p, std::size_t) noexcept {
        ::operator delete(p, std::align_val_t(kSimdAlignment));
    }
    template <class U>
    bool operator==(const AlignedAllocator<U>&) const noexcept {
        return true;
    }
};

template <class T>
using AlignedVector = std::vector<T, AlignedAllocator<T>>;

using FloatVector = AlignedVector<float>;
using DoubleVector = AlignedVector<double>;

} // namespace orvex
