#include "base/decimal.h"

#include "base/errors.h"
#include "base/wiretext.h"

#include <limits>

bool isDecimalInt(const QByteArray &field)
{
    qsizetype i = 0;
    if (i < field.size() && (field[i] == '-' || field[i] == '+'))
        ++i;
    if (i == field.size())
        return false;
    long long value = 0;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (field[0] != '-' && value > std::numeric_limits<int>::max())
        return false;
    return true;
}

int decimalToInt(const QByteArray &field)
{
    if (!isDecimalInt(field))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value")
                                .arg(fromWire(field)));
    return static_cast<int>(field.toLongLong());
}
