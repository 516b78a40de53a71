#pragma once

#include "paramica_export.h"

#include <QCoreApplication>
#include <QString>
#include <QXmlStreamReader>

#include <memory>

// Walks the elements of an XML document one at a time without building a
// tree, as files from outside are read: an element nested deeper than the
// limit ends the walk with an error, so depth costs neither stack nor time.
// Bytes that are not valid in the document's encoding read as U+FFFD rather
// than failing the whole document, and every error keeps its line.
//
// Usage: readNextStartElement() enters the document, then each call moves to
// the next child of the current element until it returns false at the end of
// that element; a child not walked through is passed with skipCurrentElement().
class PARAMICA_EXPORT CXmlElementReader
{
    Q_DECLARE_TR_FUNCTIONS(CXmlElementReader)

public:
    CXmlElementReader(const QByteArray& xml, int maxDepth);

    // Moves to the next child element of the current element; false at the
    // end of the current element, at the end of the document or on an error.
    bool readNextStartElement();
    void skipCurrentElement();
    // Reads the rest of the document, so that an error anywhere is found.
    void readToEnd();

    QStringRef name() const { return m_reader->qualifiedName(); }
    QXmlStreamAttributes attributes() const { return m_reader->attributes(); }
    QString attribute(const QString& name) const { return m_reader->attributes().value(name).toString(); }
    bool hasAttribute(const QString& name) const { return m_reader->attributes().hasAttribute(name); }

    bool hasError() const { return m_reader->hasError(); }
    qint64 errorLine() const { return m_reader->lineNumber(); }
    // Why the document cannot be read, with the line, for the user.
    QString errorString() const;

private:
    bool readNextToken();

    // Before the reader, which sets it while the text is decoded.
    bool m_endsInsideCharacter = false;
    std::unique_ptr<QXmlStreamReader> m_reader;
    const int m_maxDepth;
    int m_depth = 0;
    bool m_tooDeep = false;
};
