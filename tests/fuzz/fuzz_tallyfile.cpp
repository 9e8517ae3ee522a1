// Arbitrary bytes as the tally file: the whole read path from the file's
// bytes (WRZL container, tally text, counter check) either refuses them or
// gives a tally that counts games and is written and read back unchanged.

#include "tally/brenvikstrgrid.h"
#include "tally/lzrw1.h"
#include "tally/tallytable.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    TallyTable table;
    try {
        StringGrid grid;
        gridFromFileBytes(file, QStringLiteral("fuzz"), grid);
        table.takeLoaded(grid);
    } catch (const ELzrw1Exception &) {
        return 0;
    } catch (const GameError &) {
        return 0;
    }
    check(table.columnCount() == TallyTable::Columns && table.rowCount() >= 1);

    // Every loaded tally can count games without a conversion error.
    const QStringList names = table.names();
    table.addgame(names.value(0), names);
    table.addgame(TallyTable::mineResult(), names.mid(1));

    // What is saved reads back as the same table.
    StringGrid again;
    gridFromFileBytes(Tlzrw1::compressBytes(gridToText(table)), QStringLiteral("fuzz"), again);
    TallyTable back;
    back.takeLoaded(again);
    for (int r = 0; r < table.rowCount(); ++r) {
        for (int c = 0; c < TallyTable::SessionColumn; ++c)
            check(back.cell(c, r) == table.cell(c, r));
    }
    check(back.rowCount() == table.rowCount());
    return 0;
}
