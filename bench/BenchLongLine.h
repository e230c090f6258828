// One long line of PLC words for the benchmarks of searching within a line:
// pieces of " LD %I0.1 AND Valve_3 ST Q4 Motor_<n>: MOV 12 Axis_X CALL
// Spindle_On " (n below 1000), each followed by the words the benchmark's
// own tail appends, repeated to the length and cut there.  The same seed
// every time: a benchmark sees the same line in every run.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace bench {

// tail(rng, line) appends the words after a piece's "Spindle_On ".
template <class Tail>
std::u16string PlcLongLine(int length, Tail&& tail)
{
    std::mt19937 rng(99);
    std::u16string s;
    while (int(s.size()) < length) {
        s += u" LD %I0.1 AND Valve_3 ST Q4 Motor_";
        const std::string n = std::to_string(rng() % 1000);
        s.append(n.begin(), n.end());
        s += u": MOV 12 Axis_X CALL Spindle_On ";
        tail(rng, s);
    }
    s.resize(size_t(length));
    return s;
}

} // namespace bench
