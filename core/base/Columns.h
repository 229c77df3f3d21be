// The 551 columns that the waveform view and the voice print share, and how
// positions in a sound (samples or bytes) and columns map onto each other:
// column x stands for the positions from x * total / 551 on.
//
// Every mapping multiplies total by the double nearest 1/551 first and then
// multiplies or divides by that product. The player's cursor, the selection,
// the frames' columns and the waveform's pixels all depend on those exact
// roundings (a position that lies exactly on a column boundary can land one
// column to the left), so they must all come from here; dividing by 551
// instead would move some of them by a column.
#ifndef KELVARA_COLUMNS_H
#define KELVARA_COLUMNS_H

#include <cstdint>

// Columns of the waveform view, of the voice print, and frames of one voice print.
constexpr int32_t columnCount = 551;
constexpr int32_t lastColumn = columnCount - 1;

// The double nearest 1/551.
constexpr double columnFraction = 0.0018148820326678765;
static_assert(columnFraction == 1.0 / 551, "1/551 spelt two ways must be one double");

// Positions per column: total * (1/551).
constexpr double positionsPerColumn(uint32_t total) { return static_cast<double>(total) * columnFraction; }

// First position of column `column`, as a real: column * (total * (1/551)).
// The callers truncate it in their own way.
constexpr double columnStart(int64_t column, uint32_t total)
{
    return static_cast<double>(column) * positionsPerColumn(total);
}

// Column of `position`: trunc(position / (total * (1/551))). A position at
// or past the end stays on the last column; an empty sound has only column 0.
constexpr int32_t columnOfPosition(uint32_t position, uint32_t total)
{
    if (total == 0) return 0;
    const double column = static_cast<double>(position) / positionsPerColumn(total);
    return column < lastColumn ? static_cast<int32_t>(column) : lastColumn;
}

#endif
