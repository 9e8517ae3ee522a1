// Arbitrary bytes as tally text: the reader either refuses them or gives a
// grid that reads back the same after writing, and counting games on it never
// goes past the table.

#include "tally/brenvikstrgrid.h"
#include "tally/tallytable.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    StringGrid grid;
    try {
        textToGrid(text, grid);
    } catch (const EGridTextError &) {
        return 0;
    }
    if (grid.columnCount() < 1 || grid.rowCount() < 1)
        std::abort();
    // The reader never makes more cells than the text can fill, give or take
    // the lines allowed to be missing at its end.
    if (qint64(grid.columnCount()) * grid.rowCount() > qint64(size) + 1 + MaxMissingCellLines)
        std::abort();

    StringGrid again;
    textToGrid(gridToText(grid), again);
    if (!(again == grid))
        std::abort();

    TallyTable table;
    table.assignGrid(grid);
    table.zeroSession();
    const QStringList names = table.names();
    try {
        table.addgame(names.value(0), names);
        table.addgame(TallyTable::mineResult(), names.mid(1));
    } catch (const EConvertError &) {
    }
    if (table.rowCount() > 1)
        table.moverow(table.rowCount() / 2 + 1);
    return 0;
}
