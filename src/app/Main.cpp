// Application entry point: starts the JUCE application.
#include "app/CorvadineApplication.h"

START_JUCE_APPLICATION (corvadine::CorvadineApplication)
