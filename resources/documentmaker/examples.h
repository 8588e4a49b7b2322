#ifndef EXAMPLES_H
#define EXAMPLES_H

#include <QList>
#include <QString>

#include <functional>

class DocumentBuilder;

// The documents shipped beside the program: the template that new windows
// start from, and the examples of the Open Example menu, each showing one idea
// a musician hears at once and saying so in a text box.
namespace Examples {

struct Document
{
    QString fileName; // relative to the program's folder
    std::function<void(DocumentBuilder &)> build;
};

QList<Document> documents();

} // namespace Examples

#endif // EXAMPLES_H
