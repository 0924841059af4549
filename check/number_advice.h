// The parts of the advice on a number tallix refuses that other findings
// quote: a cell in quotes (perhaps a number its commas cut in two), and the
// two numbers a value with a percent sign may stand for. The advice itself
// is number_advice and number_advice_at (shapes.h). Private to the
// checker's shape judgments (number_advice.cpp).
#ifndef TALLIX_CHECK_NUMBER_ADVICE_H
#define TALLIX_CHECK_NUMBER_ADVICE_H

#include "check/shapes.h"

#include <cstddef>
#include <string>

/// The advice for cell `index` of `c`, which begins with a quote: removing
/// the quotes is enough ("; remove the quotes around the cell"), unless a
/// comma inside cut the quoted number in two; then "; the quotes hold ..."
/// with the number to write.
std::string quotes_advice(const piece_cells& c, std::size_t index);

/// ": write <write> if the value is meant in percent, or <write/100> as a
/// fraction": the two numbers that `write` followed by a percent sign may
/// stand for.
std::string percent_choice(const std::string& write);

#endif
