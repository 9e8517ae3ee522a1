#include "net/fieldreader.h"

#include "base/decimal.h"

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
