#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
bool g_counting = false;
int g_count = 0;
} // namespace

namespace orvex::test {
AllocationCounter::AllocationCounter() {
    g_count = 0;
    g_counting = true;
}
AllocationCounter::~AllocationCounter() {
    g_counting = false;
}
int AllocationCounter::count() const {
    return g_count;
}
} // namespace orvex::test

void* operator new(std::size_t size) {
    if (g_counting) ++g_count;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void* operator new(std::size_t size, std::align_val_t align) {
    if (g_counting) ++g_count;
    const auto a = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) {
    return operator new(size, align);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
