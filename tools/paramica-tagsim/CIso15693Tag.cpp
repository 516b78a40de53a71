#include "CIso15693Tag.h"

#include "CTagMemory.h"

#include "interfaces/nfc/CNfcAdapter.h"

#include <QThread>

#include <cstdio>

namespace {
const QByteArray STATUS_OK = QByteArray::fromHex("9000");
const QByteArray STATUS_WRONG_LENGTH = QByteArray::fromHex("6700");
const QByteArray STATUS_FUNCTION_NOT_SUPPORTED = QByteArray::fromHex("6a81");
const QByteArray STATUS_OUT_OF_MEMORY_RANGE = QByteArray::fromHex("6a82");
const QByteArray STATUS_INSTRUCTION_NOT_SUPPORTED = QByteArray::fromHex("6d00");
const QByteArray GET_UID = QByteArray::fromHex("ffca0000");
const QByteArray PASS_THROUGH = QByteArray::fromHex("fffc0000");
const int BLOCKS = CTagMemory::SIZE / CTagMemory::BLOCK_LENGTH;
}

CIso15693Tag::CIso15693Tag(CTagMemory& memory, const CTagSimOptions& options)
    : m_memory(memory)
    , m_options(options)
{
}

QByteArray CIso15693Tag::atr()
{
    // PC/SC part 3: TS, T0 (15 historical bytes), TD1, TD2, then category 80,
    // application identifier tag 4F of length 0C, the registered application
    // provider A0 00 00 03 06, standard 0B (ISO 15693), card name 00 14, RFU.
    QByteArray bytes = QByteArray::fromHex("3b8f8001804f0ca0000003060b001400000000");
    char check = 0;
    for (int i = 1; i < bytes.size(); ++i)
        check = char(check ^ bytes.at(i));
    return bytes.append(check);
}

QByteArray CIso15693Tag::answer(const QByteArray& command)
{
    if (command.startsWith(GET_UID))
        return m_options.uid + STATUS_OK;
    if (!command.startsWith(PASS_THROUGH))
        return STATUS_INSTRUCTION_NOT_SUPPORTED;
    if (m_options.delayMs > 0)
        QThread::msleep(ulong(m_options.delayMs));
    const int length = command.size() > PASS_THROUGH.size() ? uchar(command.at(PASS_THROUGH.size())) : -1;
    const QByteArray tagCommand = command.mid(PASS_THROUGH.size() + 1);
    if (length != tagCommand.size() || tagCommand.size() < 2)
        return STATUS_WRONG_LENGTH;
    if (removedAt(tagCommand))
        return QByteArray();
    return passThrough(tagCommand);
}

QByteArray CIso15693Tag::passThrough(const QByteArray& tagCommand)
{
    const int block = uchar(tagCommand.at(1));
    switch (tagCommand.at(0)) {
    case CNfcAdapter::READ_SINGLE_BLOCK:
    case CNfcAdapter::READ_MULTIPLE_BLOCKS: {
        const int count = CNfcAdapter::commandBlockCount(tagCommand);
        if (block + count > BLOCKS)
            return STATUS_OUT_OF_MEMORY_RANGE;
        const QByteArray fault = injectedFault(block, count);
        return fault.isEmpty() ? m_memory.read(block, count) + STATUS_OK : fault;
    }
    case CNfcAdapter::WRITE_SINGLE_BLOCK: {
        if (tagCommand.size() != 2 + CTagMemory::BLOCK_LENGTH)
            return STATUS_WRONG_LENGTH;
        const QByteArray fault = injectedFault(block, 1);
        if (!fault.isEmpty())
            return fault;
        m_memory.write(block, tagCommand.mid(2));
        return STATUS_OK;
    }
    default:
        return STATUS_FUNCTION_NOT_SUPPORTED;
    }
}

bool CIso15693Tag::removedAt(const QByteArray& tagCommand)
{
    const int first = uchar(tagCommand.at(1));
    const int count = CNfcAdapter::commandBlockCount(tagCommand);
    if (m_options.removeAtBlock < first || m_options.removeAtBlock >= first + count
        || ++m_removalBlockTouches != m_options.removeAtTouch)
        return false;
    if (m_options.verbose)
        std::fprintf(stderr, "tagsim: fault: the tag leaves the field at block %d\n", m_options.removeAtBlock);
    return true;
}

QByteArray CIso15693Tag::injectedFault(int firstBlock, int count) const
{
    for (const CTagSimOptions::BlockFault& fault : m_options.blockFaults) {
        if (fault.block >= firstBlock && fault.block < firstBlock + count) {
            if (m_options.verbose)
                std::fprintf(stderr, "tagsim: fault: block %d answered with %s\n", fault.block, fault.status.toHex().constData());
            return fault.status;
        }
    }
    return QByteArray();
}
