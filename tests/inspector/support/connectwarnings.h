#ifndef CONNECTWARNINGS_H
#define CONNECTWARNINGS_H

#include <QStringList>

// A binding to a signal an object lacks fails only at run time, with a
// "QObject::connect" warning: tests collect those warnings and fail on them.
namespace ConnectWarnings {

// Starts collecting (once per process); messages still reach the test log.
void install();
// The warnings collected since the last call.
QStringList take();

} // namespace ConnectWarnings

#endif // CONNECTWARNINGS_H
