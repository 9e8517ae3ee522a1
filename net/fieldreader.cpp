#include "net/fieldreader.h"

#include "net/wiretext.h"

#include <limits>

QByteArray FieldReader::take()
{
    const qsizetype plus = m_text.indexOf('+');
    if (plus < 0) {
        QByteArray field = m_text;
        m_text.clear();
        return field;
    }
    QByteArray field = m_text.left(plus);
    m_text.remove(0, plus + 1);
    return field;
}

int FieldReader::takeInt()
{
    return toInt(take());
}

bool FieldReader::isInt(const QByteArray &field)
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

int FieldReader::toInt(const QByteArray &field)
{
    if (!isInt(field))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value")
                                .arg(fromWire(field)));
    return static_cast<int>(field.toLongLong());
}
