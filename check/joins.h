// The readings of the cells from a nominal or value on as one number: cells
// that a blank, a comma or a lone exponent cut off the number before them
// ("2 000.75", "2.00004 E-3", "2.5 x 10-2", "20,00041", "2,000.75",
// ",250031"). Each reading says what the cells make and whether they can
// only be one number. Private to the checker's shape judgments (joins.cpp),
// read by the misread numbers and the advice on a number.
#ifndef TALLIX_CHECK_JOINS_H
#define TALLIX_CHECK_JOINS_H

#include "check/shapes.h"

#include <cstddef>
#include <string>
#include <vector>

/// How cells after a nominal or value may go on the number they follow.
enum join_kind {
    JOIN_BLANKS,       ///< "2 000.75", "10.000 13": digit groups with blanks between them
    JOIN_EXPONENT,     ///< "2.00004 E-3"
    JOIN_POWER,        ///< "2.5 x 10-2", "2.5 *10^-2"
    JOIN_COMMA,        ///< "20,00041" on a line cut at commas: a decimal comma
    JOIN_THOUSANDS,    ///< "2,000.75" on a line cut at commas: thousands separators
    JOIN_POINTS_COMMA  ///< "1.000,5" on a line cut at commas
};

/// A reading of the cells from a nominal or value on as one number.
struct joined {
    join_kind kind = JOIN_BLANKS;
    bool join = false;     ///< more than the cell: false for the cell as it stands
    bool strong = false;   ///< the cells can only be one number
    bool bare = false;     ///< ",250031": a decimal comma with nothing before it
    std::string written;   ///< the cells as the line has them
    std::string write;     ///< the number they make
    double value = 0;
    std::size_t next = 0;  ///< the cell after the last one taken
    std::string evidence;  ///< a cell that can only be the rest of a number, or empty
    std::size_t added = 0; ///< digits taken from the cells after the first
};

/// Every reading of the cells of `c` from cell `i` on as one number that
/// joins more than the cell; none when `i` is past the last cell.
std::vector<joined> joins_at(const piece_cells& c, std::size_t i);

/// Cell `i` of `c` as it stands, as a reading that joins nothing.
joined as_it_stands(const piece_cells& c, std::size_t i);

/// How the reading's cells write its number: "with a blank in it", "as a
/// power of ten", "with a decimal comma" ...
std::string how_written(const joined& j);

#endif
