// Counts the allocations made through operator new, plain and aligned, while a counter is
// alive, to check that a block path allocates nothing. A test program that links
// orvex_test_alloc has its global operator new replaced by the counting one.
#pragma once

namespace orvex::test {

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;
    int count() const;
};

} // namespace orvex::test
