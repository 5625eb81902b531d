#pragma once

#include <array>
#include <stdexcept>
#include <string>

// A fixed array indexed Lo..Hi as the program numbers its slots and widgets (1..10, 0..4).
// An index outside the bounds throws instead of touching a neighbour.
template<typename T, int Lo, int Hi>
class IndexedArray
{
public:
    static constexpr int lower = Lo;
    static constexpr int upper = Hi;
    static constexpr int size = Hi - Lo + 1;

    static constexpr bool contains(int i) { return i >= Lo && i <= Hi; }

    T &operator()(int i) { return m_items[check(i)]; }
    const T &operator()(int i) const { return m_items[check(i)]; }

    void fill(const T &value) { m_items.fill(value); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    static std::size_t check(int i)
    {
        if (!contains(i))
            throw std::out_of_range("index " + std::to_string(i) + " outside "
                                    + std::to_string(Lo) + ".." + std::to_string(Hi));
        return static_cast<std::size_t>(i - Lo);
    }

    std::array<T, size> m_items{};
};
