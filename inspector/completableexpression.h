#ifndef COMPLETABLEEXPRESSION_H
#define COMPLETABLEEXPRESSION_H

#include <QRegularExpression>
#include <QString>

// Decides whether a text can still become a match of a regular expression by
// inserting characters anywhere in it, that is whether the text is a
// subsequence of some match. A list field uses it to tell text that is only
// unfinished (an entry half typed, two entries whose comma was just deleted)
// from text that no further typing can repair.
//
// The subsequences of a regular language are matched by the same expression
// with every character atom made optional: "a" becomes "a?", "a{1,4}" becomes
// "a{0,4}", "a+" becomes "a*". Groups keep their quantifiers, since their
// contents then match the empty text anyway. The expression may use literal
// characters, escapes, character classes, groups, alternatives and the
// quantifiers ?, *, + and {m,n}.
class CompletableExpression
{
public:
    explicit CompletableExpression(const QString &pattern);

    // True when inserting characters into text can make the whole of it
    // match the pattern (also when it matches already).
    bool canComplete(const QString &text) const;

    // The pattern matching exactly the subsequences of pattern's matches.
    static QString completionPattern(const QString &pattern);

private:
    QRegularExpression m_completion;
};

#endif // COMPLETABLEEXPRESSION_H
