#ifndef REGISTERINGCONTROLLER_H
#define REGISTERINGCONTROLLER_H

#include "qmdvelkacontroller.h"

// A document controller that lets a test hand it the instrument players it plays.
class RegisteringController : public QmdVelkaController
{
public:
    using QmdVelkaController::registerInstrumentThreads;
};

#endif // REGISTERINGCONTROLLER_H
