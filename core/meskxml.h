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

// How many times meskReadXml has built a DOM document in this process; a body
// refused by the streaming pass (too deep, or not well-formed) builds none. Tests
// read it to check that an answer is parsed once.
int meskXmlDocumentCount();
