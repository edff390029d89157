#pragma once
// 16.16 and 20.12 fixed-point helpers (32-bit signed).
#include <cstdint>

using TFixed = int32_t;

inline TFixed IntToFixed(int32_t I) { return TFixed(uint32_t(I) << 16); }
inline int32_t FixedToInt(TFixed F) { return F >> 16; }
// The 64-bit product shifted right by 16; the low 32 bits.
inline TFixed FixedMul(TFixed A, TFixed B) { return TFixed(uint32_t(uint64_t((int64_t(A) * B) >> 16))); }
// 20.12 to integer.
inline int32_t Fixed12ToInt(int32_t F) { return F >> 12; }
