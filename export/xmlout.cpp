// Four spaces per level and a line per element, as the XML outputs were first written.
#include "xmlout.h"

#include "fieldformat.h"

void XmlOut::startDocument(const char *root,
                           std::initializer_list<std::pair<const char *, const char *>> attributes)
{
    mOut += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    startElement(root);
    for (const auto &attribute : attributes) {
        mOut += ' ';
        mOut += attribute.first;
        mOut += "=\"";
        FieldFormat::appendXmlText(mOut, attribute.second);
        mOut += '"';
    }
}

void XmlOut::endDocument()
{
    while (!mOpen.isEmpty())
        endElement();
    mOut += '\n';
}

void XmlOut::startElement(const char *name)
{
    closeStartTag();
    newLine();
    mOut += '<';
    mOut += name;
    mOpen.append(name);
    mInStartTag = true;
    mHasChildren = false;
}

void XmlOut::decimalAttribute(const char *name, double value)
{
    mOut += ' ';
    mOut += name;
    mOut += "=\"";
    FieldFormat::appendDecimal(mOut, value);
    mOut += '"';
}

void XmlOut::endElement()
{
    const char *name = mOpen.takeLast();
    if (mInStartTag) {
        mOut += "/>";
    } else {
        if (mHasChildren)
            newLine();
        mOut += "</";
        mOut += name;
        mOut += '>';
    }
    mInStartTag = false;
    mHasChildren = true; // for the parent, whose child just ended
}

void XmlOut::textElement(const char *name, const QByteArray &text)
{
    startElement(name);
    closeStartTag();
    FieldFormat::appendXmlText(mOut, text);
    endElement();
}

void XmlOut::decimalElement(const char *name, double value)
{
    startElement(name);
    closeStartTag();
    FieldFormat::appendDecimal(mOut, value);
    endElement();
}

void XmlOut::closeStartTag()
{
    if (mInStartTag)
        mOut += '>';
    mInStartTag = false;
}

void XmlOut::newLine()
{
    static const QByteArray spaces(64, ' ');
    mOut += '\n';
    mOut.append(spaces.constData(), qMin(4 * mOpen.size(), spaces.size()));
}
