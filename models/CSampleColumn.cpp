#include "models/CSampleColumn.h"

#include <algorithm>

int CSampleColumn::size() const
{
    return int(m_numbers ? m_doubles.size() : m_variants.size());
}

QVariant CSampleColumn::at(int row) const
{
    return m_numbers ? QVariant(m_doubles.at(size_t(row))) : m_variants.at(size_t(row));
}

int CSampleColumn::leadingBelow(double limit) const
{
    const auto below = [limit](double value) { return value < limit; };
    if (m_numbers)
        return int(std::find_if_not(m_doubles.begin(), m_doubles.end(), below) - m_doubles.begin());
    return int(std::find_if_not(m_variants.begin(), m_variants.end(),
                                [&below](const QVariant& value) { return below(value.toDouble()); })
               - m_variants.begin());
}

void CSampleColumn::append(const QVariant& value)
{
    if (m_numbers && value.userType() != QMetaType::Double)
        holdVariants();
    if (m_numbers)
        m_doubles.push_back(value.toDouble());
    else
        m_variants.push_back(value);
}

void CSampleColumn::removeFirst(int count)
{
    if (m_numbers)
        m_doubles.erase(m_doubles.begin(), m_doubles.begin() + count);
    else
        m_variants.erase(m_variants.begin(), m_variants.begin() + count);
}

void CSampleColumn::clear()
{
    m_numbers = true;
    m_doubles.clear();
    m_variants.clear();
}

void CSampleColumn::holdVariants()
{
    m_variants.assign(m_doubles.begin(), m_doubles.end());
    m_doubles.clear();
    m_numbers = false;
}
