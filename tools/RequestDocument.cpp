#include "RequestDocument.h"

#include <QXmlStreamReader>

QDomDocument ParseRequestDocument(const QString& text)
{
    // Named so the document exists from the start; an unnamed one is null
    // until its first node is created.
    QDomDocument doc(QStringLiteral("request"));
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    QDomNode current = doc;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            QDomElement element = doc.createElement(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                element.setAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            }
            current = current.appendChild(element);
            break;
        }
        case QXmlStreamReader::EndElement:
            current = current.parentNode();
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (current != doc) {
                current.appendChild(doc.createTextNode(reader.text().toString()));
            }
            break;
        default:
            // Comments, processing instructions and the DTD carry no values.
            break;
        }
    }
    if (reader.hasError()) {
        return QDomDocument();
    }
    return doc;
}
