#include "xml/CXmlElementReader.h"

#include <QTextCodec>

namespace {
// The XML declaration, which names the encoding, is at the very start.
const int DECLARATION_LENGTH = 1024;
const int UTF8_MIB = 106;

// The document as QXmlStreamReader should see it. That reader refuses a whole
// document for one byte that is not valid in its encoding, and reports line 1;
// such a document is handed over decoded, with U+FFFD for the bad bytes, as
// the DOM reader read it. Valid bytes are handed over as they are, which
// spares the reader a second conversion.
std::unique_ptr<QXmlStreamReader> streamReader(const QByteArray& xml, bool* endsInsideCharacter)
{
    QTextCodec* codec = QTextCodec::codecForUtfText(xml, nullptr);
    if (!codec) {
        QXmlStreamReader declaration(xml.left(DECLARATION_LENGTH));
        declaration.readNext();
        codec = QTextCodec::codecForName(declaration.documentEncoding().toLatin1());
    }
    if (!codec)
        codec = QTextCodec::codecForMib(UTF8_MIB);
    QTextCodec::ConverterState state;
    const QString text = codec->toUnicode(xml.constData(), xml.size(), &state);
    *endsInsideCharacter = state.remainingChars > 0;
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return std::make_unique<QXmlStreamReader>(xml);
    return std::make_unique<QXmlStreamReader>(text);
}
}

CXmlElementReader::CXmlElementReader(const QByteArray& xml, int maxDepth)
    : m_reader(streamReader(xml, &m_endsInsideCharacter))
    , m_maxDepth(maxDepth)
{
    m_reader->setNamespaceProcessing(false);
}

bool CXmlElementReader::readNextToken()
{
    if (m_reader->atEnd())
        return false;
    switch (m_reader->readNext()) {
    case QXmlStreamReader::StartElement:
        if (++m_depth > m_maxDepth) {
            m_tooDeep = true;
            m_reader->raiseError();
            return false;
        }
        return true;
    case QXmlStreamReader::EndElement:
        --m_depth;
        return true;
    case QXmlStreamReader::Invalid:
        return false;
    default:
        return true;
    }
}

bool CXmlElementReader::readNextStartElement()
{
    while (readNextToken()) {
        if (m_reader->isStartElement())
            return true;
        if (m_reader->isEndElement())
            return false;
    }
    return false;
}

void CXmlElementReader::skipCurrentElement()
{
    const int parentDepth = m_depth - 1;
    while (m_depth > parentDepth && readNextToken()) {
    }
}

void CXmlElementReader::readToEnd()
{
    while (readNextToken()) {
    }
    // Silently dropped by the decoder otherwise, such bytes would pass for
    // nothing: they are the check bytes of a sealed file far more often than text.
    if (!m_reader->hasError() && m_endsInsideCharacter)
        m_reader->raiseError(tr("The text ends inside a character."));
}

QString CXmlElementReader::errorString() const
{
    if (m_tooDeep)
        return tr("Elements are nested more than %1 deep at line %2; such a file is not read.")
            .arg(m_maxDepth)
            .arg(errorLine());
    return tr("The XML is not well-formed at line %1: %2").arg(errorLine()).arg(m_reader->errorString());
}
