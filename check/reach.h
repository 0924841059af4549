// Which sought nominals reach a line of a data file: the arithmetic behind
// the checker's "can never be found" and "is hidden". A lookup at a finite
// nominal takes the first line of the asset whose nominal in_tolerance
// accepts; the checker keeps, per asset, the sought nominals the lines so
// far take, as ranges of doubles in their order, and asks of each new line
// which of the nominals that match it are left.
#ifndef TALLIX_CHECK_REACH_H
#define TALLIX_CHECK_REACH_H

#include <map>

/// A double's place in the order of the numbers, one step per double: -0
/// just below +0, infinities one step beyond the largest finite numbers.
long long ordered(double d);

/// The double at place `o` (the inverse of ordered).
double from_ordered(long long o);

/// The places of the largest finite numbers: a lookup asks for one of
/// these, or for an infinity.
long long lowest_finite();
long long highest_finite();

/// The finite sought nominals whose lookup accepts a line with the nominal
/// `value` (finite or infinite), as places [low, high]: exactly those for
/// which in_tolerance(value, sought, sought) says yes. Returns false when
/// there are none. Near the ends of the doubles the tolerance of a sought
/// nominal overflows to infinity, so lookups there match an infinite
/// nominal too.
bool match_range(double value, long long& low, long long& high);

/// Sought nominals taken by earlier lines of one asset: disjoint ranges of
/// places, each as first -> last.
using taken_ranges = std::map<long long, long long>;

/// Returns true when every place of [low, high] is taken.
bool all_taken(const taken_ranges& taken, long long low, long long high);

/// Adds [low, high] to the taken places.
void take(taken_ranges& taken, long long low, long long high);

#endif
