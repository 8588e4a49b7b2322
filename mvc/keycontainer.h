#ifndef KEYCONTAINER_H
#define KEYCONTAINER_H

#include <QString>

// Payload mix-in: a settings key.
class KeyContainer
{
public:
    explicit KeyContainer(const QString &key) : m_key(key) {}

    QString key() const { return m_key; }

private:
    QString m_key;
};

#endif // KEYCONTAINER_H
