// Counts the allocations made through operator new while a counter is alive (this test
// program replaces the global operator new), to check that the block path allocates nothing.
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
