#include "meskxml.h"

#include <QAtomicInt>
#include <QDomDocument>
#include <QXmlStreamReader>

namespace {
QAtomicInt documentCount;

// One streaming pass: false when an element opens deeper than the limit.
// Well-formedness errors are left to the DOM reader, which reports them.
bool depthWithinLimit(const QByteArray& body)
{
    QXmlStreamReader reader(body);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > MeskXmlMaxDepth)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}
} // namespace

bool meskReadXml(const QByteArray& body, QDomDocument& doc)
{
    doc = QDomDocument();
    if (!depthWithinLimit(body))
        return false;
    if (!doc.setContent(body, false)) {
        doc = QDomDocument();
        return false;
    }
    documentCount.fetchAndAddRelaxed(1);
    return true;
}

int meskXmlDocumentCount()
{
    return documentCount.loadRelaxed();
}
