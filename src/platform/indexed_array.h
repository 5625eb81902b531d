// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>

// A fixed array indexed Lo..Hi as the program numbers its slots and widgets (1..10, 0..4).
// An index outside the bounds is a fault of the program: it ends the program with a message
// instead of touching a neighbour.
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
            qFatal("index %d outside %d..%d", i, Lo, Hi);
        return static_cast<std::size_t>(i - Lo);
    }

    std::array<T, size> m_items{};
};
