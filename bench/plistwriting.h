#ifndef PLISTWRITING_H
#define PLISTWRITING_H

// Writing the benchmarks' documents straight as property lists, without the
// model: keys, typed leaves and containers.

#include <QString>
#include <QXmlStreamWriter>

inline void writePair(QXmlStreamWriter &xml, const QString &key, const char *element, const QString &text)
{
    xml.writeTextElement(QStringLiteral("key"), key);
    xml.writeTextElement(QLatin1String(element), text);
}

// Opens a container of the given kind, under `key` unless it is the root.
inline void startDict(QXmlStreamWriter &xml, const QString &key, const char *kind)
{
    if (!key.isEmpty())
        xml.writeTextElement(QStringLiteral("key"), key);
    xml.writeStartElement(QStringLiteral("dict"));
    writePair(xml, QStringLiteral("ContainerType"), "string", QLatin1String(kind));
}

#endif // PLISTWRITING_H
