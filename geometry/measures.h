// Internals of the planar measures: the two trigonometry tables and the
// reduction of whole degrees to a table index.
#ifndef TARNUTIL_GEOMETRY_MEASURES_H
#define TARNUTIL_GEOMETRY_MEASURES_H

namespace tarnutil {
namespace detail {

// One table entry per whole degree.
constexpr int degreesPerTurn = 360;

// Sine and cosine of 0..359 degrees, each entry the float nearest to a
// six-decimal number. Defined in trig_tables.cpp.
extern const float sinTable[degreesPerTurn];
extern const float cosTable[degreesPerTurn];

// Index 0..359 of an angle in whole degrees, for every int including INT_MIN.
int TrigTableIndex(int degrees);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_GEOMETRY_MEASURES_H
