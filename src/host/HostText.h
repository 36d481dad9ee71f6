#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <string>

namespace corvadine
{
// The characters of text read from outside (the host's files, documents on
// disk), as one rule everywhere:
// - Well-formed UTF-8 is kept as it is; a byte order mark is dropped, and
//   UTF-16 with a byte order mark is read as UTF-16.
// - A sequence that has UTF-8's shape but names no character (a surrogate
//   such as ED A0 80, an overlong form such as C0 AF, a value beyond U+10FFFF)
//   becomes U+FFFD.
// - A byte that starts no sequence of UTF-8's shape (a stray continuation
//   byte, a lead byte without its continuation bytes, F8 to FF) is the
//   Latin-1 character of its value, which keeps names that an older tool
//   wrote in Latin-1 readable.
// - A character that XML 1.0 forbids (controls other than tab, line feed and
//   carriage return, U+0000 among them, U+FFFE and U+FFFF) becomes U+FFFD.
// So the result is UTF-8 that holds only characters XML allows, and nothing
// a name read from it can carry makes a written document unreadable.

// True for a character that XML 1.0 allows in a document.
constexpr bool isXmlCharacter (std::uint32_t c) noexcept
{
    return c == 0x9 || c == 0xa || c == 0xd
        || (c >= 0x20 && c <= 0xd7ff)
        || (c >= 0xe000 && c <= 0xfffd)
        || (c >= 0x10000 && c <= 0x10ffff);
}

// Appends the character as UTF-8, or U+FFFD when XML does not allow it.
void appendXmlCharacter (std::string& text, std::uint32_t c);

// The text of raw bytes under the rule above.
std::string hostTextFromBytes (const void* data, size_t size);

// The same in place: leaves text untouched (no copy) when it already
// follows the rule, which is what nearly every file does.
void makeHostText (std::string& text);

// True when the UTF-8 text holds nothing the rule would change (false, then,
// for a text that starts with a byte order mark).
bool isHostText (const char* text, size_t size) noexcept;

// Text that JUCE's XML parser gave for a character reference ("&#1;",
// "&#xD800;", "&#x110000;"): JUCE writes any number it reads as a character
// of UTF-8's shape, up to four bytes whatever the value. Each such character
// that XML does not allow becomes U+FFFD; true when anything changed.
bool replaceForbiddenCharacters (juce::String& text);
} // namespace corvadine
