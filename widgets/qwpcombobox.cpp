#include "qwpcombobox.h"

namespace {

bool isSigned(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::SChar:
    case QMetaType::Char:
        return true;
    default:
        return false;
    }
}

bool isUnsigned(int typeId)
{
    switch (typeId) {
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isFloating(int typeId)
{
    return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

bool isNumber(int typeId)
{
    return isSigned(typeId) || isUnsigned(typeId) || isFloating(typeId);
}

// Keys of one type compare as that type does; numbers compare by value across
// their types (a negative number never equals an unsigned one); anything else
// differs. Qt's own QVariant comparison would take the string "7" for the
// number 7.
bool sameKey(const QVariant &a, const QVariant &b)
{
    const int aType = a.metaType().id();
    const int bType = b.metaType().id();
    if (aType == bType)
        return a == b;
    if (!isNumber(aType) || !isNumber(bType))
        return false;
    if (isFloating(aType) || isFloating(bType))
        return a.toDouble() == b.toDouble();
    const bool aNegative = isSigned(aType) && a.toLongLong() < 0;
    const bool bNegative = isSigned(bType) && b.toLongLong() < 0;
    if (aNegative || bNegative)
        return aNegative && bNegative && a.toLongLong() == b.toLongLong();
    return a.toULongLong() == b.toULongLong();
}

} // namespace

QwpComboBox::QwpComboBox(QWidget *parent)
    : QComboBox(parent)
{
}

void QwpComboBox::addKeyItem(const QString &text)
{
    addItem(text, text);
}

void QwpComboBox::addKeyItems(const QStringList &texts)
{
    for (const QString &text : texts)
        addKeyItem(text);
}

QVariant QwpComboBox::currentKey() const
{
    const int index = currentIndex();
    return index < 0 ? QVariant() : keyAt(index);
}

QVariant QwpComboBox::keyAt(int index) const
{
    return itemData(index, Qt::UserRole);
}

void QwpComboBox::setCurrentKey(const QVariant &key)
{
    if (key.isValid()) {
        for (int index = 0; index < count(); ++index) {
            if (sameKey(keyAt(index), key)) {
                setCurrentIndex(index);
                return;
            }
        }
    }
    setCurrentIndex(-1);
}
