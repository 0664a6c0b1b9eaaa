#pragma once

#include <QByteArray>

class QDomDocument;

// Every XML answer of a service is read through meskReadXml, once. A document
// nested deeper than MeskXmlMaxDepth elements is refused before any DOM is
// built: building one takes time that grows with the square of the depth, and
// a parse runs under its task's lock, which a cancel waits for.
constexpr int MeskXmlMaxDepth = 256;

// Reads the body into doc (without namespace processing). False, with doc
// cleared, when the body is not well-formed XML or nested too deep.
bool meskReadXml(const QByteArray& body, QDomDocument& doc);

// How many documents meskReadXml has built in this process (tests read it to
// check that an answer is parsed once).
int meskXmlDocumentCount();
