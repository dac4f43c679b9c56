#include "graph/DataLine.h"

#include <QPen>

DataLine::DataLine(const QColor &colour)
{
    setPen(QPen(colour, 3.0));
}

int DataLine::type() const
{
    return Type;
}

QLineF DataLine::dataLine() const
{
    return dataLine_;
}

void DataLine::setDataLine(const QLineF &line)
{
    dataLine_ = line;
}

QLineF DataLine::unitLine() const
{
    return unitLine_;
}

void DataLine::setUnitLine(const QLineF &line)
{
    unitLine_ = line;
}
