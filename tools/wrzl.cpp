// wrzl: compresses a file into the WRZL container or restores it.
//   wrzl c IN OUT   compress IN into OUT
//   wrzl d IN OUT   restore OUT from IN

#include "tally/lzrw1.h"
#include "tally/lzrw1kh.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 || (args[1] != QLatin1String("c") && args[1] != QLatin1String("d"))) {
        std::fputs("usage: wrzl c|d IN OUT\n", stderr);
        return 2;
    }
    Tlzrw1 lzrw1;
    lzrw1.CompressMode = Tlzrw1::Fast;
    lzrw1.InputFile = args[2];
    lzrw1.OutputFile = args[3];
    try {
        if (args[1] == QLatin1String("c"))
            lzrw1.Compress();
        else
            lzrw1.Decompress();
    } catch (const ELzrw1Exception &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
