#include "completableexpression.h"

#include <QtTest>

// Text is completable exactly when inserting characters can make it match.
class TestCompletableExpression : public QObject
{
    Q_OBJECT

private slots:
    void completionPattern_data();
    void completionPattern();
    void canComplete_data();
    void canComplete();
};

void TestCompletableExpression::completionPattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("completion");

    QTest::newRow("literal") << "ab" << "a?b?";
    QTest::newRow("quantifiers") << "a?b*c+d{2}e{1,4}f{3,}" << "a?b*c*d{0,2}e{0,4}f*";
    QTest::newRow("escape and class") << "\\.[0-9a-f]{1,2}\\s" << "\\.?[0-9a-f]{0,2}\\s?";
    QTest::newRow("class with bracket") << "[]x]" << "[]x]?";
    QTest::newRow("groups keep their quantifiers") << "(ab)+(c|d){2}" << "(a?b?)+(c?|d?){2}";
}

void TestCompletableExpression::completionPattern()
{
    QFETCH(QString, pattern);
    QFETCH(QString, completion);
    QCOMPARE(CompletableExpression::completionPattern(pattern), completion);
}

void TestCompletableExpression::canComplete_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("completable");

    const QString list = QStringLiteral("|([0-9]{1,2}(,[0-9]{1,2})*)");
    QTest::newRow("match") << list << "1,22" << true;
    QTest::newRow("empty") << list << "" << true;
    QTest::newRow("missing entry") << list << "1,,3" << true;
    QTest::newRow("missing comma") << list << "123" << true;
    QTest::newRow("leading comma") << list << ",1" << true;
    QTest::newRow("foreign character") << list << "1;2" << false;
    QTest::newRow("fixed order") << "ab" << "ba" << false;
    QTest::newRow("longer than any match") << "a{1,2}" << "aaa" << false;
}

void TestCompletableExpression::canComplete()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, completable);
    QCOMPARE(CompletableExpression(pattern).canComplete(text), completable);
}

QTEST_MAIN(TestCompletableExpression)
#include "tst_completableexpression.moc"
