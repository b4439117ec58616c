#pragma once

#include <QDomDocument>
#include <QString>

// Parses a request text into a document. A text that is not well-formed XML
// 1.0 gives a document without a root element. Unlike QDomDocument's own
// parser (Qt 6.4), text made only of blanks or line breaks is kept, so a
// value of "  " stays "  ". The text is already Unicode: an encoding named
// in an XML declaration has no effect.
QDomDocument ParseRequestDocument(const QString& text);
