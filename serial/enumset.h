#pragma once

#include <cstdint>
#include <initializer_list>

// A set over an enumeration whose n-th value is bit n, as the serial layer's sets are laid out
// (an event set of ten values is ten bits, 0x3FF for all).
template<typename E> class EnumSet
{
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> values)
    {
        for (E value : values)
            m_bits |= bit(value);
    }
    static constexpr EnumSet fromBits(std::uint32_t bits)
    {
        EnumSet set;
        set.m_bits = bits;
        return set;
    }

    constexpr std::uint32_t bits() const { return m_bits; }
    constexpr bool contains(E value) const { return (m_bits & bit(value)) != 0; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr void include(E value) { m_bits |= bit(value); }
    constexpr void exclude(E value) { m_bits &= ~bit(value); }

    friend constexpr bool operator==(EnumSet a, EnumSet b) { return a.m_bits == b.m_bits; }
    friend constexpr EnumSet operator|(EnumSet a, EnumSet b)
    {
        return fromBits(a.m_bits | b.m_bits);
    }
    friend constexpr EnumSet operator&(EnumSet a, EnumSet b)
    {
        return fromBits(a.m_bits & b.m_bits);
    }

private:
    static constexpr std::uint32_t bit(E value) { return std::uint32_t(1) << unsigned(value); }
    std::uint32_t m_bits = 0;
};
