#ifndef APPLICATIONSETTINGS_H
#define APPLICATIONSETTINGS_H

#include "velkaapplication.h"

#include <QSettings>

// Runs f on the application's settings store; a window or menu bar made
// without the application object (a test) gets a store of the same names.
template <class F>
void withApplicationSettings(F f)
{
    VelkaApplication *app = VelkaApplication::instance();
    if (app && app->settings()) {
        f(*app->settings());
        return;
    }
    QSettings own(VelkaApplication::tr("Velka"), VelkaApplication::applicationNameText());
    f(own);
}

#endif // APPLICATIONSETTINGS_H
