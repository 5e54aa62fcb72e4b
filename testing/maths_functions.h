// The library's own maths functions by name, for the tests that sweep or
// tabulate all of them.
#ifndef TARNUTIL_TESTING_MATHS_FUNCTIONS_H
#define TARNUTIL_TESTING_MATHS_FUNCTIONS_H

#include "maths/maths.h"

namespace tarnutil {
namespace testing {

enum class MathsFunc { sin, cos, tan, atan, atan2, log, pow };

// fn at x (and y, for atan2 and pow; ignored by the others).
inline double EvaluateMaths(MathsFunc fn, double x, double y) {
  switch (fn) {
    case MathsFunc::sin:
      return maths::Sin(x);
    case MathsFunc::cos:
      return maths::Cos(x);
    case MathsFunc::tan:
      return maths::Tan(x);
    case MathsFunc::atan:
      return maths::Atan(x);
    case MathsFunc::atan2:
      return maths::Atan2(x, y);
    case MathsFunc::log:
      return maths::Log(x);
    case MathsFunc::pow:
      return maths::Pow(x, y);
  }
  return 0.0;
}

}  // namespace testing
}  // namespace tarnutil

#endif  // TARNUTIL_TESTING_MATHS_FUNCTIONS_H
