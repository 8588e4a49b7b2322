#ifndef VALUECONTAINER_H
#define VALUECONTAINER_H

#include <QVariant>

// Payload mix-in: a value.
class ValueContainer
{
public:
    explicit ValueContainer(const QVariant &value) : m_value(value) {}

    QVariant value() const { return m_value; }

private:
    QVariant m_value;
};

#endif // VALUECONTAINER_H
