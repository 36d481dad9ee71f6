#pragma once

#include "host/HostXmlTree.h"
#include "host/ScreenInfo.h"

#include <string>
#include <string_view>

namespace corvadine
{
// What a relink takes from the watched setup file, read in one go.
struct ScreenSetupFileRead
{
    // The file was read and parsed as XML.
    bool parsed = false;

    // It holds a screen-setup element (the root, or the root's first
    // "ScreenSetup" child).
    bool hasSetupElement = false;

    // The setup's "CurrentCompositionTextureSize", each side 1920 x 1080 when
    // missing or not positive.
    juce::Point<int> compositionSize { 1920, 1080 };

    juce::Array<ScreenInfo> screens;
};

// Reads a host setup file: the same results as parseHostXmlFile,
// findScreenSetupElement, relinkCompositionSize and parseScreens composed,
// with every guard of the host parser (a file that the host is still writing
// among them: see HostXmlScan::whole), but parsed once into a light tree of
// views of the text (no juce::XmlElement), which takes a fraction of the
// time and memory. Touches no message-thread object: safe to call on any
// thread.
ScreenSetupFileRead readScreenSetupFile (const juce::File& file);

// The watched file as a relink takes it: read once and only when it is all
// there. A missing or unreadable file, one larger than
// largestScreenSetupFile, or one whose size changed while it was read (the
// host is writing it) reads as not parsed. Otherwise the same as
// readScreenSetupBytes on the file's bytes: decoded as host text (UTF-8, or
// UTF-16 with a byte order mark), then refused as the host parser refuses,
// so that a text whose root element is not closed yet reads as not parsed
// too. Safe to call on any thread.
ScreenSetupFileRead readWholeScreenSetupFile (const juce::File& file);

// The memory a read works in: the file's text and its tree. Kept from one
// read to the next, a large file is read into memory that is already there
// (freshly mapped memory made a first read of a 50 MB setup several times
// slower than the next). One read at a time may use it.
struct ScreenSetupReadBuffers
{
    std::string text;
    HostXmlTree tree;
};

// The same in the given buffers.
ScreenSetupFileRead readWholeScreenSetupFile (const juce::File& file, ScreenSetupReadBuffers& buffers);

// A host setup far larger than any real one is not read.
constexpr juce::int64 largestScreenSetupFile = 64 * 1024 * 1024;

// What readScreenSetupFile gives for a file of these bytes.
ScreenSetupFileRead readScreenSetupBytes (const void* data, size_t size);

// The same for a text made by readHostXmlText or finishHostXmlText.
ScreenSetupFileRead readScreenSetupText (const std::string& text);

// What the functions on juce::XmlElement give for a parsed root (nullptr:
// the file did not parse): findScreenSetupElement, relinkCompositionSize and
// parseScreens composed.
ScreenSetupFileRead readScreenSetupElement (const juce::XmlElement* root);

// True when two reads agree in every field, numbers bit for bit; otherwise
// false, with the first difference described.
bool sameScreenSetupRead (const ScreenSetupFileRead& a, const ScreenSetupFileRead& b, juce::String& difference);
} // namespace corvadine
