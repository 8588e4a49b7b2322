#ifndef OWNMIDIPORTS_H
#define OWNMIDIPORTS_H

#include <QString>

// Velka's own MIDI clients carry its name, so that Velka can tell its ports
// (this instance's and other running instances') from everyone else's and
// never offers, chooses or opens one: playing into itself feeds back.
class OwnMidiPorts
{
public:
    // The client name of every MIDI client Velka opens.
    static const char *clientName();
    // True for a port of a Velka client: "Velka:…", or with the suffix JACK
    // gives a second client of the same name ("Velka-01:…").
    static bool contains(const QString &portName);
};

#endif // OWNMIDIPORTS_H
