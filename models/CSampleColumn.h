#pragma once

#include <QVariant>

#include <deque>

// The values of one chart series, one per row. Live samples are nearly always
// plain numbers: while they are, they are kept as doubles, so that dropping a
// day of rows frees memory without visiting every value. The first value of
// another kind (a flag, an empty value, a recorded text) turns the column into
// a column of variants until it is cleared. Either way a row gives back what
// was put in.
class CSampleColumn
{
public:
    int size() const;
    QVariant at(int row) const;
    // How many rows, from the first on, hold numbers below the limit.
    int leadingBelow(double limit) const;
    void append(const QVariant& value);
    void removeFirst(int count);
    void clear();

private:
    void holdVariants();

    bool m_numbers = true;
    std::deque<double> m_doubles;
    std::deque<QVariant> m_variants;
};
