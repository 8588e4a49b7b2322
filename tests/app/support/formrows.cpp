#include "formrows.h"

#include <QWidget>
#include <QtTest>

void addFormColumns()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");
}

void addFormRow(const char *object, const char *property, const QVariant &expected)
{
    QTest::addRow("%s.%s", object, property) << QString::fromLatin1(object) << QByteArray(property) << expected;
}

void checkFormRow(QWidget &host)
{
    QFETCH(QString, object);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, expected);

    QObject *target = object == host.objectName() ? &host : host.findChild<QObject *>(object);
    QVERIFY2(target, qPrintable(object));
    QVariant actual = target->property(property.constData());
    QVERIFY2(actual.isValid(), property.constData());
    if (expected.metaType() == QMetaType::fromType<int>())
        actual.convert(QMetaType::fromType<int>());
    QCOMPARE(actual, expected);
}
