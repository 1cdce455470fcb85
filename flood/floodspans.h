#pragma once

// Which columns of each row the flood step works on.
namespace floodrows {

// The columns `first` to `last` of a row; none when first > last.
struct ColumnSpan {
    int first;
    int last;

    bool empty() const { return first > last; }
};

// A cell at rest is dry (its surface on its ground), holds no flux in its faces and has its new surface
// on its ground too; if the cells around it (east, south, west and north) are dry and no outbreak cell
// feeds it, a step leaves it as it is, bit for bit. So a step works on each row only over the columns
// that may change, the columns around those the last step left not at rest, and skips rows with none:
// dry land costs nothing.
//
// What a pass does on a row: the stages work on `work`; what the flux stage works out for the rows
// below (the old south fluxes and the velocities of the south faces) covers `carry`, which holds the
// work of the row and of the two rows below it.
struct RowWork {
    ColumnSpan work;
    ColumnSpan carry;
};

}  // namespace floodrows
