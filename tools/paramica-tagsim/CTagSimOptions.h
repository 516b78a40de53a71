#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// What the tag emulator presents and which faults it injects, from its command line.
struct CTagSimOptions
{
    // Commands touching this block are answered with this status word.
    struct BlockFault {
        int block = 0;
        QByteArray status;
    };

    QString host = QStringLiteral("127.0.0.1");
    // The virtual reader's card port: 35963 the first reader, 35964 the second.
    int port = 35963;
    QString descriptionPath;
    QByteArray uid = QByteArray::fromHex("e004015012345678");

    // Byte addresses of ranges whose stored CRC is broken (1024: the
    // device-information record).
    QList<int> corruptCrcAddresses;
    QList<BlockFault> blockFaults;
    int delayMs = 0;
    // The tag leaves the field at the Nth command that touches this block,
    // unanswered; block -1 for never.
    int removeAtBlock = -1;
    int removeAtTouch = 1;
    int removeAfterMs = 0;
    int returnAfterMs = 0;
    bool verbose = false;

    // Fills the options; on failure returns false with the reason in error.
    bool parse(const QStringList& arguments, QString& error);
    static const char* usage();
};
