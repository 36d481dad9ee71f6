#pragma once

#include <juce_core/juce_core.h>

namespace corvadine
{
// Numbers as the host's files and saved documents hold them. Every reader
// here but readHostDouble (whose callers guard its result) gives a finite,
// in-range value for any text at all, because what it returns is stored in
// the document and divided by downstream.

// Integer of a text: leading white space is skipped, then an optional sign
// and the decimal digits up to the first other character are read. A text
// without digits, or one whose value does not fit, gives 0.
juce::int64 readHostInt64 (juce::StringRef text);
int readHostInt (juce::StringRef text);

// Number of a text as juce::String::getDoubleValue reads it, but without
// its overflow of an int on an exponent of more than nine digits (undefined
// behaviour): such an exponent reads as nine nines, giving 0 or infinity as
// its true value would. May give "nan" and infinities; every reader of a
// file's text calls this instead of JUCE's own.
double readHostDouble (juce::StringRef text);

// Number of a text (as readHostDouble reads it) narrowed to float. "nan",
// "inf" and values beyond float's range give 0. A host file holds tens of
// thousands of these: plain decimals are read without JUCE's reader, to the
// same value.
float readHostNumber (juce::StringRef text);

// The same rules for a property of a value tree, which holds a string when
// it was read from XML and a number when it was set in memory.
juce::int64 int64FromVar (const juce::var& value);
int intFromVar (const juce::var& value);
float floatFromVar (const juce::var& value);
bool boolFromVar (const juce::var& value);

// A double narrowed to float, or 0 when it is not finite or out of range.
float finiteFloat (double value);
} // namespace corvadine
