// A stack in one reserved stretch of address space, for the compiled
// evaluator's activations and values: never moves, depth bounded by memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>

#include "cells/cell.h"

namespace kiln::reduce {

// A stack in one reserved stretch of address space: pages are committed as
// it grows, so it never moves or copies its elements and its depth is
// bounded by memory only.
template <class T>
class DeepStack {
public:
    DeepStack() = default;
    DeepStack(const DeepStack&) = delete;
    DeepStack& operator=(const DeepStack&) = delete;
    ~DeepStack() {
        if (base_) munmap(base_, capacity_ * sizeof(T));
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* begin() { return base_; }
    T* end() { return base_ + size_; }
    T& operator[](size_t i) { return base_[i]; }
    const T& operator[](size_t i) const { return base_[i]; }
    T& back() { return base_[size_ - 1]; }
    const T& back() const { return base_[size_ - 1]; }
    void push_back(const T& v) {
        if (__builtin_expect(size_ >= high_, 0)) grow();
        base_[size_++] = v;
    }
    void pop_back() {
        if (--size_ + kSlack < high_) trim();
    }
    // Drops the elements from n up (n at most the size).
    void shrink(size_t n) {
        size_ = n;
        if (size_ + kSlack < high_) trim();
    }
    // New elements are zero: mapped pages start zeroed, and pages given back
    // by a shrink are cleared when grown into again.
    void resize(size_t n) {
        while (n > capacity_) reserve();
        if (n > size_) std::memset(static_cast<void*>(base_ + size_), 0, (n - size_) * sizeof(T));
        size_ = n;
        if (size_ > high_) high_ = size_;
        if (size_ + kSlack < high_) trim();
    }

private:
    // Pages more than kSlack elements above the top go back to the system,
    // so memory a deep recursion used is free for the values it returns.
    static constexpr size_t kSlack = (size_t{4} << 20) / sizeof(T);
    // Room for the next push: pushes test only the mark, which runs ahead of
    // the top by up to kStep elements (a trim past the top is harmless).
    static constexpr size_t kStep = 1024;
    [[gnu::noinline]] void grow() {
        if (size_ == capacity_) reserve();
        high_ = size_ + kStep < capacity_ ? size_ + kStep : capacity_;
    }
    [[gnu::noinline, gnu::cold]] void trim() {
        size_t page = 4096;
        uintptr_t from = (reinterpret_cast<uintptr_t>(base_ + size_) + page - 1) & ~(page - 1);
        uintptr_t to = reinterpret_cast<uintptr_t>(base_ + high_) & ~(page - 1);
        if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        high_ = size_;
    }
    void reserve() {
        if (base_) outOfMemory();
        // The largest stretch the system grants; under an address-space
        // limit at most an eighth of it, leaving the rest to the cells.
        size_t most = ~size_t{0};
        struct rlimit lim;
        if (getrlimit(RLIMIT_AS, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY) most = lim.rlim_cur / 8;
        for (size_t mib : {65536, 16384, 4096, 1024, 256, 64, 16}) {
            size_t bytes = mib << 20;
            if (bytes > most && mib > 16) continue;
            void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (p != MAP_FAILED) {
                base_ = static_cast<T*>(p);
                capacity_ = bytes / sizeof(T);
                return;
            }
        }
        outOfMemory();
    }
    T* base_ = nullptr;
    size_t size_ = 0;
    size_t high_ = 0;  // at least the most elements since the last trim
    size_t capacity_ = 0;
};

}  // namespace kiln::reduce
