// Indented XML written straight into a UTF-8 buffer, laid out as QXmlStreamWriter's automatic
// formatting lays it out. QXmlStreamWriter itself spent about ten microseconds on each track
// point, more than the whole export may take for an hour of them.
#pragma once

#include <QByteArray>
#include <QVector>

#include <initializer_list>
#include <utility>

class XmlOut
{
public:
    explicit XmlOut(QByteArray &out)
        : mOut(out)
    { }

    // The XML declaration and the root element with its attributes (namespaces included);
    // at the end every element still open is closed.
    void startDocument(const char *root,
                       std::initializer_list<std::pair<const char *, const char *>> attributes);
    void endDocument();

    // An element whose content follows; names carry their prefix ("gx:Track"). Attributes
    // are written right after it, before any content.
    void startElement(const char *name);
    void decimalAttribute(const char *name, double value);
    // Closes the latest element: "/>" when it has no content.
    void endElement();

    // An element holding only text, escaped here.
    void textElement(const char *name, const QByteArray &text);
    void decimalElement(const char *name, double value);

private:
    void closeStartTag();
    void newLine();

    QByteArray &mOut;
    QVector<const char *> mOpen; // the names of the elements not yet closed
    bool mInStartTag = false; // the latest start tag still lacks its ">"
    bool mHasChildren = false; // the innermost open element has child elements
};
