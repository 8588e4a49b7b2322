#ifndef QWPCOMBOBOX_H
#define QWPCOMBOBOX_H

#include <QComboBox>
#include <QVariant>

// A combo box whose items carry keys (their Qt::UserRole data), so that a
// binding can choose an item by the value a document stores rather than by its
// position or its shown text.
class QwpComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QVariant currentKey READ currentKey WRITE setCurrentKey STORED false)

public:
    explicit QwpComboBox(QWidget *parent = nullptr);

    // An item whose key is its own text.
    void addKeyItem(const QString &text);
    void addKeyItems(const QStringList &texts);

    // The current item's key; invalid when there is no current item.
    QVariant currentKey() const;
    QVariant keyAt(int index) const;

public slots:
    // Makes current the first item whose key equals key: strings exactly,
    // numbers by value whatever their integer type, a string never a number.
    // A key no item carries (an invalid one included) leaves no current item.
    void setCurrentKey(const QVariant &key);
};

#endif // QWPCOMBOBOX_H
