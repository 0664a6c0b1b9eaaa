#include "meskxml.h"

#include <QAtomicInt>
#include <QDomDocument>
#include <QXmlStreamReader>

namespace {
QAtomicInt documentCount;

// One streaming pass, configured as the DOM reader is (no namespace processing):
// false when an element opens deeper than the limit, or when the body is not
// well-formed. The DOM reader would refuse such a body too, but only after it had
// built what came before the fault; and a pass that stopped early at a fault
// the DOM reader does not see (an undeclared prefix, with namespace processing
// on) would let a body of any depth through.
bool depthWithinLimit(const QByteArray& body)
{
    QXmlStreamReader reader(body);
    reader.setNamespaceProcessing(false);
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
    return !reader.hasError();
}
} // namespace

bool meskReadXml(const QByteArray& body, QDomDocument& doc)
{
    doc = QDomDocument();
    if (!depthWithinLimit(body))
        return false;
    documentCount.fetchAndAddRelaxed(1);
    if (!doc.setContent(body, false)) {
        doc = QDomDocument();
        return false;
    }
    return true;
}

int meskXmlDocumentCount()
{
    return documentCount.loadRelaxed();
}
