#pragma once

#include <QByteArray>

// Decimal integer text with an optional sign, as number fields on the wire and
// in the tally file are written. Anything else, or a value outside int, is not one.
bool isDecimalInt(const QByteArray &field);
// The value of such a text; throws EConvertError "'%s' is not a valid integer value".
int decimalToInt(const QByteArray &field);
