#include "mvcfamily.h"
#include "settingsfamily.h"

#include <QtTest>

// Runs in a process of its own: the allocator starts fresh here.
class TestMvcFamily : public QObject
{
    Q_OBJECT

private slots:
    void idsStartAtOneAndNeverRepeat()
    {
        QCOMPARE(allocateUniqueId(), 1u);
        QCOMPARE(allocateUniqueId(), 2u);
        const unsigned int generic = abstractFamilyId();
        const unsigned int settings = settingsFamilyId();
        QCOMPARE(generic, 3u);
        QCOMPARE(settings, 4u);
        QCOMPARE(abstractFamilyId(), generic);
        QCOMPARE(settingsFamilyId(), settings);
        QCOMPARE(allocateUniqueId(), 5u);
    }
};

QTEST_GUILESS_MAIN(TestMvcFamily)
#include "tst_mvcfamily.moc"
