#pragma once

// Bytes in a heap block of exactly their size, seen through a QByteArray that
// does not copy them, so that AddressSanitizer reports any read past their end
// (a QByteArray's own buffer has room and a terminating zero behind it).

#include <QByteArray>

#include <vector>

class ExactBytes
{
public:
    explicit ExactBytes(const QByteArray& bytes) : m_storage(bytes.begin(), bytes.end()) {}
    QByteArray view() const { return QByteArray::fromRawData(m_storage.data(), int(m_storage.size())); }

private:
    std::vector<char> m_storage;
};
