#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// A growing array of plain values that grows with realloc. A std::vector grows by allocating
// the larger block beside the old one and copying, so the largest arrays of a scan briefly
// took three times their size; realloc lets the C library move a large block's pages to
// the larger mapping instead, without a second copy of the data.
template <typename T> class FlatArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;

    FlatArray() = default;
    ~FlatArray() { std::free(m_data); }
    FlatArray(const FlatArray& other) { *this = other; }
    FlatArray& operator=(const FlatArray& other) {
        if (this != &other) {
            clear();
            reserve(other.m_size);
            if (other.m_size)
                std::memcpy(static_cast<void*>(m_data), other.m_data, other.m_size * sizeof(T));
            m_size = other.m_size;
        }
        return *this;
    }
    FlatArray(FlatArray&& other) noexcept { swap(other); }
    FlatArray& operator=(FlatArray&& other) noexcept {
        swap(other);
        return *this;
    }
    void swap(FlatArray& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    size_t capacity() const { return m_capacity; }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T& back() { return m_data[m_size - 1]; }
    iterator begin() { return m_data; }
    iterator end() { return m_data + m_size; }
    const_iterator begin() const { return m_data; }
    const_iterator end() const { return m_data + m_size; }

    void push_back(const T& value) {
        if (m_size == m_capacity)
            Grow(m_size + 1);
        m_data[m_size++] = value;
    }
    void append(const T* values, size_t count) {
        if (m_size + count > m_capacity)
            Grow(m_size + count);
        if (count)
            std::memcpy(static_cast<void*>(m_data + m_size), values, count * sizeof(T));
        m_size += count;
    }
    void reserve(size_t count) {
        if (count > m_capacity)
            Resize(count);
    }
    // Gives back what is not used, once an array is complete.
    void shrink_to_fit() {
        if (m_capacity > m_size)
            Resize(m_size);
    }
    void erase(iterator first, iterator last) {
        std::memmove(static_cast<void*>(first), last, size_t(end() - last) * sizeof(T));
        m_size -= size_t(last - first);
    }
    void clear() {
        std::free(m_data);
        m_data = nullptr;
        m_size = m_capacity = 0;
    }

private:
    void Grow(size_t atLeast) {
        size_t next = m_capacity < 1024 ? 1024 : m_capacity + m_capacity / 2;
        Resize(next < atLeast ? atLeast : next);
    }
    void Resize(size_t count) {
        if (count == 0) {
            clear();
            return;
        }
        void* grown = std::realloc(static_cast<void*>(m_data), count * sizeof(T));
        if (!grown)
            throw std::bad_alloc();
        m_data = static_cast<T*>(grown);
        m_capacity = count;
    }

    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};
